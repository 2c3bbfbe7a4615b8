fail() { echo "FAIL: $*" >&2; exit 1; }
date='[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] [0-9][0-9][0-9][0-9]'
# The title line: the title's first words up to a blank, the date at
# column 60, the rest of the title whole on the next line.
sed -n 2p t1.txt | grep -qx "Verbal aggression of 316 respondents, dichotomous Rasch *$date" || fail "title line: $(sed -n 2p t1.txt)"
[ "$(sed -n 2p t1.txt | cut -c60-)" = "$(sed -n 2p t1.txt | grep -o "$date")" ] || fail "the date is not at column 60"
sed -n 3p t1.txt | grep -qx "model with a title that goes on past the date" || fail "second title line: $(sed -n 3p t1.txt)"
sed -n 4p t1.txt | grep -qx "SUMMARY OF THE ESTIMATION" || fail "the table title does not follow the title"
# Table 1 alone was printed: 11 and 0 name no table.
[ "$(grep -c "SUMMARY OF THE ESTIMATION" t1.txt)" = 1 ] || fail "table 1 not printed once"
grep -q "TERM 1" t1.txt && fail "table 2 printed"
# The reliabilities computed for the table equal those of the estimates
# that abilities=yes computes.
grep "MLE Person separation RELIABILITY:\|WLE Person separation RELIABILITY:" t3.txt >computed.txt
grep "MLE Person separation RELIABILITY:\|WLE Person separation RELIABILITY:" t3_abilities.txt >estimated.txt
[ "$(wc -l <computed.txt)" = 2 ] || fail "two reliability lines expected"
grep -q "Unavailable" computed.txt && fail "an MLE or WLE reliability is still unavailable"
diff -u estimated.txt computed.txt || fail "the reliabilities differ"
# The EAP/PV reliability needs plausible values, which show does not draw.
grep -qx "EAP/PV RELIABILITY: *Unavailable" t3.txt || fail "show drew plausible values"
# A model statement before any format statement says what is missing.
"$ORDENA" no_format.zrc >/dev/null 2>no_format.err </dev/null
[ $? = 1 ] || fail "no format: the run did not end"
grep -qx "Error: No format statement has been given, so there is no variable item" no_format.err ||
  fail "no format: $(cat no_format.err)"
exit 0
