# The expected-score table went to its file, with line feeds only.
grep -q "^DATA TABLE FOR EXPECTED SCORE$" expected.txt || exit 1
grep -q "^Estimator type is maximum likelihood$" expected.txt || exit 1
! grep -q "$(printf '\r')" expected.txt
