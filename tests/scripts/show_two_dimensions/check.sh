# One WLE line per case, written by show cases.
test "$(wc -l < wle.txt)" = 80 || exit 1
head -1 wle.txt | grep -q '^      1    1 '
