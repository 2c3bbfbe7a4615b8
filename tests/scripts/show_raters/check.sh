# Table 9 went to its file, with LF line ends, one map per dimension.
grep -q 'MAP OF LATENT DISTRIBUTIONS AND RESPONSE MODEL PARAMETER ESTIMATES' map9.txt || exit 1
! grep -q "$(printf '\r')" map9.txt || exit 1
test "$(grep -c 'Terms in the Model' map9.txt)" = 1
