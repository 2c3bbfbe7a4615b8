test ! -e out.txt
