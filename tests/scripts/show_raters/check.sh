# Table 9 went to its file, with LF line ends, one map per dimension.
grep -q 'MAP OF LATENT DISTRIBUTIONS AND RESPONSE MODEL PARAMETER ESTIMATES' map9.txt || exit 1
! grep -q "$(printf '\r')" map9.txt || exit 1
test "$(grep -c "Terms in the Model" map9.txt)" = 1 || exit 1
# EAPs did not exist: the map computed them and shows their distribution.
grep -q 'MAP OF EAP ESTIMATES AND RESPONSE MODEL PARAMETER ESTIMATES' eapmap.txt || exit 1
grep -q "Each 'X' represents" eapmap.txt && grep -q 'XXXXXXXXXX|' eapmap.txt
