# The export file, and the long report written to a file (LF line ends).
diff -u expected_itn.txt itn.txt || exit 1
sed 's/[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] [0-9][0-9][0-9][0-9]/DATE/' long.txt |
  diff -u expected_long.txt - || exit 1
