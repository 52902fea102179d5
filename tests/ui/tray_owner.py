#!/usr/bin/python3
# Waits (up to 30 s) until a system tray owns the screen's tray selection, the way a program
# that shows a tray icon finds the tray; exits 1 when none came.
import ctypes
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XGetSelectionOwner.restype = ctypes.c_ulong
x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("no display")
selection = x11.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0)
for _ in range(300):
    owner = x11.XGetSelectionOwner(display, selection)
    if owner:
        print(hex(owner))
        x11.XCloseDisplay(display)
        sys.exit(0)
    time.sleep(0.1)
x11.XCloseDisplay(display)
sys.exit(1)
