#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run) with a window manager: the demo goes
# to the background through its context menu. With a system tray its icon docks in the tray,
# a right click on the icon opens the tray menu, and "Show the window" and "Exit" do what
# they say; with no tray the main window waits minimised and the window manager brings it
# back, as it does when the tray goes away under the icon; a demo started in the background
# shows only its icon. Results go to OUT/tray.log, pictures to OUT/tray-*.png.
#   tray_desktop.sh BINARY_DIR OUT [CASE...]   (cases: tray notray traygone startup)
B=$1
OUT=$2
shift 2
mkdir -p "$OUT"
LOG="$OUT/tray.log"
: > "$LOG"
T="$OUT/tray.work"
rm -rf "$T"
mkdir -p "$T"
source "$(dirname "$0")/wm_lib.sh"
trap 'stop "$DEMO" "$TRAY" "$WM"' EXIT

# The windows inside the tray's window other than the tray's own: the docked icons.
tray_children() { xwininfo -tree -id "$PANEL" 2>/dev/null | grep -c '^ *0x'; }
docked() { [ "$(tray_children)" -gt "$1" ]; }
undocked() { [ "$(tray_children)" -le "$1" ]; }
# The largest window inside the tray: X Y W H on the screen.
icon_geometry() {
  xwininfo -tree -id "$PANEL" | awk '/^ *0x/ {split($NF, a, "+"); split($(NF-1), g, "[x+]"); if (g[1] * g[2] > best && g[1] < 100) {best = g[1] * g[2]; r = a[2] " " a[3] " " g[1] " " g[2]}} END {print r}'
}

title_is() { [ "$(title_of "$1")" = "$2" ]; }

# A window shown since the list BEFORE was taken, larger than a few pixels; its id.
new_shown_window() {  # BEFORE
  local w sx sy
  for w in $(xwininfo -root -children | awk '/^ *0x/ {print $1}' | grep -vxF -f "$1"); do
    is_mapped "$w" || continue
    read -r _ _ sx sy < <(geometry "$w")
    [ "${sx:-0}" -gt 20 ] && [ "${sy:-0}" -gt 20 ] && { echo "$w"; return 0; }
  done
  return 1
}

# A shown window of the process larger than the tray icon (its main window); its id.
large_window() {  # PID
  local w sx sy
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    read -r _ _ sx sy < <(geometry "$w")
    [ "${sx:-0}" -gt 200 ] && [ "${sy:-0}" -gt 200 ] && { echo "$w"; return 0; }
  done
  return 1
}

# Right-clicks the tray icon and clicks the menu item at ROW (1 = first) of the tray menu;
# the picture of the open menu is kept as NAME.
tray_menu_item() {  # ROW_FROM_TOP|-ROW_FROM_BOTTOM NAME
  local n x y w h menu mx my mw mh
  read -r x y w h < <(icon_geometry)
  say "icon at $x $y size ${w}x$h"
  n=$(window_count)
  xwininfo -root -children | awk '/^ *0x/ {print $1}' > "$T/before"
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) sleep 0.2 click 3
  wait_until 300 more_windows "$n" || { say "no tray menu"; return 1; }
  menu=$(wait_until 300 new_shown_window "$T/before" && new_shown_window "$T/before")
  [ -n "$menu" ] || { say "no tray menu shown"; return 1; }
  sleep 0.3
  read -r mx my mw mh < <(geometry "$menu")
  say "tray menu window ${mw}x$mh at $mx $my"
  shot "$2"
  if [ "$1" -gt 0 ]; then xdotool mousemove $((mx + mw / 2)) $((my + 4 + 24 * $1 - 12)) sleep 0.2 click 1
  else xdotool mousemove $((mx + mw / 2)) $((my + mh - 4 + 24 * $1 + 12)) sleep 0.2 click 1; fi
}

