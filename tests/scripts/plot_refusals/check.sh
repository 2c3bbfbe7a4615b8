# The plots of the statements that went on were written.
for f in "Item 1 - ICC" "Item 3 - Expected" "Items 2, 2 - ICC"; do
  head -c 8 "$f.png" | od -An -c | grep -q "P   N   G" || exit 1
  head -c 4 "$f.zgf" | grep -q OZGF || exit 1
done
