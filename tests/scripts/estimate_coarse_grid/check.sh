fail() { echo "FAIL: $*" >&2; exit 1; }
# The simulated variance is 0.09: the fine grid comes near it, the coarse
# one overstates it by a third.
v() { sed -n 's/^  Variance *\([0-9.]*\)$/\1/p' "$1"; }
awk -v c="$(v coarse.txt)" -v f="$(v fine.txt)" 'BEGIN { exit !(c > 1.25 * f && f > 0.08 && f < 0.11) }' ||
  fail "variances $(v coarse.txt) (coarse) and $(v fine.txt) (fine)"
exit 0
