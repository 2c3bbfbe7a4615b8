# Case 00001: score 3 of 4, and the MLE of every other case with that score.
set -e
awk '$2 == "00001" { print $3, $4 }' mle.txt | grep -qx '3.00 4.00'
test "$(awk '$3 == "3.00" && $4 == "4.00" { print $5 }' mle.txt | sort -u | wc -l)" -eq 1
test "$(awk '$3 == "3.00" && $4 == "4.00"' mle.txt | wc -l)" -ge 2
# The empty record changes no estimate.
cmp repeat.prm single.prm
