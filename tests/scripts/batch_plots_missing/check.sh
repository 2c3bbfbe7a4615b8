# A plot directory that does not exist stops the run before the script.
grep -qx "ordena: the plot directory 'nosuch' does not exist" actual.err
