# Runs test.zrc with standard error on a pseudo-terminal (script -qc), with
# standard output in a file and on the terminal too, and with standard
# error in a pipe.
set -u
fail() { echo "FAIL: $*"; exit 1; }
# What a terminal shows after receiving the file: a carriage return goes
# back to the start of the line, where what follows overwrites; blanks at
# the end of a line are not seen.
screen() {
    perl -e 'local $/; my $in = <>; my @out;
        for my $line (split /\n/, $in, -1) {
            my ($text, $col) = ("", 0);
            for my $c (split //, $line) {
                if ($c eq "\r") { $col = 0; next }
                $text .= " " x ($col - length $text) if $col > length $text;
                substr($text, $col, 1) = $c;
                $col++;
            }
            $text =~ s/ +$//;
            push @out, $text;
        }
        print join("\n", @out);' "$1"
}

script -qc "'$ORDENA' test.zrc > tty.out" /dev/null > tty.txt < /dev/null || fail "script failed"
cmp -s tty.out expected.out || fail "standard output differs when standard error is a terminal"
# The line names the statement, the iteration, the deviance, the time
# taken and the status text, and is rewritten in place.
grep -aq "$(printf '\r')estimate ! [^|]* | Iteration [0-9]* | Deviance [0-9]*\.[0-9]\{5\} | [0-9]*:[0-9][0-9] | [A-Z]" tty.txt ||
    fail "no progress line: $(od -c tty.txt | head)"
[ "$(tr -cd '\r' < tty.txt | wc -c)" -gt 4 ] || fail "the line was not rewritten"
# It is cleared at the end: nothing is left on the terminal.
[ -z "$(screen tty.txt)" ] || fail "the terminal keeps: $(screen tty.txt)"

# Standard output on the terminal too: the line is taken off before each
# piece of output, which stays as it is in a file.
script -qc "'$ORDENA' test.zrc" /dev/null > both.txt < /dev/null || fail "script failed"
screen both.txt > both.out
sed 's/ *$//' expected.out > expected.trim
diff -u expected.trim both.out || fail "the terminal does not show the output as a file holds it"
grep -aq "$(printf '\r')estimate ! .* | Iteration " both.txt || fail "no progress line beside the output"

# A pipe, and --quiet on a terminal: no line.
"$ORDENA" test.zrc 2>&1 > piped.out < /dev/null | cat > piped.err
[ ! -s piped.err ] || fail "standard error in a pipe received: $(od -c piped.err | head)"
cmp -s piped.out expected.out || fail "standard output differs when standard error is a pipe"
script -qc "'$ORDENA' --quiet test.zrc > quiet.out" /dev/null > quiet.txt < /dev/null || fail "script failed"
[ ! -s quiet.txt ] || fail "--quiet wrote to the terminal: $(od -c quiet.txt | head)"
exit 0
