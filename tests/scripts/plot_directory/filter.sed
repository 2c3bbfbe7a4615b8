/^=>estimate/,/^=>set/{/^=>/!d;}
s#General: Plot file written: /.*/pictures/#General: Plot file written: pictures/#
