/^=>estimate/,/^=>/{
/^=>/!d
}
s/[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] [0-9]\{4\}$/DATE/
s/^System File written: .*/System File written: DATE/
s/build: .*/build: BUILD DATE/
