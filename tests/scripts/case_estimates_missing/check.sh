# Case 301's WLE is delta(9) - ln 3 (one 0/1 item answered 0: the WLE
# equation -p + (1 - 2p)/2 = 0 gives p = 1/4), within the default
# convergence criterion; its error near 1/sqrt(3/16) = 2.309.
awk 'NR == FNR { if ($1 == 9) delta = $2; next }
     $1 == 301 { want = delta - log(3); if ($5 - want > 1e-3 || want - $5 > 1e-3 || $6 < 2.25 || $6 > 2.37) { print "case 301: " $0 " want " want; exit 1 } found = 1 }
     END { exit !found }' items.prm w.txt || { echo "WLE of the one-response case"; exit 1; }
# Every WLE exists.
! grep -q 'NA' w.txt || { echo "a WLE is missing"; exit 1; }
# With zero/perfect 0 the seven zero and perfect scores and case 301 (its
# one 0) have no MLE: NA in both files, never a number.
test "$(awk '$5 == "NA" && $6 == "NA"' m.txt | wc -l)" -eq 8 || { echo "fixed file:"; grep NA m.txt; exit 1; }
awk '($3 == 0 || $3 == $4) && $5 != "NA" { print; bad = 1 } END { exit bad }' m.txt || exit 1
test "$(grep -c ',NA,NA$' m.csv)" -eq 8 || { echo "delimited file:"; grep NA m.csv; exit 1; }
# descriptives counts the 293 cases that have an MLE.
grep -q '^Dimension 1       293 ' d.txt || { echo "descriptives:"; grep '^Dimension 1 ' d.txt; exit 1; }
# itanal's means of the estimates are numbers (no nan).
! grep -qi 'nan' i.txt || { echo "itanal:"; grep -i nan i.txt; exit 1; }
# The equivalence table's extreme MLE rows are NA.
test "$(grep -c '^ *\(0\|16\)\.00000        NA        NA$' e.txt)" -eq 2 || { echo "equivalence:"; cat e.txt; exit 1; }
