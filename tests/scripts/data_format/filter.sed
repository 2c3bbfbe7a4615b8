s|The data file '.*/nothere.dat'|The data file 'DIR/nothere.dat'|
