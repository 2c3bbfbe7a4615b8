# The first case record follows the two header texts (a 4-byte length and
# its bytes each), the version and the counts N, D and V.
n1=$(od -An -tu4 -N4 good.sys | tr -d ' ')
n2=$(od -An -tu4 -N4 -j $((4 + n1)) good.sys | tr -d ' ')
at=$((4 + n1 + 4 + n2 + 4 + 12))
cp good.sys nan.sys
printf '\000\000\000\000\000\000\370\177' | dd of=nan.sys bs=1 seek=$at conv=notrunc 2>/dev/null
cmp -s good.sys nan.sys && { echo "the file was not damaged"; exit 1; }
printf 'get << good.sys;\nget << nan.sys;\n' > load.zrc
"$ORDENA" load.zrc >load.out 2>load.err
rc=$?
test $rc = 1 || { echo "get of a NaN case estimate: status $rc"; cat load.err; exit 1; }
grep -q "^Error: This system file cannot be read, a case's scores and estimates in its .* is out of range$" load.err ||
  { cat load.err; exit 1; }
