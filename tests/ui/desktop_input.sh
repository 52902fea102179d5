#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run): opens menus, dialogs, a chooser and
# a message box through the desktop probe and the demo, and drives them with xdotool.
# Each case writes CASE.log (what the window layer received) and CASE.png into OUT.
#   desktop_input.sh BINARY_DIR OUT [CASE...]
B=$1
OUT=$2
shift 2
mkdir -p "$OUT"
export ORBISCOPE_HOME=$B
LOG="$OUT/desktop_input.log"
T="$OUT/desktop_input.work"
mkdir -p "$T"
source "$(dirname "$0")/desktop_lib.sh"

# Waits for a visible window of a process (a loaded machine may take long); prints its id.
window_of() {
  local pid=$1 wid=""
  for _ in $(seq 1 900); do
    wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | tail -1)
    [ -n "$wid" ] && { echo "$wid"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Waits until the X server answers a new client (at most 30 s).
wait_for_display() {
  for _ in $(seq 1 300); do xdotool getdisplaygeometry >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# The number of windows on the screen, and a wait until there are more than N.
window_count() { xwininfo -root -children 2>/dev/null | grep -c '^ *0x'; }
wait_more_windows() {
  for _ in $(seq 1 300); do [ "$(window_count)" -gt "$1" ] && return 0; sleep 0.1; done
  return 1
}

# Waits until a log holds a line.
wait_for() {
  for _ in $(seq 1 200); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

focus() {
  read -r wx wy _ _ < <(geometry "$1")
  xdotool mousemove $((wx + 2)) $((wy + 2))
  xdotool windowfocus "$1" 2>/dev/null
  sleep 0.3
}

finish() {  # waits for the probe to end (at most 20 s)
  for _ in $(seq 1 200); do kill -0 "$1" 2>/dev/null || { wait "$1"; return; }; sleep 0.1; done
  kill "$1" 2>/dev/null
  echo "probe did not end" >> "$OUT/$2.log"
}

start() {  # CASE ARGS...: the probe in the background, its settings in a fresh folder
  local name=$1
  shift
  export ORBISCOPE_SYSTEM_DIR="$OUT/$name.sys"
  rm -rf "$ORBISCOPE_SYSTEM_DIR"
  mkdir -p "$ORBISCOPE_SYSTEM_DIR"
  # A case writes its settings (a root password, say) into a home of its own, never into the
  # build folder, where the library would take them for the folder it keeps its files in.
  local home=$ORBISCOPE_HOME
  if [ "$home" = "$B" ]; then
    home="$OUT/$name.home"
    rm -rf "$home"
    mkdir -p "$home"
    cp "$B/Halo360Web_003906.r" "$home/"
  fi
  # A loaded X server now and then refuses a new client for a moment (the probe then says
  # 77, no desktop): wait until the server answers and start the probe again.
  local status=0
  for attempt in 1 2 3; do
    ORBISCOPE_HOME="$home" "$B/desktop-probe" "$@" > "$OUT/$name.log" 2>&1 &
    PID=$!
    WID=$(window_of $PID) && return 0
    kill -0 $PID 2>/dev/null && kill $PID
    wait $PID
    status=$?
    [ $status -eq 77 ] || break
    echo "attempt $attempt: no desktop" >> "$OUT/$name.attempts"
    wait_for_display
  done
  echo "no window (probe status $status)" >> "$OUT/$name.log"
  return 1
}

shot() { import -window root "$OUT/$1.png" 2>/dev/null; }

case_menu() {
  start menu menu || return
  local n
  n=$(window_count)
  click_at "$WID" 200 150 3
  wait_more_windows "$n"
  xwininfo -root -children > "$OUT/menu.windows"
  shot menu
  # Camera > Pause: into the first submenu, its second item.
  xdotool key Down Right Down Return
  finish $PID menu
}

case_root() {
  start root root || return
  focus "$WID"
  xdotool key Tab   # old password stays empty: the first password
  xdotool type --delay 30 "Secret"
  xdotool key Tab
  xdotool type --delay 30 "Secret"
  xdotool key Tab space
  shot root
  xdotool key Return
  finish $PID root
}

case_check_wrong() {  # a wrong password leaves the dialog open with a message
  start check check || return
  echo "needs a stored password" >> "$OUT/check.log"
}

case_dvr() {
  start dvr dvr || return
  click_at "$WID" 40 39       # "Do not record"
  click_at "$WID" 40 137      # "Do not record on the system disk"
  sleep 0.3
  shot dvr
  focus "$WID"
  xdotool key Return
  finish $PID dvr
}

case_balance() {
  start balance dialog Balance || return
  click_at "$WID" 20 211      # the on/off box
  click_at "$WID" 480 23      # the first slider, towards its right end
  sleep 0.3
  shot balance
  focus "$WID"
  xdotool key Return
  finish $PID balance
}

case_lists() {
  start lists dialog DVRFile || return
  click_at "$WID" 60 52       # item 2 of the recordings
  xdotool keydown ctrl
  click_at "$WID" 60 100      # item 4, added to the choice
  xdotool keyup ctrl
  sleep 0.3
  shot lists
  focus "$WID"
  xdotool key Escape
  finish $PID lists
}

case_event() {
  start event dialog Event || return
  click_at "$WID" 200 86      # the library field
  xdotool type --delay 30 "libhook.so"
  click_at "$WID" 20 51       # the check box
  sleep 0.3
  shot event
  click_at "$WID" 225 198     # OK
  finish $PID event
}

case_open() {
  mkdir -p "$OUT/pick"
  : > "$OUT/pick/lobby.360"
  : > "$OUT/pick/other.txt"
  start open open "$OUT/pick" || return
  sleep 1
  shot open
  focus "$WID"
  xdotool type --delay 30 "lobby.360"
  sleep 0.8
  xdotool key Return
  finish $PID open
}

case_web() {
  # One camera named Lobby in the camera file the dialog lists.
  local home="$OUT/web.home"
  mkdir -p "$home"
  cp "$B/Halo360Web_003906.r" "$home/"
  head -c 3000 /dev/zero > "$home/Config.ure"
  printf 'Lobby' | dd of="$home/Config.ure" bs=1 seek=720 conv=notrunc 2>/dev/null
  ORBISCOPE_HOME="$home" start web web || return
  click_at "$WID" 270 64      # Browse...
  local chooser
  chooser=$(window_named "Create HTML Web Page")
  shot web-chooser
  [ -n "$chooser" ] && focus "$chooser"
  xdotool type --delay 30 "$OUT/webpage"
  sleep 0.5   # the chooser completes the typed folder first
  xdotool key Return
  sleep 1
  click_at "$WID" 330 108     # the width slider
  sleep 0.3
  shot web
  focus "$WID"
  xdotool key Escape
  finish $PID web
}

case_message() {
  start message message || return
  shot message
  focus "$WID"
  xdotool key alt+y
  finish $PID message
}

# Every template: opened, pictured, closed with Escape.
case_templates() {
  for t in Source Cruise Blank hOrz hOrz2 hOrz21 hOrz3 Backup Playback Stop Root Check Advance DVR DVRFile \
           Mask MaskZone Balance Event Web ExportCamera; do
    start "template-$t" dialog "$t" || continue
    import -window "$WID" "$OUT/template-$t.png" 2>/dev/null
    focus "$WID"
    xdotool key Escape
    finish $PID "template-$t"
  done
}

# The demo: a right click on a view shows its context menu; Display > Show location.
case_demo() {
  local T="$OUT/demo.work"
  rm -rf "$T"
  mkdir -p "$T"
  "$B/orbiscope-demo" "$T/out" --seconds 40 --fps 5 > "$OUT/demo.log" 2>&1 &
  local pid=$!
  local wid
  wid=$(window_of $pid) || { echo "no window" >> "$OUT/demo.log"; return; }
  sleep 3
  xwininfo -root -children > "$OUT/demo.before"
  local n
  n=$(window_count)
  click_at "$wid" 300 250 3
  wait_more_windows "$n"
  xwininfo -root -children > "$OUT/demo.windows"
  shot demo-menu
  xdotool key Down Down Right Return
  wait_for "$T/out/home/orbiscfg.ini" "ShowLocation=0"
  cp "$T/out/home/orbiscfg.ini" "$OUT/demo-location.ini" 2>/dev/null
  # Choose camera... opens the camera chooser; the second camera goes into the view.
  n=$(window_count)
  click_at "$wid" 300 250 3
  wait_more_windows "$n"
  xdotool key Down Return
  local dlg
  dlg=$(window_named "Choose a camera")
  shot demo-source
  xwininfo -root -children > "$OUT/demo.source"
  [ -n "$dlg" ] && focus "$dlg"
  xdotool key Down Return
  wait_for "$T/out/home/orbiscfg.ini" "CCTV0="
  cp "$T/out/home/orbiscfg.ini" "$OUT/demo-camera.ini" 2>/dev/null
  shot demo-after
  # Ctrl+Shift and a left click: the motion-event dialog of the view.
  read -r wx wy _ _ < <(geometry "$wid")
  xdotool mousemove $((wx + 300)) $((wy + 250)) keydown ctrl keydown shift click 1 keyup shift keyup ctrl
  dlg=$(window_named "Motion event")
  shot demo-event
  xwininfo -root -children > "$OUT/demo.event"
  [ -n "$dlg" ] && focus "$dlg"
  xdotool key Escape
  sleep 0.5
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
}

# Mouse steering on a demo view: a drag inside the window above the strip pans it, a click
# on the strip centres it there; then the window's close button ends the demo through Exit.
case_steer() {
  local T="$OUT/steer.work"
  rm -rf "$T"
  mkdir -p "$T"
  "$B/orbiscope-demo" "$T/out" --cameras 1 --fps 5 --seconds 60 --watch > "$OUT/steer.log" 2>&1 &
  local pid=$! wid
  wid=$(window_of $pid) || { echo "no window" >> "$OUT/steer.log"; return; }
  wait_for "$OUT/steer.log" "views open" || { echo "no views" >> "$OUT/steer.log"; return; }
  read -r wx wy ww wh < <(geometry "$wid")
  echo "window $wx $wy $ww $wh" >> "$OUT/steer.geometry"
  # Wait for the first pictures before steering (the view is black until then).
  for _ in $(seq 1 100); do [ -s "$T/out/view0.jpg" ] && break; sleep 0.1; done
  shot steer-before
  local x=$((wx + ww / 4)) y=$((wy + wh / 3))
  xdotool mousemove $x $y mousedown 1
  for i in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove $((x + 12 * i)) $((y + 3 * i)); done
  xdotool mouseup 1
  wait_for "$OUT/steer.log" "watch: window 4 " || echo "no drag seen" >> "$OUT/steer.log"
  shot steer-dragged
  # A click on the strip, three quarters of the way across.
  xdotool mousemove $((wx + ww * 3 / 4)) $((wy + wh - wh / 6)) click 1
  wait_for "$OUT/steer.log" "watch: window 4 pan .* -> -\\?1[78][0-9]\\.[0-9] " || echo "no click seen" >> "$OUT/steer.log"
  shot steer-clicked
  # The desktop's close button: the window manager asks the window to close.
  /usr/bin/python3 "$(dirname "$0")/close_window.py" "$wid"
  for _ in $(seq 1 200); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
  cp "$T/out/home/Config.ure" "$OUT/steer-Config.ure" 2>/dev/null
}

# Menus beside cameras that hang: of four demo cameras one accepts and never answers and one
# answers a byte a second, both pan/tilt/zoom cameras the person steers with the arrow keys.
# Ten times the context menu of the healthy view is opened by a right click; the time from
# the click to the menu's window on the screen (menu_latency.py) goes to hang.log ("menu N
# ms"), as does the window's life after it ("alive").
case_hang() {
  local T="$OUT/hang.work"
  rm -rf "$T"
  mkdir -p "$T"
  : > "$OUT/hang.log"
  "$B/orbiscope-demo" "$T/out" --cameras 4 --fps 10 --seconds 90 --camera-faults none,silent+ptz,trickle+ptz,none \
    > "$OUT/hang-demo.log" 2>&1 &
  local pid=$! wid
  wid=$(window_of $pid) || { echo "no window" >> "$OUT/hang.log"; return; }
  wait_for "$OUT/hang-demo.log" "views open" || echo "no views" >> "$OUT/hang.log"
  for _ in $(seq 1 100); do [ -s "$T/out/view0.jpg" ] && break; sleep 0.1; done
  read -r wx wy ww wh < <(geometry "$wid")
  local i n t0 t1 k
  for i in $(seq 1 10); do
    # Pan/tilt/zoom commands to the hanging cameras first, by keys over their views.
    for k in Left Right Up; do
      xdotool mousemove $((wx + ww * 3 / 4)) $((wy + wh / 4)) key $k
      xdotool mousemove $((wx + ww / 4)) $((wy + wh * 3 / 4)) key $k
    done
    xdotool mousemove $((wx + ww / 4)) $((wy + wh / 4))
    sleep 0.3
    n=$(window_count)
    echo "menu $(/usr/bin/python3 "$(dirname "$0")/menu_latency.py") ms" >> "$OUT/hang.log"
    [ "$i" = 1 ] && shot hang-menu
    xdotool key Escape
    for _ in $(seq 1 300); do [ "$(window_count)" -le "$n" ] && break; sleep 0.01; done
  done
  kill -0 $pid 2>/dev/null && echo "alive" >> "$OUT/hang.log"
  shot hang-after
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
}

cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(menu root dvr balance lists event open message web templates demo steer hang)
for c in "${cases[@]}"; do "case_$c"; done
exit 0
