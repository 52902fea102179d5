#!/usr/bin/python3
# Holds a text on the desktop's clipboard for a few seconds, so that a script can paste it
# with Ctrl+V: a pasted path arrives whole, where typed keys race a file chooser's completion.
#   clipboard.py TEXT [SECONDS]
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

clipboard = Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD)
clipboard.set_text(sys.argv[1], -1)
print("ready", flush=True)
GLib.timeout_add_seconds(int(sys.argv[2]) if len(sys.argv) > 2 else 10, Gtk.main_quit)
Gtk.main()
