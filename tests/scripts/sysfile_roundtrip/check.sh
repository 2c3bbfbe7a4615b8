# Every file written before the load equals its partner written after it
# (the page headers' dates aside), and the two fit tables are the same.
undated() { sed 's/[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] [0-9]\{4\}$/DATE/' "$1"; }
for before in before-show.txt before-latent.txt before-wle.txt before-itanal.txt before.prm before.scr \
              before-estimate.txt; do
  after=after${before#before}
  test -s "$before" || { echo "empty $before"; exit 1; }
  undated "$before" > b.txt && undated "$after" > a.txt
  cmp b.txt a.txt || { echo "$before and $after differ"; exit 1; }
done
awk '/^=>fit;/ { n++; on = 1; next } /^=>/ { on = 0 } on { print > ("fit" n ".txt") }' actual.out
test -s fit1.txt && cmp fit1.txt fit2.txt || exit 1
# The data file is gone; no work file of the session is left behind.
! test -e data.dat && ! ls scrf* 2>/dev/null | grep -q .
