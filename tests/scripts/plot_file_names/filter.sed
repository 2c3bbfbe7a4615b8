/^=>\|^Warning:\|^Error\|^General: Plot\|^Question/!d
