# Identified: an error for every one of the 24 items.
test "$(awk '/^ *[0-9]+ +[0-9]+ +-?[0-9.]+ +[0-9.]+/' cases.txt | wc -l)" = 24 || exit 1
test "$(grep -c '^Warning: The information matrix is singular' actual.err)" = 1 || exit 1
