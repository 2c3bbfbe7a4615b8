# The reports of the delimited file equal those of the fixed-column file,
# apart from the page headers' dates and the lines naming the data file
# and the format.
"$ORDENA" csv.zrc > csv.out 2> csv.err || { cat csv.err; exit 1; }
test -s csv.err && { cat csv.err; exit 1; }
same() { sed -e 's/[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] [0-9]\{4\}$/DATE/' \
             -e '/^The Data File: /d' -e '/^The format: /d' "$1"; }
for model in rasch pcm facets; do
  test -s "fixed-$model.txt" || { echo "empty fixed-$model.txt"; exit 1; }
  same "fixed-$model.txt" > f.txt && same "csv-$model.txt" > c.txt
  cmp f.txt c.txt || { diff f.txt c.txt | head -20; echo "fixed-$model.txt and csv-$model.txt differ"; exit 1; }
done
grep -q '^System File version: 3' csv.out || { echo "not a version 3 system file"; exit 1; }
same csv-facets.txt > a.txt && same csv-facets-get.txt > b.txt && cmp a.txt b.txt || exit 1
# The estimate after get reads the delimited file again: the estimates
# and errors (fit aside, which draws random numbers) are the same.
rows() { grep -E '^ +[0-9]+ ' "$1" | cut -c1-36; }
rows csv-facets.txt > a.txt && rows csv-facets-again.txt > b.txt
test -s a.txt && cmp a.txt b.txt || { echo "the estimate after get differs"; exit 1; }
