# Shared by the desktop scripts that drive the host's windows with real input on a virtual X
# server. The script sets LOG (its results) and T (its work folder) before sourcing this.
export ASAN_OPTIONS=detect_leaks=0 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
# The file choosers keep their recently used files here, not in the tester's own folders.
export XDG_DATA_HOME="$T/data"

say() { echo "$*" >> "$LOG"; }

# Puts a path into a file chooser: its "/" opens the location field, which takes a moment
# before it takes more. The path is then pasted whole from the clipboard (keys typed one by
# one race the field's completion, which may put a guess of its own between two keys); where
# GTK's Python binding is missing, it is typed in one burst.
type_path() {
  xdotool type "/"
  sleep 0.8
  local holder ready=""
  if [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import gi' 2>/dev/null; then
    exec {holder}< <(/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/clipboard.py" "$1" 10 2>/dev/null)
    read -r -t 10 ready <&"$holder"
  fi
  if [ "$ready" = ready ]; then
    xdotool key ctrl+a ctrl+v
  else
    xdotool type --delay 0 "${1#/}"
  fi
}

# Waits (up to 90 s) for a visible window with this title; prints its id.
window_named() {
  for _ in $(seq 1 900); do
    local w
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits until no visible window has this title.
gone() {
  for _ in $(seq 1 300); do
    [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  return 1
}

geometry() {  # X Y W H of a window
  xdotool getwindowgeometry "$1" | awk '/Position/ {split($2, p, ",")} /Geometry/ {split($2, g, "x")} END {print p[1], p[2], g[1], g[2]}'
}

click_at() {  # WINDOW X Y [BUTTON]: a click at a point of the window (the left button)
  read -r wx wy _ _ < <(geometry "$1")
  xdotool mousemove $(($wx + $2)) $(($wy + $3)) sleep 0.1 click "${4:-1}"
  sleep 0.2
}

type_into() {  # WINDOW TEXT: keys go where the pointer is
  read -r wx wy ww wh < <(geometry "$1")
  xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
  xdotool windowfocus "$1" 2>/dev/null
  sleep 0.5
  type_path "$2"
  sleep 0.8
}

# Hovers over the demo's window until its floating tool bar shows (a window of the demo 32
# pixels high and narrower than 300); prints the tool bar's id.
floating_tool_bar() {  # DEMO_WINDOW DEMO_PID
  local dx dy dw dh w tw th
  read -r dx dy dw dh < <(geometry "$1")
  for _ in $(seq 1 50); do
    xdotool mousemove $((dx + dw / 2)) $((dy + dh / 2)) sleep 0.1 mousemove $((dx + dw / 2 + 3)) $((dy + dh / 2 + 2))
    for w in $(xdotool search --onlyvisible --pid "$2" 2>/dev/null); do
      read -r _ _ tw th < <(geometry "$w")
      [ "$th" = 32 ] && [ "$tw" -lt 300 ] && { echo "$w"; return 0; }
    done
    sleep 0.2
  done
  return 1
}

# The number of visible windows of a program (an open menu is one more).
windows_of() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l; }

# Clicks a title of a window's menu bar (X: its middle), waits until the menu shows (a new
# window of the program), pictures the screen as OUT/SHOT.png when SHOT is not "-", then
# walks the menu with KEYS.
menu_bar() {  # WINDOW PID X SHOT KEYS...
  local w=$1 pid=$2 x=$3 shot=$4 n
  shift 4
  n=$(windows_of "$pid")
  click_at "$w" "$x" 12
  for _ in $(seq 1 100); do [ "$(windows_of "$pid")" -gt "$n" ] && break; sleep 0.1; done
  [ "$shot" != - ] && import -window root "$OUT/$shot.png" 2>/dev/null
  xdotool key "$@"
}

# Waits for the demo's main window and for its views to open (the demo says "views open" in
# DEMO_LOG); prints the window's id, or fails when no window came.
demo_window() {  # DEMO_LOG
  local w=""
  for _ in $(seq 1 900); do
    w=$(xdotool search --onlyvisible --name '^Orbiscope$' 2>/dev/null | head -1)
    [ -n "$w" ] && break
    sleep 0.1
  done
  [ -z "$w" ] && return 1
  for _ in $(seq 1 300); do grep -q "views open" "$1" && break; sleep 0.1; done
  echo "$w"
}

# Escape over a dialog (keys go where the pointer is: its lower right corner, clear of its
# edits), then waits until no window has its title.
escape_from() {  # WINDOW TITLE
  local x y w h
  read -r x y w h < <(geometry "$1")
  xdotool mousemove $((x + w - 20)) $((y + h - 10))
  xdotool key Escape
  gone "$2"
}
