# Both files hold the last estimate.
test "$(wc -l < p.prm)" -eq 4 && test "$(wc -l < p.cov)" -eq 1
