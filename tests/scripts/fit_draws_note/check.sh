fail() { echo "FAIL: $*" >&2; exit 1; }
# The note stands under the term's first rule, above the column headings.
sed -n '/^TERM 1: item/{n;n;p;n;p;}' draws1.txt >note1.txt
printf '%s\n' "Fit from 1 draw per case (fitdraws=1): another seed moves an unweighted MNSQ by about" \
  "1.00 standard error (1/sqrt(fitdraws)), a weighted one by about half that; raise fitdraws to steady them" |
  diff -u - note1.txt || fail "the note of table 2"
grep -q "^Fit from" jml.txt && fail "a draws note under JML"
exit 0
