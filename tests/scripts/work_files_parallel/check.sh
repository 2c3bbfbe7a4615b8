# Four copies each of two scripts at once (three rounds of them), then each
# script alone; every copy must end well with the output and case estimates
# of the lone run, and no work file may stay behind.
set -u
script() {  # script NAME DATA FORMAT OUTPUT
    printf 'datafile reference/%s;\nformat %s;\nmodel item;\nestimate ! fit=no;\nshow cases ! estimates=mle >> %s;\n' \
        "$2" "$3" "$4" > "$1"
}
for k in 1 2 3 4 alone; do
    script "a_$k.zrc" verbagg.dat "pid 1-3 responses 10-33" "a_$k.mle"
    script "b_$k.zrc" rasch_sim.dat "pid 1-5 responses 7-21" "b_$k.mle"
done
for s in a b; do
    "$ORDENA" "${s}_alone.zrc" > "${s}_alone.out" 2> "${s}_alone.err" || exit 1
    # The report differs only in the name of the case estimate file.
    sed "s/${s}_alone\.mle/X/" "${s}_alone.out" > "${s}_want.txt"
done
for round in 1 2 3; do
    pids=""
    for k in 1 2 3 4; do
        for s in a b; do
            rm -f "${s}_$k.mle"
            "$ORDENA" "${s}_$k.zrc" > "${s}_$k.out" 2> "${s}_$k.err" &
            pids="$pids $!"
        done
    done
    status=0
    for p in $pids; do wait "$p" || status=1; done
    [ "$status" -eq 0 ] || { echo "a parallel run failed in round $round"; cat ./*_[1-4].err; exit 1; }
    for s in a b; do
        for k in 1 2 3 4; do
            cmp "${s}_$k.mle" "${s}_alone.mle" || exit 1
            sed "s/${s}_$k\.mle/X/" "${s}_$k.out" > got.txt
            cmp got.txt "${s}_want.txt" || exit 1
            [ ! -s "${s}_$k.err" ] || { cat "${s}_$k.err"; exit 1; }
        done
    done
    [ -z "$(ls | grep '^scrf')" ] || { echo "work files left:"; ls | grep '^scrf'; exit 1; }
done
