# The statements, the reports and the reason the iterations stopped; the
# iterations themselves are checked in the log files.
/^=>\|terminate\|criterion\|reached\|improving\|^General:\|^Question:\|^Error\|^Warning/!d
