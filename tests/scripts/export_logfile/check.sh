# The log in the layout it must have. Digits are compared as digits and
# signs as blanks, so that the layout is checked exactly while the engine's
# last decimals may move.
normal() { sed 's/-/ /g; s/[0-9]/9/g' "$1"; }
normal want.zrl > want.txt && normal run.zrl > run.txt && cmp want.txt run.txt || exit 1
# The sufficient statistics come from the data alone.
grep -A6 '^Original Sufficient' want.zrl | head -7 > a.txt && grep -A6 '^Original Sufficient' run.zrl | head -7 > b.txt
cmp a.txt b.txt
