#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run): the keys of the views' menu with four
# views and no menu bar. Ctrl+B over the lower-left view opens its colour balance (Escape
# closes it); Ctrl+B over the lower-right view opens that view's colour balance, whose
# correction is ticked and kept with OK; Ctrl+L opens the lens alignment (Escape closes it).
# Then one view in a window: its Settings menu shows the keys. Pictures: keys-NAME.png; what
# the script saw goes to OUT/keys.log, the camera file to OUT/keys-Config.ure.
#   keys_desktop.sh BINARY_DIR OUT
B=$1
OUT=$2
mkdir -p "$OUT"
LOG="$OUT/keys.log"
: > "$LOG"
T="$OUT/keys.work"
rm -rf "$T"
mkdir -p "$T"
source "$(dirname "$0")/desktop_lib.sh"

# Starts the demo with VIEWS views; sets DEMO and DW.
start_demo() {
  "$B/orbiscope-demo" "$T/out" --seconds 240 --fps 5 --cameras 4 --views "$1" > "$OUT/keys-demo-$1.log" 2>&1 &
  DEMO=$!
  DW=$(demo_window "$OUT/keys-demo-$1.log") || { say "no demo window"; return 1; }
}
# Closes the demo's window as a person does (every record is saved), then waits for its end.
stop_demo() {
  /usr/bin/python3 "$(dirname "$0")/close_window.py" "$DW"
  for _ in $(seq 1 200); do kill -0 "$DEMO" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$DEMO" 2>/dev/null && say "demo still running"
  kill "$DEMO" 2>/dev/null
  wait "$DEMO" 2>/dev/null
}
trap 'kill $DEMO 2>/dev/null; wait $DEMO 2>/dev/null' EXIT
CONFIG="$T/out/home/Config.ure"

# KEYS pressed with the pointer over the point (X, Y) of the demo's window (fractions of a
# hundred), until a window titled TITLE shows (the view may still wait for its first
# picture: the command then only beeps). Pictures it as keys-NAME.png; prints its id.
key_for() {  # X% Y% KEYS TITLE NAME
  local d wx wy ww wh
  read -r wx wy ww wh < <(geometry "$DW")
  for _ in $(seq 1 30); do
    xdotool mousemove $((wx + ww * $1 / 100)) $((wy + wh * $2 / 100)) sleep 0.1 key "$3"
    for _ in $(seq 1 20); do
      d=$(xdotool search --onlyvisible --name "^$4\$" 2>/dev/null | head -1)
      if [ -n "$d" ]; then
        sleep 0.5   # the dialog draws its controls
        import -window "$d" "$OUT/keys-$5.png" 2>/dev/null
        say "opened $5 by $3"
        echo "$d"
        return 0
      fi
      sleep 0.1
    done
  done
  say "no dialog $5 by $3"
  return 1
}
# Escape with the pointer resting over the dialog (keys go where the pointer is).
escape() {  # DIALOG TITLE
  read -r x y w h < <(geometry "$1")
  xdotool mousemove $((x + w / 2)) $((y + 10)) sleep 0.2 key Escape
  gone "$2"
}

start_demo 4 || exit 0
if D=$(key_for 25 75 ctrl+b "Colour balance" Balance); then
  escape "$D" "Colour balance" && say "balance closed by Escape"
fi
if D=$(key_for 75 75 ctrl+b "Colour balance" Balance-3); then
  click_at "$D" 20 211      # Colour correction on
  click_at "$D" 405 302     # OK
  gone "Colour balance" && say "balance kept"
fi
if D=$(key_for 75 25 ctrl+l "Lens alignment" Align); then
  escape "$D" "Lens alignment" && say "alignment closed by Escape"
fi
# The plain letters stay the view's own: no dialog from B alone.
read -r wx wy ww wh < <(geometry "$DW")
xdotool mousemove $((wx + ww / 4)) $((wy + wh / 4)) sleep 0.1 key b sleep 1
[ -z "$(xdotool search --onlyvisible --name '^Colour balance$' 2>/dev/null)" ] && say "plain b opens nothing"
stop_demo
cp "$CONFIG" "$OUT/keys-Config.ure" 2>/dev/null

# ---- One view in a window: the Settings menu shows the keys ----
if start_demo 1; then
  menu_bar "$DW" "$DEMO" 228 keys-menu Escape
  say "menu shown"
  stop_demo
fi
exit 0
