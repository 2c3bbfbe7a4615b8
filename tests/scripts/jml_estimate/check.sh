# The parameter file after the estimate (23 records, CR LF), one case line
# per case, one log record per iteration, and no population files.
test "$(wc -l < jml.prm)" = 23 || exit 1
test "$(grep -c "$(printf '\r')\$" jml.prm)" = 23 || exit 1
head -1 jml.prm | grep -q '^         1  -1.44909' || exit 1
test "$(wc -l < cases.txt)" = 316 || exit 1
test "$(grep -c '^Iteration = ' jml.zrl)" = 9 || exit 1
grep -q '^Maximum for case parameter estimates ==>    4.36940 (Case:     19)$' jml.zrl || exit 1
test ! -e reg.txt && test ! -e cov.txt && test ! -e eap.txt && test ! -e pv.txt
