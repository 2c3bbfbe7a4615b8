# The variance held at its anchor and marked as anchored.
grep -q '0\.500\*' held.txt || { grep -n 'Variance\|\*' held.txt; exit 1; }
