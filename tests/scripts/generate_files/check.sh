# The generated files, byte for byte.
for f in sim.dat sim.itm sim.abl two.dat; do
  cmp "$f" "expected_$f" || exit 1
done
