/^=>\|^General:\|^Question:\|^Error\|^Warning\|criterion\|reached\|improving/!d
