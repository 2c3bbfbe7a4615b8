/^=>\|^Warning:\|^Error/!d
