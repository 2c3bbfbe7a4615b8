# Nothing but the log was written; the log holds the echoes and the error.
for f in a.prm a.cov a.des a.reg a.dat; do test ! -e $f || exit 1; done
printf '\n =>export parameters >> a.prm, covariance >> a.cov;\n\n =>export designmatrix>>a.des, reg_coefficients>>a.reg, scoreddata>>a.dat;\n\n =>title after the names;\n\n =>export parameters > a.prm;\nTwo '"'"'>'"'"' expected in export statement\n' > want.zrl
cmp want.zrl run.zrl
