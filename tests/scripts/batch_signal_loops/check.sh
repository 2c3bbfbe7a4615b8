set -u
printf 'generate ! nitems=20, npersons=3000000 >> big.dat;\n' > long.zrc
"$ORDENA" long.zrc >long.out 2>long.err &
pid=$!
sleep 1
kill -TERM $pid
n=0
while kill -0 $pid 2>/dev/null; do
  n=$((n + 1)); [ $n -lt 20 ] || { kill -KILL $pid; echo "SIGTERM did not end the generate loop"; exit 1; }; sleep 0.1
done
wait $pid
rc=$?
test $rc = 143 || { echo "status $rc"; cat long.err; exit 1; }
test "$(tail -n 1 long.err)" = "Error: The run was ended by the signal TERM" || { cat long.err; exit 1; }
rm -f big.dat
