# The same script without --quiet, less the echo of the statements (lines
# beginning "=>") and the iteration reports (from the blank line before
# "Iteration: n" up to the line that ends the iterations), must give what
# --quiet gave; standard error is the same either way.
set -u
fail() { echo "FAIL: $*"; exit 1; }
"$ORDENA" test.zrc > full.out 2> full.err < /dev/null
sed -f filter.sed full.out > full.f && mv full.f full.out
[ "$(grep -c '^Iteration: [0-9]*  \.*$' full.out)" = 5 ] || fail "not five iterations without --quiet"
[ "$(grep -c '^=>' full.out)" = 10 ] || fail "not ten statements echoed without --quiet"
awk '
  /^=>/ { next }
  skipping && /^(Maximum number of iterations has been reached|Model has converged iterations will terminate)$/ { skipping = 0 }
  skipping { next }
  held { held = 0; if (/^Iteration: [0-9]+  \.+$/) { skipping = 1; next } print "" }
  /^$/ { held = 1; next }
  { print }
  END { if (held) print "" }
' full.out > derived.out
diff -u derived.out actual.out || fail "--quiet is not the output less the echo and the iterations"
diff -u full.err actual.err || fail "standard error differs with --quiet"
exit 0
