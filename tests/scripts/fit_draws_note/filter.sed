/^=>\|^General:\|^Question:\|^Error\|^Warning\|^Fit from\|standard error/!d
