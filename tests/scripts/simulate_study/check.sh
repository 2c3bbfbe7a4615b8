# The parameter and population results of both replications, as written
# (CR LF records), and the case files of both replications.
cmp st_ite.txt expected_ite.txt || exit 1
cmp st_pop.txt expected_pop.txt || exit 1
[ "$(wc -l < st_eap.txt)" -eq 300 ] || exit 1
[ "$(wc -l < st_wle.txt)" -eq 300 ] || exit 1
[ "$(grep -c 'SUMMARY OF THE ESTIMATION' st_sum.txt)" -eq 2 ] || exit 1
[ "$(grep -c '^summary' st_itn.txt)" -eq 2 ] || exit 1
