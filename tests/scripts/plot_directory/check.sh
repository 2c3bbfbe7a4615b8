# The files are in the directory of --plots and nowhere else.
for f in "Item 2 - Item Information" "Item 3 - ICC"; do
  head -c 8 "pictures/$f.png" | od -An -c | grep -q "P   N   G" || exit 1
  head -c 4 "pictures/$f.zgf" | grep -q OZGF || exit 1
done
[ "$(ls work)" = README ] || exit 1
! ls ./*.png ./*.zgf 2>/dev/null
