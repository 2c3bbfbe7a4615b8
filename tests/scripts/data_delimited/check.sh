# Each report of the delimited file equals the report of the fixed-column
# file (the page headers' dates aside).
undated() { sed 's/[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] [0-9]\{4\}$/DATE/' "$1"; }
for model in rasch pcm facets; do
  test -s "fixed-$model.txt" || { echo "empty fixed-$model.txt"; exit 1; }
  undated "fixed-$model.txt" > f.txt && undated "csv-$model.txt" > c.txt
  cmp f.txt c.txt || { diff f.txt c.txt | head -20; echo "fixed-$model.txt and csv-$model.txt differ"; exit 1; }
done
