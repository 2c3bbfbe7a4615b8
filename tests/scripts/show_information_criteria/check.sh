# The likelihood figures of the summary, against numbers from outside the
# program: independent implementations of the integrations
# (reference/*.ref), the closed form of the Bock/Aitken constant and the
# definitions of AIC and BIC.
fail() { echo "FAIL: $*" >&2; exit 1; }
# field FILE PATTERN: the first number after PATTERN on its line.
field() { sed -n "s/^$2 *\(-\{0,1\}[0-9][0-9.]*\).*/\1/p" "$1" | head -1; }
ref() { sed -n "s/^$2 \([-0-9.]*\).*/\1/p" "reference/$1"; }
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= t) }'; }

for f in regression rasch_ba15 rasch_ba61 rasch_gh41; do
  dev=$(field $f.txt "Final Deviance:")
  ll=$(field $f.txt "-2 Log Likelihood:")
  p=$(field $f.txt "Total number of estimated parameters:")
  aic=$(sed -n 's/^Information criteria: AIC = \([-0-9.]*\),.*/\1/p' $f.txt)
  bic=$(sed -n 's/.* BIC = \([-0-9.]*\) .*/\1/p' $f.txt)
  n=$(sed -n 's/.*(BIC with n = \([0-9]*\) cases)$/\1/p' $f.txt)
  [ -n "$dev" ] && [ -n "$ll" ] && [ -n "$p" ] && [ -n "$aic" ] && [ -n "$bic" ] || fail "$f: a figure is missing"
  # Every case of the data entered the likelihood.
  [ "$n" = 316 ] || fail "$f: BIC sample size $n, not 316"
  near "$aic" "$(awk -v l="$ll" -v p="$p" 'BEGIN { printf "%.4f", l + 2 * p }')" 0.0011 || fail "$f: AIC $aic"
  near "$bic" "$(awk -v l="$ll" -v p="$p" 'BEGIN { printf "%.4f", l + p * log(316) }')" 0.0011 || fail "$f: BIC $bic"
  # The deviance less -2 D ln(h) per case, h the node spacing.
  case $f in
    regression | rasch_ba15) h="12/14" ;;
    rasch_ba61) h="16/60" ;;
    *) h=1 ;;
  esac
  want=$(awk -v d="$dev" -v h="$h" 'BEGIN { split(h, q, "/"); x = q[1] / (q[2] ? q[2] : 1);
                                            printf "%.6f", d + 2 * 1 * 316 * log(x) }')
  near "$ll" "$want" 0.0002 || fail "$f: -2 log L $ll, the deviance $dev less its constant is $want"
done

# The latent regression: -2 log L of the independent Bock/Aitken
# implementation (its deviance_without_lnh), within the deviance tolerance.
near "$(field regression.txt "-2 Log Likelihood:")" "$(ref verbagg_rasch_regression_ba15.ref deviance_without_lnh)" 0.05 ||
  fail "regression: -2 log L against the independent Bock/Aitken value"
# The Rasch model with fine grids: -2 log L of Bock/Aitken with 61 nodes
# and the Gauss-Hermite deviance with 41 nodes both reach the exact
# marginal likelihood of the peer (adaptive quadrature), while the
# Bock/Aitken deviance lies 2 ln(60/16) per case above it.
exact=$(ref verbagg_rasch.ref deviance)
near "$(field rasch_ba61.txt "-2 Log Likelihood:")" "$exact" 0.01 || fail "Bock/Aitken 61 nodes: -2 log L is not the exact one"
near "$(field rasch_gh41.txt "-2 Log Likelihood:")" "$exact" 0.01 || fail "Gauss-Hermite 41 nodes: -2 log L is not the exact one"
near "$(field rasch_ba61.txt "Final Deviance:")" "$exact" 100 && fail "Bock/Aitken 61 nodes: the deviance should hold the constant"
# The likelihood-ratio test of the two regressors under one grid: the peer's
# exact figures give 13.89 on 2 df; the two Bock/Aitken runs with 15 nodes
# must agree within 0.1.
lr=$(awk -v a="$(field rasch_ba15.txt "-2 Log Likelihood:")" -v b="$(field regression.txt "-2 Log Likelihood:")" 'BEGIN { print a - b }')
peer=$(awk -v a="$exact" -v b="$(ref verbagg_rasch_regression.ref deviance)" 'BEGIN { print a - b }')
near "$lr" "$peer" 0.1 || fail "likelihood ratio $lr, the peer's $peer"

# Under JML there is no likelihood of the marginal kind.
grep -qx -- "-2 Log Likelihood: Not applicable" jml.txt || fail "JML: -2 log L"
grep -qx "Information criteria: Not applicable" jml.txt || fail "JML: information criteria"

# The log file: the Bock/Aitken iterations carry -2 log L beside the
# deviance, and each marginal estimation ends with the figures of its summary.
grep -q "^   -2 Log Likelihood= " run.zrl || fail "log: no -2 log L in the iteration records"
[ "$(grep -c '^-2 Log Likelihood= ' run.zrl)" = 4 ] || fail "log: not one likelihood record per marginal estimation"
for f in regression rasch_ba15 rasch_ba61 rasch_gh41; do
  ll=$(field $f.txt "-2 Log Likelihood:")
  grep -q "^-2 Log Likelihood= *$(printf '%.3f' "$ll")$" run.zrl || fail "log: no record of $f's -2 log L $ll"
  bic=$(sed -n 's/.* BIC = \([-0-9.]*\) .*/\1/p' $f.txt)
  grep -q "^BIC= *$bic (n = 316 cases)$" run.zrl || fail "log: no record of $f's BIC $bic"
done
exit 0
