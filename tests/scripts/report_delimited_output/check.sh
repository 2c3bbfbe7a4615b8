# Each delimited table has its header and the figures of the fixed-layout
# file of the same results, read independently with awk.
fail() { echo "$*"; exit 1; }
# The script moved the data file away to show that get needs none.
test -f va.away && mv va.away va.csv
for f in pv.csv wle.csv items.csv itanal.csv tinfo.csv; do
  test -s "$f" || fail "empty $f"
  # LF line ends only.
  ! grep -q "$(printf '\r')" "$f" || fail "$f has CR"
done
head -1 pv.csv | grep -qx 'case,pid,gender,anger,pv1,pv2,pv3,pv4,pv5,eap,eap_sd' || fail "pv.csv header"
head -1 wle.csv | grep -qx 'case,pid,anger,wle,wle_se' || fail "wle.csv header"

# Plausible values: per case a head line (number, pid), five lines of one
# value (2 decimals), the EAP and the SD (5 decimals).
awk -F, 'NR == FNR {
           if (FNR == 1) next
           n++; line[n] = $0; next
         }
         NF == 2 && $2 !~ /[.]/ { c++; k = 0; split(line[c], f, ","); if (f[1] != $1 || f[2] != $2) bad = bad " head" c; next }
         { k++
           if (k <= 5) { if (sprintf("%.2f", f[4 + k]) + 0 != $2 + 0) bad = bad " pv" c "." k }
           else if (k == 6) { if (sprintf("%.5f", f[10]) + 0 != $1 + 0) bad = bad " eap" c }
           else if (k == 7) { if (sprintf("%.5f", f[11]) + 0 != $1 + 0) bad = bad " sd" c }
         }
         END { if (c != n || c == 0 || bad != "") { print "pv:" bad, c, n; exit 1 } }' pv.csv FS=' ' pv.txt || exit 1

# The background values are the data file's: gender and anger by pid.
awk -F, 'NR == FNR { if (FNR > 1) { g[$1] = $2; a[$1] = ($3 == "" ? "NA" : $3) } next }
         FNR > 1 { if (g[$2] != $3 || a[$2] != $4) { print "background of", $2; exit 1 } }' va.csv pv.csv || exit 1

# WLEs: case, pid, raw, maximum, WLE, SE in the fixed file.
awk -F, 'NR == FNR { if (FNR > 1) { w[$1] = $4; s[$1] = $5; p[$1] = $2 } next }
         { n++; if (p[$1] != $2 || sprintf("%.5f", w[$1]) + 0 != $5 + 0 || sprintf("%.5f", s[$1]) + 0 != $6 + 0) { print "wle of case", $1; exit 1 } }
         END { if (n == 0) exit 1 }' wle.csv FS=' ' wle.txt || exit 1

# Item parameters: the parameter file's estimates to five decimals, and
# the same estimates again after they were imported as anchors (stored as
# 32-bit floats, so within 2e-5).
awk -F, 'NR == FNR { if (FNR > 1) e[$1] = $2; n = FNR - 1; next }
         { m++; if (sprintf("%.5f", e[$1]) + 0 != $2 + 0) { print "parameter", $1; exit 1 } }
         END { if (m != n || n == 0) { print "parameter count", m, n; exit 1 } }' items.csv FS=' ' items.prm || exit 1
awk 'NR == FNR { e[$1] = $2; next }
     { d = e[$1] - $2; if (d < 0) d = -d; if (d > 2e-5) { print "anchor", $1, d; exit 1 } }' items.prm anchored.prm || exit 1

# itanal: the counts of each item's categories add up to its cases, the
# percentages to 100; count and percentage as the long report prints them.
awk -F, 'FNR > 1 { cases[$1] = $2; sum[$1] += $6; pct[$1] += $7 }
         END { for (i in cases) { d = pct[i] - 100; if (sum[i] != cases[i] || d > 1e-6 || d < -1e-6) { print "itanal item", i; exit 1 } } }' itanal.csv || exit 1
awk -F, 'FNR > 1 && $1 == 1 { printf "%6.0f %6.2f\n", $6, $7 }' itanal.csv > csv-counts.txt
awk '/^Item 1$/ { on = 1 } /^Item 2$/ { on = 0 } on && /^ +[0-9] +[0-9.]+ +[0-9]+ +[0-9.]+ / { printf "%6.0f %6.2f\n", $3, $4 }' itanal.txt > long-counts.txt
test -s csv-counts.txt && cmp csv-counts.txt long-counts.txt || fail "itanal counts differ from the long report"

# Test information: steps of 0.1 and sem = 1/sqrt(information).
head -1 tinfo.csv | grep -qx 'theta,information,sem' || fail "tinfo header"
awk -F, 'FNR > 1 { if (NR > 2) { d = $1 - t - 0.1; if (d > 1e-9 || d < -1e-9) bad = 1 }
                   t = $1; e = $3 - 1 / sqrt($2); if (e > 1e-9 || e < -1e-9 || $2 <= 0) bad = 1; n++ }
         END { if (bad || n < 50) exit 1 }' tinfo.csv || fail "tinfo table"

# A delimited table needs a file.
grep -q 'A delimited table must be directed to a file' actual.err || fail "no refusal without a file"

# Python's csv module, where there is one, reads the case file as a table:
# one row per case of the fixed file, every column named, numbers or NA.
if command -v python3 > /dev/null 2>&1; then
  cases=$(awk 'NF == 2 && $2 !~ /[.]/' pv.txt | wc -l)
  python3 - "$cases" <<'PY' || fail "python csv"
import csv, sys
with open("pv.csv", newline="") as f:
    rows = list(csv.DictReader(f))
assert len(rows) == int(sys.argv[1]), (len(rows), sys.argv[1])
names = ["case", "pid", "gender", "anger", "pv1", "pv2", "pv3", "pv4", "pv5", "eap", "eap_sd"]
for r in rows:
    assert list(r) == names, list(r)
    for k in names[4:] + ["gender"]:
        float(r[k])
    assert r["anger"] == "NA" or float(r["anger"]) >= 0
PY
fi

# Two dimensions: the columns of each, against the EAP file (case, pid,
# then EAP, SD and reliability per dimension).
head -1 eap2.csv | grep -qx 'case,pid,eap_1,eap_sd_1,eap_2,eap_sd_2' || fail "eap2.csv header"
awk -F, 'NR == FNR { if (FNR > 1) { e1[$1] = $3; s1[$1] = $4; e2[$1] = $5; s2[$1] = $6 } next }
         { n++; c = $1
           if (sprintf("%.5f", e1[c]) + 0 != $3 + 0 || sprintf("%.5f", s1[c]) + 0 != $4 + 0 ||
               sprintf("%.5f", e2[c]) + 0 != $6 + 0 || sprintf("%.5f", s2[c]) + 0 != $7 + 0) { print "eap2 case", c; exit 1 } }
         END { if (n < 300) exit 1 }' eap2.csv FS=' ' eap2.txt || fail "eap2 figures"
head -1 wle2.csv | grep -qx 'case,pid,wle_1,wle_se_1,wle_2,wle_se_2' || fail "wle2.csv header"
test "$(wc -l < wle2.csv)" -gt 300 || fail "wle2.csv after get"
