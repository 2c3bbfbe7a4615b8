# The anchor for parameter 1 stays on parameter 1 of the three that remain.
set -e
test "$(wc -l < after.prm)" -eq 3
awk 'NR == 1 && $1 == 1 && $2 == "0.25000" { found = 1 } END { exit !found }' after.prm
