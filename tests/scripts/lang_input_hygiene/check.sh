# A token that doubles at every submit stops at its cap with a message.
set -u
printf 'let a=x;\nsubmit grow.zrc;\ntitle after;\n' > start.zrc
# The error ends only the submitted file: the run goes on to its end, with
# the status of a run that reported an error (3).
"$ORDENA" start.zrc > /dev/null 2> grow.err
rc=$?
[ $rc -eq 3 ] || { echo "the growing token: exit status $rc, not 3"; exit 1; }
grep -qx 'Error: The value of token a is longer than 16777216 characters' grow.err || { cat grow.err; exit 1; }
# A script larger than any script may be is refused before it runs.
head -c 70000000 /dev/zero | "$ORDENA" > big.out 2> big.err
rc=$?
[ $rc -eq 2 ] || { echo "a huge script: exit status $rc"; exit 1; }
grep -q "^ordena: the script on standard input is larger than the 67108864 bytes a script may hold" big.err ||
    { cat big.err; exit 1; }
[ ! -s big.out ]
