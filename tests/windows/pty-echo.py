#!/usr/bin/env python3
"""A serial line for the Windows tests under Wine: makes a pseudo-terminal, links the COM port
device of the Wine prefix to its terminal side, and sends back every byte written to the port.

usage: pty-echo.py <prefix>/dosdevices/comN      (runs until terminated)
"""
import os
import signal
import sys
import tty

link = sys.argv[1]
controller, terminal = os.openpty()
tty.setraw(terminal)  # no echo or line editing by the terminal itself
if os.path.lexists(link):
    os.remove(link)
os.symlink(os.ttyname(terminal), link)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
try:
    while True:
        data = os.read(controller, 4096)
        if not data:
            break
        os.write(controller, data)
except OSError:
    pass  # the terminal side was closed for good
finally:
    if os.path.islink(link):
        os.remove(link)
