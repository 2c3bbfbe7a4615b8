# The file holds the page top and one MLE table, with LF line ends only.
test "$(grep -c "$(printf '\r')" eq.txt)" = 0 || exit 1
head -1 eq.txt | grep -q "^$(printf '\f')=====" || exit 1
grep -q '^MLE Equivalence Table for Dimension 1: (Dimension 1)$' eq.txt || exit 1
grep -q '^   0.30000 ' eq.txt && grep -q '^   7.70000 ' eq.txt
