# Observed series are numbered by the position of their group's value:
# school a is group 1, b group 2, c group 3; c never answered item 1.
has() { grep -a -q "$1" "$2"; }
has "Group 1 Item 1 Category 2" "Item 1 - ICC.zgf" || exit 1
has "Group 2 Item 1 Category 2" "Item 1 - ICC.zgf" || exit 1
! has "Group 3 Item 1" "Item 1 - ICC.zgf" || exit 1
! has "Group . Item 2" "Item 2 - ICC.zgf" || exit 1
has "Group 3 Item 3 Category 1" "Item 3 - Expected.zgf" || exit 1
! has "Group 1 Item 3" "Item 3 - Expected.zgf" || exit 1