case_tray() {
  start_wm || { say "no window manager"; return; }
  start_tray || { say "no tray"; return; }
  say "tray running"
  local before
  before=$(tray_children)
  start_demo "$T/tray" || { say "no demo window"; return; }
  wait_until 300 is_mapped "$DW"
  # Display > Run in the background.
  view_menu Down Down Right Down Return || { say "no context menu"; return; }
  wait_until 300 docked "$before" && say "icon docked in the tray"
  wait_until 300 is_unmapped "$DW" && say "main window hidden"
  file_says "$T/tray/home/orbiscfg.ini" "Background=1" && say "background written"
  xwininfo -tree -id "$PANEL" > "$OUT/tray-tree.txt"
  shot tray-icon
  read -r x y w h < <(icon_geometry)
  import -window root -crop "200x48+$((x - 100))+0" +repage "$OUT/tray-icon-close.png" 2>/dev/null
  # The tray menu's first item, "Show the window".
  tray_menu_item 1 tray-menu || return
  wait_until 300 is_mapped "$DW" && say "main window shown again"
  wait_until 300 undocked "$before" && say "icon left the tray"
  wait_until 300 file_says "$T/tray/home/orbiscfg.ini" "Background=0" && say "background cleared"
  shot tray-restored
  # Back to the background; the tray menu's last item, "Exit", ends the system.
  view_menu Down Down Right Down Return || { say "no context menu"; return; }
  wait_until 300 docked "$before" || { say "no icon the second time"; return; }
  tray_menu_item -1 tray-menu-exit || return
  wait_until 300 ended "$DEMO" && say "exit ended the demo"
  wait "$DEMO" 2>/dev/null
  DEMO=""
  stop "$TRAY" "$WM"
  TRAY="" WM=""
}

case_notray() {
  start_wm || { say "no window manager"; return; }
  start_demo "$T/notray" || { say "no demo window"; return; }
  wait_until 300 is_mapped "$DW"
  view_menu Down Down Right Down Return || { say "no context menu"; return; }
  wait_until 300 is_state "$DW" Iconic && say "no tray: main window iconic"
  wait_until 300 has_state "$DW" _NET_WM_STATE_HIDDEN && say "no tray: hidden state"
  say "no tray: title $(title_of "$DW")"
  shot tray-none
  # The person brings the window back the way a task bar does.
  xdotool windowactivate "$DW" 2>/dev/null
  wait_until 300 is_state "$DW" Normal && say "no tray: restored by the window manager"
  wait_until 300 file_says "$T/notray/home/orbiscfg.ini" "Background=0" && say "no tray: background cleared"
  wait_until 300 title_is "$DW" Orbiscope
  say "no tray: title after $(title_of "$DW")"
  shot tray-none-restored
  stop "$DEMO" "$WM"
  DEMO="" WM=""
}

# The tray goes away while the icon is in it: the main window takes its place, minimised.
case_traygone() {
  start_wm || { say "no window manager"; return; }
  start_tray || { say "no tray"; return; }
  local before
  before=$(tray_children)
  start_demo "$T/gone" || { say "no demo window"; return; }
  wait_until 300 is_mapped "$DW"
  view_menu Down Down Right Down Return || { say "no context menu"; return; }
  wait_until 300 docked "$before" && say "gone: icon docked"
  stop "$TRAY"
  TRAY=""
  wait_until 300 is_state "$DW" Iconic && say "gone: main window iconic"
  wait_until 300 title_is "$DW" "Orbiscope 360/180 (background)" && say "gone: title says background"
  xdotool windowactivate "$DW" 2>/dev/null
  wait_until 300 is_state "$DW" Normal && say "gone: restored by the window manager"
  wait_until 300 file_says "$T/gone/home/orbiscfg.ini" "Background=0" && say "gone: background cleared"
  shot tray-gone-restored
  stop "$DEMO" "$WM"
  DEMO="" WM=""
}

# Started in the background (the setting saved by an earlier run): only the icon shows.
case_startup() {
  start_wm || { say "no window manager"; return; }
  start_tray || { say "no tray"; return; }
  local before
  before=$(tray_children)
  mkdir -p "$T/startup/home"
  printf '[Panorama]\nBackground=1\n' > "$T/startup/home/orbiscfg.ini"
  "$B/orbiscope-demo" "$T/startup" --seconds 150 --fps 5 --cameras 1 > "$T/startup.log" 2>&1 &
  DEMO=$!
  wait_until 900 docked "$before" && say "startup: icon docked in the tray"
  [ -z "$(large_window $DEMO)" ] && say "startup: no window shown"
  shot tray-startup
  tray_menu_item 1 tray-startup-menu || return
  DW=$(wait_until 300 large_window $DEMO && large_window $DEMO) && say "startup: main window shown"
  wait_until 300 file_says "$T/startup/home/orbiscfg.ini" "Background=0" && say "startup: background cleared"
  shot tray-startup-shown
  stop "$DEMO" "$TRAY" "$WM"
  DEMO="" TRAY="" WM=""
}

cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(tray notray traygone startup)
for c in "${cases[@]}"; do "case_$c"; done
cat "$LOG"
