# The regression on age, whatever the order of the format's fields.
set -e
test -s inorder.reg
cmp inorder.reg reordered.reg
