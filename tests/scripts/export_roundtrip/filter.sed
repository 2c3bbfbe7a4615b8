# The statements, the iteration headings, the largest changes and the
# reason the iterations stopped.
/^=>\|^Iteration: \|==>\|terminate\|criterion\|reached\|improving\|^General:\|^Question:\|^Error\|^Warning/!d
