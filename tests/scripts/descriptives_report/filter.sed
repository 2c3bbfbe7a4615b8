/^=>datafile/,/^=>set seed/{/^=>set seed/!d;}
s/[A-Z][a-z][a-z] [A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] [0-9][0-9][0-9][0-9]/DATE/
