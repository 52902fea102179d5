#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run): the host's backup dialog. Two
# recordings the demo made are chosen (a click, a Ctrl+click), the backup folder is picked
# in the folder chooser that Browse opens, Copy copies both; then backup play opens the
# player on the backup folder. Results go to OUT/backup.log, pictures to OUT.
#   backup_desktop.sh BINARY_DIR OUT
B=$1
OUT=$2
mkdir -p "$OUT"
LOG="$OUT/backup.log"
: > "$LOG"
T="$OUT/backup.work"
rm -rf "$T"
mkdir -p "$T/kept"
export ASAN_OPTIONS=detect_leaks=0 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
# The file choosers keep their recently used files here, not in the tester's own folders.
export XDG_DATA_HOME="$T/data"
say() { echo "$*" >> "$LOG"; }
# Types a path into a file chooser: its "/" opens the location field, which takes a moment
# before it takes the rest; the rest comes in one burst, before the field's completion can
# put a guess of its own between two keys.
type_path() {
  xdotool type "/"
  sleep 0.8
  xdotool type --delay 0 "${1#/}"
}
window_named() {
  for _ in $(seq 1 900); do
    local w
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
gone() {
  for _ in $(seq 1 300); do
    [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  return 1
}
geometry() {
  xdotool getwindowgeometry "$1" | awk '/Position/ {split($2, p, ",")} /Geometry/ {split($2, g, "x")} END {print p[1], p[2], g[1], g[2]}'
}
click_at() {  # WINDOW X Y: a click at a point of the window
  read -r wx wy _ _ < <(geometry "$1")
  xdotool mousemove $(($wx + $2)) $(($wy + $3)) sleep 0.1 click 1
}
type_into() {  # WINDOW TEXT: keys go where the pointer is
  read -r wx wy ww wh < <(geometry "$1")
  xdotool mousemove $((wx + ww / 2)) $((wy + wh / 2))
  xdotool windowfocus "$1" 2>/dev/null
  sleep 0.5
  type_path "$2"
  sleep 0.8
}

# Recordings of four cameras, made without a display.
ORBISCOPE_HEADLESS=1 "$B/orbiscope-demo" "$T/out" --seconds 4 --headless > "$OUT/backup-demo.log" 2>&1
export ORBISCOPE_HOME="$T/out/home" ORBISCOPE_SYSTEM_DIR="$T/out/home"
say "recordings $(find "$T/out/RECVAULT" -iname '*.P360' | wc -l)"

"$B/orbiscope" backup > "$OUT/backup-host.log" 2>&1 &
P=$!
BW=$(window_named "Backup of recordings") || { say "no backup dialog"; exit 0; }
say "backup dialog"
click_at "$BW" 60 40          # the first recording
xdotool keydown ctrl
click_at "$BW" 60 62          # and the second
xdotool keyup ctrl
click_at "$BW" 533 37         # Browse...
if FW=$(window_named "Choose the backup folder"); then
  say "folder chooser"
  import -window "$FW" "$OUT/backup-chooser.png" 2>/dev/null
  type_into "$FW" "$T/kept/"
  xdotool key Return
  gone "Choose the backup folder" || { sleep 0.5; xdotool key Return; }
fi
sleep 0.5
import -window "$BW" "$OUT/backup-dialog.png" 2>/dev/null
click_at "$BW" 425 399        # Copy
for _ in $(seq 1 300); do
  [ "$(find "$T/kept" -iname '*.P360' | wc -l)" -ge 2 ] && break
  sleep 0.1
done
sleep 1
import -window "$BW" "$OUT/backup-copied.png" 2>/dev/null
say "copied $(find "$T/kept" -iname '*.P360' | wc -l)"
for f in "$T/kept/"*; do
  [ -f "$f" ] || continue
  src="$T/out/RECVAULT/$(basename "$f")"
  cmp -s "$f" "$src" && say "same as its recording: $(basename "$f")"
done
grep -q "^Dir=$T/kept/" "$T/out/home/orbiscfg.ini" && say "folder kept"
click_at "$BW" 525 399        # Close
gone "Backup of recordings" && say "dialog closed"
wait $P

# Backup play: the player opens on the backup folder with its Playback dialog.
"$B/orbiscope" backup-play > "$OUT/backup-play.log" 2>&1 &
P=$!
if PW=$(window_named "Recording Player"); then
  say "player opened"
  window_named "Backup recordings" >/dev/null && say "playback dialog"
  sleep 2
  import -window root "$OUT/backup-play.png" 2>/dev/null
fi
kill $P 2>/dev/null
wait $P 2>/dev/null
exit 0
