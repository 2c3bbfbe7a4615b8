# The same difficulties after 40 and after 400 iterations (no drift).
cmp short.prm long.prm || { echo "the difficulties move with the iterations"; exit 1; }
test "$(grep -c 'Model has converged iterations will terminate' actual.out)" -ge 4 || exit 1
# The case estimates are centred: their mean is zero.
grep -q '^Dimension 1       316 -0.00000 \| 0.00000 ' mean.txt || { grep '^Dimension 1 ' mean.txt; exit 1; }
# Differences of difficulties are those of the default constraint, which
# centres the items instead (up to the adjustment of extreme scores).
awk 'NR == 1 { first = $2 } NR == 2 { second = $2 } END { d = second - first; if (d < 0.684 || d > 0.686) { print d; exit 1 } }' long.prm || exit 1
# The design matrix file was written before the estimation.
test -s jml.des || { echo "no design matrix file"; exit 1; }
# No iteration: no t, and no "nan" anywhere.
grep -q ' NA ' fit0.txt && ! grep -qi 'nan' fit0.txt || { echo "t column before any iteration:"; grep '^ 1 ' fit0.txt; exit 1; }
# The simulated study converges without a convergence failure, and every
# difficulty it estimates stays within a plausible range.
! grep -q 'Convergence failure' actual.err || exit 1
awk '$1 ~ /^[0-9]+$/ && ($3 < -4 || $3 > 4) { print "difficulty " $3; bad = 1 } END { exit bad }' bs_ite.txt || exit 1
