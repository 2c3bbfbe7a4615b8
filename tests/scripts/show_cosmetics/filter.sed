/^=>\|^General:\|^Question:\|^Error\|criterion\|reached\|improving/!d
