/^=>\|^General:\|^Question:\|^Error\|^Warning/!d
