# The first cases of the plausible value file, as written.
head -c 400 pv.txt > pv.head
cmp pv.head expected.pv.head
