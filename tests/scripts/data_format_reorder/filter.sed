/^=>\|^General:\|^Question:\|^Error\|^Warning\|criterion\|reached\|improving\|^ *age\|^ *pid/!d
