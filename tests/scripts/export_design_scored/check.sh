# The same numbers, without comments.
tr -d '\r' < model.prm | awk '{ print $1, $2 }' > a.txt
tr -d '\r' < imported.prm | awk '{ print $1, $2 }' > b.txt
cmp a.txt b.txt || exit 1
grep -q '/\*' imported.prm && exit 1
grep -q '/\* item 1 step 1 \*/' model.prm || exit 1
# Seven parameters, four items of three categories.
test "$(head -1 model.des | tr -d ' \r')" = 7 && test "$(wc -l < model.des)" -eq 13 || exit 1
# One line per case, scores in the columns of the responses.
test "$(wc -l < scored.dat)" -eq 316 || exit 1
head -3 scored.dat | cmp - want-scored.txt
