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
source "$(dirname "$0")/desktop_lib.sh"

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

# Stop: thousands of short recordings, all chosen; the Stop dialog of the running copy is
# clicked as soon as it shows; the copy ends early.
src=$(find "$T/out/RECVAULT" -iname '*.P360' | head -1)
/usr/bin/python3 - "$src" "$T/out/RECVAULT" <<'PY'
import datetime, sys
head = open(sys.argv[1], "rb").read(16384)
start = datetime.datetime(2025, 1, 1)
for i in range(4000):
    name = (start + datetime.timedelta(minutes=i)).strftime("%Y%m%d%H%M") + "Simulated Fisheye.P360"
    open(sys.argv[2] + "/" + name, "wb").write(head)
PY
mkdir -p "$T/kept2"
sed -i "s|^Dir=.*|Dir=$T/kept2/|" "$T/out/home/orbiscfg.ini"
"$B/orbiscope" backup > "$OUT/backup-stop.log" 2>&1 &
P=$!
if BW=$(window_named "Backup of recordings"); then
  click_at "$BW" 60 289       # Select all
  total=$(find "$T/out/RECVAULT" -iname '*.P360' | wc -l)
  read -r bx by _ _ < <(geometry "$BW")
  xdotool mousemove $((bx + 425)) $((by + 399)) sleep 0.1 click 1   # Copy
  for _ in $(seq 1 3000); do
    S=$(xdotool search --onlyvisible --name '^Backup$' 2>/dev/null | head -1)
    [ -n "$S" ] && break
  done
  if [ -n "$S" ]; then
    read -r sx sy _ _ < <(geometry "$S")
    import -window "$S" "$OUT/command-Stop.png" 2>/dev/null
    xdotool mousemove $((sx + 100)) $((sy + 42)) click 1   # Stop
    say "stop dialog"
    gone "Backup" && say "stop dialog closed"
    import -window "$BW" "$OUT/backup-stopped.png" 2>/dev/null
    copied=$(find "$T/kept2" -iname '*.P360' | wc -l)
    say "stopped after $copied of $total"
  fi
  click_at "$BW" 525 399      # Close
  gone "Backup of recordings"
fi
kill $P 2>/dev/null
wait $P 2>/dev/null

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
