#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run): the demo records, the floating tool
# bar's player button opens the player on what it recorded, and the player's buttons and
# position bar are used with xdotool. Pictures of the view are compared; what was measured
# goes to OUT/player.log and the screenshots stay in OUT.
# Then the desktop entry's command line opens the stand-alone player on a copy of the
# recording outside every storage folder, as a double click in a file manager does.
#   player_desktop.sh BINARY_DIR OUT SOURCE_DIR
B=$1
OUT=$2
SRC=$3
mkdir -p "$OUT"
LOG="$OUT/player.log"
: > "$LOG"
T="$OUT/player.work"
rm -rf "$T"
mkdir -p "$T/home" "$T/sys"
cp "$B/Halo360Web_003906.r" "$T/home/"
export ORBISCOPE_HOME="$T/home" ORBISCOPE_SYSTEM_DIR="$T/sys"
source "$(dirname "$0")/desktop_lib.sh"

# The middle of the player's view as a picture (the time text and the bars left out).
view_shot() {
  read -r px py pw ph < <(geometry "$PW")
  import -window root -crop "$((pw - 40))x$((ph - 160))+$((px + 20))+$((py + 60))" +repage "$OUT/$1.png" 2>/dev/null
}

# Root-mean-square difference of two pictures, 0 (same) .. 1.
differ() { compare -metric RMSE "$OUT/$1.png" "$OUT/$2.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/'; }

# Waits until the view's picture stops changing (two shots a moment apart the same).
settle() {
  for _ in $(seq 1 40); do
    view_shot settle-a
    sleep 0.3
    view_shot settle-b
    awk -v d="$(differ settle-a settle-b)" 'BEGIN { exit !(d < 0.002) }' && return 0
  done
  return 1
}

# A bar button: its x in the bar (the middle of its picture); the bar is the frame's last 30 rows.
press() {
  read -r px py pw ph < <(geometry "$PW")
  xdotool mousemove $((px + $1)) $((py + ph - 15)) sleep 0.2 mousemove $((px + $1 + 1)) $((py + ph - 15)) click 1
}

"$B/orbiscope-demo" "$T/out" --seconds 120 --fps 5 --cameras 1 > "$OUT/player-demo.log" 2>&1 &
DEMO=$!
trap 'kill $DEMO 2>/dev/null; wait $DEMO 2>/dev/null' EXIT
for _ in $(seq 1 900); do
  DW=$(xdotool search --onlyvisible --pid $DEMO 2>/dev/null | head -1)
  [ -n "$DW" ] && break
  sleep 0.1
done
[ -z "$DW" ] && { say "no demo window"; exit 0; }
# Some seconds of recording first (a dozen of the room's pictures).
for _ in $(seq 1 600); do
  f=$(find "$T/out" -iname '*.P360' -size +600k 2>/dev/null | head -1)
  [ -n "$f" ] && break
  sleep 0.1
done
say "recording ${f:-none}"

# The mouse over the view brings the floating tool bar; its second button is the player.
TB=$(floating_tool_bar "$DW" "$DEMO") || { say "no tool bar"; exit 0; }
read -r tx ty tw th < <(geometry "$TB")
xdotool mousemove $((tx + 48)) $((ty + 16)) sleep 0.2 mousemove $((tx + 47)) $((ty + 15)) click 1
PW=$(window_named "Recording Player") || { say "no player window"; exit 0; }
say "player window"
xdotool mousemove 5 5
settle || say "the picture never settled"
import -window "$PW" "$OUT/player-open.png" 2>/dev/null

# Pause (the button that is shown while playing), then the picture holds still.
press 17
settle
view_shot paused-1
sleep 1.5
view_shot paused-2
say "paused $(differ paused-1 paused-2)"

# Drag the position bar's thumb to the start, then one frame forward: an early frame.
read -r px py pw ph < <(geometry "$PW")
xdotool mousemove $((px + pw - 12)) $((py + ph - 15)) mousedown 1 sleep 0.2 \
  mousemove $((px + 600)) $((py + ph - 15)) sleep 0.2 mousemove $((px + 292)) $((py + ph - 15)) sleep 0.2 mouseup 1
press 101
settle
view_shot start
import -window "$PW" "$OUT/player-start.png" 2>/dev/null
say "dragged $(differ paused-2 start)"
# Five frames on, one at a time.
for _ in 1 2 3 4 5; do press 101; sleep 0.3; done
settle
view_shot stepped
say "stepped $(differ start stepped)"
# Play again: the picture moves on from the stepped frame.
press 17
# Playing shows another frame as soon as the loop runs again (a loaded machine may take long).
for _ in $(seq 1 60); do
  sleep 0.3
  view_shot played
  awk -v d="$(differ stepped played)" 'BEGIN { exit !(d > 0.012) }' && break
done
import -window "$PW" "$OUT/player-playing.png" 2>/dev/null
say "played $(differ stepped played)"
# Its menu bar: File > Recordings... opens the recordings dialog; Escape closes it.
menu_bar "$PW" "$DEMO" 20 menu-DVR Down Return
if RW=$(window_named "Recordings"); then
  say "dvr menu recordings"
  import -window "$RW" "$OUT/command-DVRFile-menu.png" 2>/dev/null
  escape_from "$RW" "Recordings" && say "recordings closed"
fi
# The player's Stop button closes it; the demo's window stays.
press 230
gone "Recording Player" && say "player closed"
xdotool search --onlyvisible --pid $DEMO >/dev/null 2>&1 && say "demo still open"
kill $DEMO 2>/dev/null
wait $DEMO 2>/dev/null

# ---- The desktop entry: its command line with the file of a double click ----
mkdir -p "$T/elsewhere" "$T/fresh"
cp "$B/Halo360Web_003906.r" "$T/fresh/"
cp "$f" "$T/elsewhere/Lobby camera.P360"
exec_line=$(sed -n 's/^Exec=//p' "$SRC/res/desktop/orbiscope-player.desktop")
say "entry $exec_line"
program=${exec_line%% *}
[ "${exec_line#* }" = "%f" ] && say "entry takes one file"
# A user with settings of their own and no recordings: only the file itself is known.
env ORBISCOPE_HOME="$T/fresh" ORBISCOPE_SYSTEM_DIR="$T/fresh" PATH="$B:$PATH" \
  "$program" "$T/elsewhere/Lobby camera.P360" > "$OUT/player-entry.log" 2>&1 &
ENTRY=$!
if PW=$(window_named "Recording Player"); then
  say "entry opened the player"
  xdotool mousemove 5 5
  settle
  view_shot entry
  import -window root "$OUT/player-entry.png" 2>/dev/null
  say "entry spread $(convert "$OUT/entry.png" -colorspace Gray -format '%[fx:standard_deviation]' info:)"
  press 230
  for _ in $(seq 1 100); do kill -0 $ENTRY 2>/dev/null || break; sleep 0.1; done
  kill -0 $ENTRY 2>/dev/null || say "entry player ended"
fi
kill $ENTRY 2>/dev/null
exit 0
