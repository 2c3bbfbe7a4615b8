cmp a.abl c.abl || exit 1
! cmp -s a.abl b.abl || { echo "seeds 5 and 6 gave the same abilities"; exit 1; }
