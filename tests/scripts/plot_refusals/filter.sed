/^=>estimate/,/^=>submit/{/^=>/!d;}
