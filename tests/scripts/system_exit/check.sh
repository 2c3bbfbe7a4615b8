test "$(cat made.txt)" = 42
