/^=>\|^General:\|^Question:\|^Error\|^Warning\|terminate/!d
