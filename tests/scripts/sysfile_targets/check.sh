# The link is still a link, and the file it names holds the system file.
test -L link.sys && test "$(readlink link.sys)" = real.sys || { echo "the link was replaced"; exit 1; }
test "$(head -c 4 real.sys)" != old || { echo "the linked file was not written"; exit 1; }
cmp real.sys ro.sys >/dev/null 2>&1 || test "$(wc -c < real.sys)" = "$(wc -c < ro.sys)" || exit 1
# The read-only file stays read-only.
test "$(stat -c %a ro.sys)" = 444 || { echo "ro.sys is now $(stat -c %a ro.sys)"; exit 1; }
# The FIFO is still a FIFO, no part file is left, and get on it ends at once.
test -p fifo || { echo "the FIFO was replaced"; exit 1; }
test -z "$(ls | grep '\.part')" || exit 1
printf 'get << fifo;\n' > fifo.zrc
timeout 10 "$ORDENA" fifo.zrc >fifo.out 2>fifo.err
rc=$?
test "$rc" = 1 && grep -q '^Error: Cannot read system file:===>fifo$' fifo.err || { echo "get << fifo: status $rc"; exit 1; }
# What was written through the link reads back.
printf 'get << link.sys;\n' > back.zrc
"$ORDENA" back.zrc >back.out 2>back.err || { cat back.err; exit 1; }
