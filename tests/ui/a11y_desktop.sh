#!/bin/bash
# A screen reader's view of a dialog (run inside xvfb-run): under a private session bus with
# the accessibility bus on, the demo's context menu opens the camera chooser; every control
# of the chooser is read through the accessibility interfaces with its role and name, the
# first camera is picked and OK pressed through them alone, and the view takes that camera.
# The network storage dialog is read the same way and answered with Cancel. Results go to
# OUT/a11y.log, the pictures to OUT/a11y-*.png.
#   a11y_desktop.sh BINARY_DIR OUT
if [ -z "$ORB_A11Y_SESSION" ]; then
  ORB_A11Y_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi
B=$1
OUT=$2
mkdir -p "$OUT"
LOG="$OUT/a11y.log"
: > "$LOG"
T="$OUT/a11y.work"
rm -rf "$T"
mkdir -p "$T"
source "$(dirname "$0")/wm_lib.sh"
# Widgets speak on the accessibility bus here.
export NO_AT_BRIDGE=0
launcher=$(ls /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher 2>/dev/null | head -1)
[ -n "$launcher" ] || { say "no accessibility bus launcher"; exit 0; }
"$launcher" --launch-immediately > "$T/bus.log" 2>&1 &
BUS=$!
trap 'stop "$DEMO" "$BUS"' EXIT
bus_up() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress > /dev/null 2>&1; }
wait_until 300 bus_up || { say "no accessibility bus"; exit 0; }
say "accessibility bus up"

start_demo "$T/demo" --cameras 2 || { say "no demo window"; exit 0; }
ini="$T/demo/home/orbiscfg.ini"
# Choose camera... from the view's context menu.
view_menu Down Return || { say "no context menu"; exit 0; }
window_named "Choose a camera" > /dev/null || { say "no camera chooser"; exit 0; }
shot a11y-chooser
timeout 120 /usr/bin/python3 "$(dirname "$0")/a11y_check.py" orbiscope-demo "Choose a camera" "Simulated Fisheye" OK >> "$LOG" 2>"$T/check.err"
gone "Choose a camera" && say "chooser closed"
# The right-hand view (it showed the second camera) now shows the first.
wait_until 300 file_says "$ini" "^CCTV1=" && say "view camera $(grep '^CCTV1=' "$ini")"
shot a11y-after
stop "$DEMO"
DEMO=""

# The network storage dialog: option buttons, a labelled edit field, a check box; Cancel
# pressed through its action ends the dialog with that answer.
mkdir -p "$T/probe.home" "$T/probe.sys"
cp "$B/Halo360Web_003906.r" "$T/probe.home/"
ORBISCOPE_HOME="$T/probe.home" ORBISCOPE_SYSTEM_DIR="$T/probe.sys" "$B/desktop-probe" advance > "$T/probe.log" 2>&1 &
DEMO=$!
window_named "Network storage" > /dev/null || { say "no network storage dialog"; exit 0; }
shot a11y-advance
timeout 120 /usr/bin/python3 "$(dirname "$0")/a11y_check.py" desktop-probe "Network storage" - Cancel >> "$LOG" 2>>"$T/check.err"
wait_until 300 ended "$DEMO" && say "probe $(grep '^result' "$T/probe.log")"
cat "$LOG"
