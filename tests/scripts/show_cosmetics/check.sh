set -e
grep -qx 'Random number generation seed: 12345.00000' wide.txt
# Items 999 to 1001: the number, at least one blank, the label (the number).
grep -q '^ 999 999  ' wide.txt
grep -q '^ 1000 1000  ' wide.txt
grep -q '^ 1001 1001  ' wide.txt
grep -qx 'Your model includes repeated measures.' raters.txt
grep -qx 'In this analysis  1.25%  of the data are missing.' raters.txt
