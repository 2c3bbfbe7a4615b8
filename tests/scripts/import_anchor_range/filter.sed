/^=>\|^General:\|^Question:\|^Error/!d
