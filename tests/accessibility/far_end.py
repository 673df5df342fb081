#!/usr/bin/python3
"""The device's end of the console's line for the Orca check: a pseudo-terminal linked as PORTS/com1
that answers the sensor command as the simulator does, and sends, unasked, each line written to
FIFO with \\xHH escapes decoded. Prints "ready" once both are in place.

    far_end.py PORTS FIFO
"""

import os
import select
import sys
import tty

SENSOR = b"\x1b+N"
SENSOR_REPLY = b"\x020\x03\r"

ports, fifo = sys.argv[1:3]
master, slave = os.openpty()
tty.setraw(slave)
os.symlink(os.ttyname(slave), os.path.join(ports, "com1"))
os.mkfifo(fifo)
# Opened for writing too, so that the FIFO never reads as ended between two writers.
orders = os.open(fifo, os.O_RDWR)
print("ready", flush=True)
pending = b""
while True:
    for ready in select.select([master, orders], [], [])[0]:
        if ready == master:
            if SENSOR in os.read(master, 4096):
                os.write(master, SENSOR_REPLY)
            continue
        pending += os.read(orders, 4096)
        *lines, pending = pending.split(b"\n")
        for line in lines:
            os.write(master, line.decode("unicode_escape").encode("latin-1"))
