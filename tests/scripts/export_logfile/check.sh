# The log as it must be, byte for byte.
cmp want.zrl run.zrl
