#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run) under a window manager: the demo's
# top-level windows as the window manager sees them. Four views: the main window is kept
# above others, its context menu's "Full screen" makes it cover the screen and "Leave full
# screen" undoes it, "Minimise" iconifies it and the window manager restores it, and the
# camera chooser is a transient of the main window shown above it. One view: the window
# dragged by its title bar is where it opens next time. Results go to OUT/wm.log, pictures
# to OUT/wm-*.png.
#   wm_desktop.sh BINARY_DIR OUT [CASE...]   (cases: views placement)
B=$1
OUT=$2
shift 2
mkdir -p "$OUT"
LOG="$OUT/wm.log"
: > "$LOG"
T="$OUT/wm.work"
rm -rf "$T"
mkdir -p "$T"
source "$(dirname "$0")/wm_lib.sh"
trap 'stop "$DEMO" "$WM"' EXIT

covers_screen() { [ "$(geometry "$1")" = "0 0 1280 1024" ]; }
# The window's place in the window manager's stacking order (bottom first).
stack_index() {
  local i=0 w
  for w in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'); do
    i=$((i + 1))
    [ "$((w))" = "$(($1))" ] && { echo "$i"; return 0; }
  done
  echo 0
}

case_views() {
  start_wm || { say "no window manager"; return; }
  start_demo "$T/views" --cameras 4 || { say "no demo window"; return; }
  wait_until 300 is_mapped "$DW"
  wait_until 300 has_state "$DW" _NET_WM_STATE_ABOVE && say "views: main window kept above"
  say "views: state $(net_state "$DW")"
  # Display > Full screen.
  view_menu Down Down Right Down Down Down Return || { say "no context menu"; return; }
  wait_until 300 has_state "$DW" _NET_WM_STATE_FULLSCREEN && say "views: full screen state"
  wait_until 300 covers_screen "$DW" && say "views: covers the screen"
  say "views: geometry $(geometry "$DW")"
  sleep 0.5
  shot wm-fullscreen
  # Display > Leave full screen.
  view_menu Down Down Right Down Down Down Return || { say "no context menu"; return; }
  wait_until 300 lacks_state "$DW" _NET_WM_STATE_FULLSCREEN && say "views: full screen left"
  # Display > Minimise; then the window manager brings it back.
  view_menu Down Down Right Down Down Return || { say "no context menu"; return; }
  wait_until 300 is_state "$DW" Iconic && say "views: iconic"
  wait_until 300 has_state "$DW" _NET_WM_STATE_HIDDEN && say "views: hidden state"
  shot wm-minimised
  xdotool windowactivate "$DW" 2>/dev/null
  wait_until 300 is_state "$DW" Normal && say "views: restored"
  wait_until 300 lacks_state "$DW" _NET_WM_STATE_HIDDEN && say "views: shown state"
  # Choose camera... : the chooser names the main window as its owner and stays above it.
  view_menu Down Return || { say "no context menu"; return; }
  local dlg
  dlg=$(window_named "Choose a camera") || { say "no camera chooser"; return; }
  local owner
  owner=$(xprop -id "$dlg" WM_TRANSIENT_FOR | awk '/window id/ {print $NF}')
  say "views: chooser $dlg transient for ${owner:-nothing}, main window $DW"
  [ -n "$owner" ] && [ "$((owner))" = "$DW" ] && say "views: chooser transient for the main window"
  say "views: chooser stacked $(stack_index "$dlg") main $(stack_index "$DW")"
  [ "$(stack_index "$dlg")" -gt "$(stack_index "$DW")" ] && say "views: chooser above the main window"
  sleep 0.5
  shot wm-dialog-above
  xdotool key Escape
  gone "Choose a camera" && say "views: chooser closed"
  stop "$DEMO" "$WM"
  DEMO="" WM=""
}

placement_of() { grep '^WinPos=' "$1" 2>/dev/null; }
placement_changed() { [ "$(placement_of "$1")" != "$2" ]; }

case_placement() {
  start_wm || { say "no window manager"; return; }
  start_demo "$T/place" || { say "no demo window"; return; }
  wait_until 300 is_mapped "$DW"
  local ini="$T/place/home/orbiscfg.ini" x y w h before
  read -r x y w h < <(geometry "$DW")
  say "placement: first at $x $y size ${w}x$h"
  before=$(placement_of "$ini")
  # A drag of the title bar, as a person moves a window.
  xdotool mousemove $((x + w / 2)) $((y - 10)) sleep 0.2 mousedown 1 sleep 0.2 \
    mousemove $((x + w / 2 + 40)) $((y + 20)) sleep 0.2 mousemove $((x + w / 2 + 150)) $((y + 90)) sleep 0.3 mouseup 1
  wait_until 300 placement_changed "$ini" "$before" && say "placement: saved while moving"
  local mx my
  read -r mx my _ _ < <(geometry "$DW")
  say "placement: moved to $mx $my"
  [ "$mx" -gt "$x" ] && [ "$my" -gt "$y" ] && say "placement: the window moved"
  shot wm-placement-moved
  # The title bar's close button ends the system, which saves the placement again.
  xdotool mousemove $((mx + w - 10)) $((my - 10)) sleep 0.2 click 1
  wait_until 300 ended "$DEMO" && say "placement: closed"
  wait "$DEMO" 2>/dev/null
  say "placement: saved $(placement_of "$ini")"
  start_demo "$T/place" || { say "no demo window the second time"; return; }
  wait_until 300 is_mapped "$DW"
  local ax ay
  read -r ax ay _ _ < <(geometry "$DW")
  say "placement: reopened at $ax $ay"
  [ "$ax" = "$mx" ] && [ "$ay" = "$my" ] && say "placement: same place"
  shot wm-placement-reopened
  stop "$DEMO" "$WM"
  DEMO="" WM=""
}

cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(views placement)
for c in "${cases[@]}"; do "case_$c"; done
cat "$LOG"
