set -u
ls "Item 2 - ICC.png" "Item 2 - ICC (2).png" "Item 2 - ICC.zgf" "Item 2 - ICC (2).zgf" >/dev/null || exit 1
test "$(ls ./*.png | wc -l)" = 3 || { ls; exit 1; }
# Again with --no: the earlier pictures are kept and the run ends.
cp "Item 2 - ICC.png" first.png
"$ORDENA" --no test.zrc >again.out 2>again.err
rc=$?
test $rc = 1 || { echo "rerun: status $rc"; exit 1; }
grep -q '^Question: File Item 2 - ICC.png already exists. Replace? \[Cancel\]$' again.err || { cat again.err; exit 1; }
grep -q '^Error: The plot was not written: Item 2 - ICC.png already exists$' again.err || exit 1
cmp -s first.png "Item 2 - ICC.png" || exit 1
# A picture that cannot be written: one error line naming the file with its
# extension, and nothing of the PNG library outside the message format.
mkdir full && cd full && ln -s ../reference reference && ln -s /dev/full "Item 2 - ICC.png"
printf 'datafile reference/verbagg.dat;\nformat pid 1-3 responses 35-40;\nmodel item + item*step;\nestimate ! fit=no, iterations=2;\nplot icc 2;\n' >full.zrc
"$ORDENA" full.zrc >full.out 2>full.err
rc=$?
test $rc = 1 || { echo "full device: status $rc"; exit 1; }
grep -v '^Error: \|^Warning: \|^General: \|^Question: ' full.err && { echo "a line outside the message format"; exit 1; }
grep -q '^Error: Error writing PNG file. (Item 2 - ICC.png)$' full.err || { cat full.err; exit 1; }
test -c /dev/full || exit 1
cd ..
# --plots naming a file that is not a directory.
"$ORDENA" --plots test.zrc test.zrc >plots.out 2>plots.err
test $? = 2 && grep -q "the plot directory 'test.zrc' is not a directory" plots.err || { cat plots.err; exit 1; }
# A FIFO at a picture's name is refused at once, never waited on.
mkdir fifo && cd fifo && ln -s ../reference reference && mkfifo "Item 2 - ICC.png"
cp ../full/full.zrc fifo.zrc
timeout 20 "$ORDENA" fifo.zrc >fifo.out 2>fifo.err
rc=$?
test $rc = 1 && grep -q '^Error: Error in creating file. (Item 2 - ICC.png)$' fifo.err || { echo "FIFO: status $rc"; cat fifo.err; exit 1; }
test -p "Item 2 - ICC.png" || exit 1
