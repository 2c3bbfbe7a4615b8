/^=>\|^General:\|^Question:/!d
