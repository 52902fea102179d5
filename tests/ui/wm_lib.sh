# Shared by the scripts that run the host under a window manager and a system tray on a
# virtual X server: starting them, reading what the window manager says about a window, and
# waiting for it. The script sets LOG and T before sourcing this.
source "$(dirname "${BASH_SOURCE[0]}")/desktop_lib.sh"
UI_DIR=$(dirname "${BASH_SOURCE[0]}")

# Under a window manager xdotool's position of a window is off by the frame: ask the server.
geometry() {  # X Y W H of a window on the screen
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
    /^ *Width/ {w = $NF} /^ *Height/ {h = $NF} END {print x, y, w, h}'
}

# Runs CMD... every tenth of a second until it succeeds, at most TENTHS times.
wait_until() {  # TENTHS CMD...
  local n=$1
  shift
  for _ in $(seq 1 "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }

# Starts the window manager and waits until it manages the screen; sets WM.
start_wm() {
  openbox --sm-disable > "$T/openbox.log" 2>&1 &
  WM=$!
  wait_until 300 wm_running
}

# Starts a system tray in the top right corner and waits until it owns the tray selection;
# sets TRAY and PANEL (the tray's window).
start_tray() {
  trayer --edge top --align right --widthtype pixel --width 120 --height 32 --transparent false \
    --SetDockType true --SetPartialStrut false > "$T/trayer.log" 2>&1 &
  TRAY=$!
  /usr/bin/python3 "$UI_DIR/tray_owner.py" > /dev/null || return 1
  PANEL=$(wait_until 300 panel_window && panel_window)
  [ -n "$PANEL" ]
}
panel_window() { xdotool search --onlyvisible --classname '^panel$' 2>/dev/null | head -1; }

stop() { for p in "$@"; do [ -n "$p" ] && kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done; return 0; }

# What the window manager and the window say about a window.
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state/ {print $3}'; }  # Normal, Iconic
net_state() { xprop -id "$1" _NET_WM_STATE 2>/dev/null | sed 's/.*= *//'; }
map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State/ {print $3}'; }  # IsViewable, IsUnMapped
title_of() { xdotool getwindowname "$1" 2>/dev/null; }
has_state() { net_state "$1" | grep -q "$2"; }
lacks_state() { ! net_state "$1" | grep -q "$2"; }
is_state() { [ "$(wm_state "$1")" = "$2" ]; }
is_mapped() { [ "$(map_state "$1")" = IsViewable ]; }
is_unmapped() { [ "$(map_state "$1")" != IsViewable ]; }
file_says() { grep -q "$2" "$1" 2>/dev/null; }
window_count() { xwininfo -root -children 2>/dev/null | grep -c '^ *0x'; }
more_windows() { [ "$(window_count)" -gt "$1" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }

# Starts the demo with one camera in FOLDER (its settings in FOLDER/home); sets DEMO, DW.
start_demo() {  # FOLDER [ARGS...]
  local folder=$1
  shift
  "$B/orbiscope-demo" "$folder" --seconds 150 --fps 5 --cameras 1 "$@" > "$folder.log" 2>&1 &
  DEMO=$!
  DW=""
  for _ in $(seq 1 900); do
    DW=$(xdotool search --onlyvisible --pid $DEMO --name '^Orbiscope' 2>/dev/null | head -1)
    [ -n "$DW" ] && return 0
    kill -0 $DEMO 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Right-clicks the middle of the demo's view and walks its context menu with KEYS.
view_menu() {  # KEYS...
  local n x y w h
  n=$(window_count)
  read -r x y w h < <(geometry "$DW")
  xdotool mousemove $((x + w / 2)) $((y + h / 3)) sleep 0.1 click 3
  wait_until 300 more_windows "$n" || return 1
  sleep 0.3
  xdotool key "$@"
}

shot() { import -window root "$OUT/$1.png" 2>/dev/null; }
