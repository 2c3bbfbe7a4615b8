# Nothing was written.
[ ! -e zero.txt ] && [ ! -e one.txt ]
