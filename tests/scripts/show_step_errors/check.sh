fail() { echo "FAIL: $*" >&2; exit 1; }
# Step rows of table 2's item*step term: item, step, estimate, error.
rows() {
  sed -n '/^TERM 2: item\*step/,/^An asterisk/p' "$1" |
    awk '$1 ~ /^[0-9]+$/ && NF >= 4 { e = $4; v = $4; sub(/\*$/, "", v); print $1, $3, v, $5 }'
}
rows original.txt >original.rows
rows reversed.txt >reversed.rows
[ "$(wc -l <original.rows)" -eq 18 ] || fail "expected 18 step rows, got $(wc -l <original.rows)"
# Reversing the categories turns step k of an item into minus step 4-k:
# the closing step's error must be the reversed run's error of its first,
# freely estimated step, and the other way round.
awk 'NR == FNR { value[$1 " " $2] = $3; error[$1 " " $2] = $4; next }
     { k = $1 " " (4 - $2)
       if (error[k] == "" || $4 == "") { print "no error: item " $1 " step " $2; bad = 1; next }
       d = $3 + value[k]; if (d < 0) d = -d
       e = $4 - error[k]; if (e < 0) e = -e
       if (d > 0.0015 || e > 0.0015) { print "item " $1 " step " $2 ": " $3 " " $4 " against " value[k] " " error[k]; bad = 1 } }
     END { exit bad }' original.rows reversed.rows || fail "closing steps against the reversed items"
# Quick errors know no covariances: the closing steps show none.
rows quick.txt | awk '$2 == 3 && $4 != "" { bad = 1 } END { exit bad }' || fail "a quick error on a closing step"
exit 0
