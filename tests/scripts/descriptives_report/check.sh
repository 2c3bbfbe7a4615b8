# The grouped report written to a file (LF line ends).
sed 's/[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] [0-9][0-9][0-9][0-9]/DATE/' wle.txt |
  diff -u expected_wle.txt - || exit 1
# Its counts, band proportions and medians recomputed from the WLEs of the
# case output (case n is line n of the data file, its group the first column).
for g in B a b; do
  want=$(awk -v g="$g" '
    NR == FNR { group[NR] = substr($0, 1, 1); next }
    group[$1] == g { n++; v[n] = $4; if ($4 <= -0.5) low++; else if ($4 <= 0.5) mid++; else high++ }
    END {
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      printf "%d %.5f %.5f %.5f %.5f\n", n, low / n, mid / n, high / n, v[int(n / 2) + 1]
    }' g.dat wcases.txt)
  got=$(awk -v g="Group: grp ($g)" '
    $0 == g { on = 1 } on && /^      Bands/ { bands = 1 } on && /^      Percentiles/ { pct = 1 }
    on && pct && /^Dimension 1  / { median = $5; pct = 0 }
    on && bands && /^Dimension 1  / { printf "%d %s %s %s %s\n", $3, $4, $5, $6, median; exit }' wle.txt)
  [ -n "$want" ] && [ "$want" = "$got" ] || { echo "group $g: report '$got', recomputed '$want'"; exit 1; }
done
# The large-sample errors of the EAP section recomputed from its value row:
# sigma/sqrt(n) for the mean, sigma/sqrt(2n) for the standard deviation and
# sigma^2 sqrt(2/n) for the variance.
awk '
  /Estimator type is expected a-posteriori/ { on = 1 }
  on && /^Dimension 1  / && !n { n = $3; sd = $5; v = $6 }
  on && /^Dimension 1 Error/ {
    want = sprintf("%.5f %.5f %.5f", sd / sqrt(n), sd / sqrt(2 * n), v * sqrt(2 / n))
    got = sprintf("%.5f %.5f %.5f", $4, $5, $6)
    if (want != got) { print "EAP errors: report " got ", recomputed " want; exit 1 }
    found = 1; exit
  }
  END { if (!found) exit 1 }' actual.out || exit 1
