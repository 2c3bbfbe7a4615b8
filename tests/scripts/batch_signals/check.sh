# Runs long.zrc, waits until its iterations run, sends a signal, and checks
# how the run ended: exit status, messages, log file, no work file left.
set -u
fail() { echo "FAIL: $*"; exit 1; }
started() {  # waits until the log file shows the iterations running
    n=0
    until grep -q 'Iteration = *2$' run.zrl 2>/dev/null; do
        n=$((n + 1)); [ $n -lt 600 ] || fail "the run did not start"; sleep 0.1
    done
}
ended() {  # waits for the run, at most 30 seconds, and gives its status
    n=0
    while kill -0 "$1" 2>/dev/null; do
        n=$((n + 1)); [ $n -lt 300 ] || { kill -KILL "$1"; fail "the run did not end"; }; sleep 0.1
    done
    wait "$1"
}
nowork() { [ -z "$(ls | grep '^scrf')" ] || fail "work files left after $1: $(ls | grep '^scrf')"; }

for signal in TERM HUP; do
    rm -f run.zrl
    "$ORDENA" long.zrc > out.txt 2> err.txt &
    pid=$!
    started
    kill -$signal $pid
    ended $pid; rc=$?
    case $signal in TERM) want=143;; HUP) want=129;; esac
    [ $rc -eq $want ] || fail "SIG$signal: exit status $rc, not $want"
    nowork "SIG$signal"
    [ "$(tail -n 1 err.txt)" = "Error: The run was ended by the signal $signal" ] || fail "SIG$signal: $(cat err.txt)"
    [ "$(tail -n 1 run.zrl)" = "The run was ended by the signal $signal" ] || fail "SIG$signal: log file incomplete"
    grep -q 'Iteration' run.zrl || fail "SIG$signal: no iteration in the log file"
done

# Ctrl-C during an estimate asks the interrupt question, whose Yes stops it.
rm -f run.zrl
"$ORDENA" long.zrc > out.txt 2> err.txt &
pid=$!
started
kill -INT $pid
ended $pid; rc=$?
[ $rc -eq 1 ] || fail "SIGINT: exit status $rc"
nowork SIGINT
grep -qx 'Question: Do you want to interrupt the current analysis? \[Yes\]' err.txt || fail "SIGINT: $(cat err.txt)"
[ "$(tail -n 1 run.zrl)" = "Do you want to interrupt the current analysis?" ] || fail "SIGINT: log file incomplete"

# A pipe closed by its reader: the writes fail, the run ends with status 1.
rm -f run.zrl
{ "$ORDENA" long.zrc 2> err.txt; echo $? > rc.txt; } | head -c 100 > /dev/null
[ "$(cat rc.txt)" = 1 ] || fail "closed pipe: exit status $(cat rc.txt)"
nowork "a closed pipe"
grep -qx 'Error: The output could not be written: Broken pipe' err.txt || fail "closed pipe: $(cat err.txt)"
[ "$(tail -n 1 run.zrl)" = "The output could not be written: Broken pipe" ] || fail "closed pipe: log file incomplete"
exit 0
