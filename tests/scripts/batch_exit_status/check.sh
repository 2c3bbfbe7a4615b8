# The exit statuses of the batch program: 0 clean, 1 a failed statement
# ended the run, 2 a bad command line, 3 the run reached its end (or exit)
# after an error.
fail() { echo "FAIL: $*" >&2; exit 1; }
status() { "$ORDENA" "$@" >/dev/null 2>run.err </dev/null; echo $?; }

[ "$(status clean.zrc)" = 0 ] || fail "a clean run is not 0"
[ -s run.err ] && fail "a clean run wrote messages"
[ "$(status ended.zrc)" = 1 ] || fail "a failed statement is not 1"
[ "$(status --nonsense)" = 2 ] || fail "a bad option is not 2"
[ "$(status error_then_exit.zrc)" = 3 ] || fail "an error, then exit, is not 3"
# A step term on dichotomous items: the error is reported, the estimation
# goes on without step parameters, and show prints its summary.
"$ORDENA" steps.zrc >steps.out 2>steps.err </dev/null
[ $? = 3 ] || fail "the step error did not give 3"
grep -qx "Error: Items have 2 or fewer categories - can't estimate steps" steps.err || fail "no step error"
grep -q "^Total number of estimated parameters: 7$" steps.out || fail "the run did not go on after the step error"
# Documented where users look.
"$ORDENA" --help | grep -q "3 when the script ran to its end but an error was" || fail "--help does not tell 3"
exit 0
