/^=>\|^Constraint\|^Total number\|^General:\|^Error/!d
