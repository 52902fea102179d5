#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run): video recordings (a camera's H.264
# packets as received) in the host's player and recordings dialog. The player shows one
# dewarped, steps it back and on with its buttons and takes a snapshot, which the photo
# viewer opens; the recordings dialog lists the recordings, packs one (the package plays it
# elsewhere on its own) and deletes it. Results go to OUT/video.log, pictures to OUT.
#   video_desktop.sh BINARY_DIR OUT HOME
# HOME holds the text resource file and the settings naming the storage root that holds the
# recordings.
B=$1
OUT=$2
H=$3
mkdir -p "$OUT"
LOG="$OUT/video.log"
: > "$LOG"
T="$OUT/video.work"
rm -rf "$T"
mkdir -p "$T/packages" "$T/elsewhere" "$H/sys"
cp "$H/orbiscfg.ini" "$H/sys/"
export ORBISCOPE_HOME="$H" ORBISCOPE_SYSTEM_DIR="$H/sys" PATH="$B:$PATH"
source "$(dirname "$0")/desktop_lib.sh"
cp -r "$H" "$T/home"  # kept for trying again by hand
recordings() { find "$H" -path "$H/sys" -prune -o -iname '*.mkv' -print | sort; }
say "recordings $(recordings | wc -l)"

view_shot() {
  read -r px py pw ph < <(geometry "$PW")
  import -window root -crop "$((pw - 40))x$((ph - 160))+$((px + 20))+$((py + 60))" +repage "$OUT/$1.png" 2>/dev/null
}
differ() { compare -metric RMSE "$OUT/$1.png" "$OUT/$2.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/'; }
settle() {
  for _ in $(seq 1 40); do
    view_shot settle-a
    sleep 0.3
    view_shot settle-b
    awk -v d="$(differ settle-a settle-b)" 'BEGIN { exit !(d < 0.002) }' && return 0
  done
  return 1
}
press() {  # a button of the player's bottom bar, by its x
  read -r px py pw ph < <(geometry "$PW")
  xdotool mousemove $((px + $1)) $((py + ph - 15)) sleep 0.2 mousemove $((px + $1 + 1)) $((py + ph - 15)) click 1
}

# ---- The player on the newest recording ----
FILE=$(recordings | tail -1)
"$B/orbiscope" player "$FILE" > "$OUT/video-player.log" 2>&1 &
P=$!
trap 'kill $P 2>/dev/null; wait $P 2>/dev/null' EXIT
PW=$(window_named "Recording Player") || { say "no player window"; exit 0; }
say "player window"
xdotool mousemove 5 5
settle || say "the picture never settled"
import -window root "$OUT/video-player.png" 2>/dev/null
view_shot played
say "spread $(convert "$OUT/played.png" -colorspace Gray -format '%[fx:standard_deviation]' info:)"
# The play ran to the last frame. Paused, a click on the position bar and one frame on: an
# earlier frame; four more single steps on, five back (each from the key frame before it),
# then backward play for a moment.
press 17
sleep 0.5
press 600
press 101
settle
view_shot start
say "moved $(differ played start)"
for _ in 1 2 3 4; do press 101; sleep 0.3; done
settle
view_shot on
say "stepped on $(differ start on)"
for _ in 1 2 3 4 5; do press 67; sleep 0.3; done
settle
view_shot back
import -window root "$OUT/video-player-back.png" 2>/dev/null
say "stepped back $(differ on back)"
press 43
sleep 1.2
press 17
settle
view_shot backward
say "played backward $(differ back backward)"
# A snapshot of the picture shown: the snapshot viewer opens it.
press 195
if SW=$(window_named "Snapshot Viewer"); then
  say "snapshot viewer"
  sleep 1
  import -window "$SW" "$OUT/video-snapshot.png" 2>/dev/null
  xdotool windowclose "$SW" 2>/dev/null || xdotool key --window "$SW" Escape
fi
SNAP=$(find "$H" -iname '*.360' | head -1)
if [ -n "$SNAP" ]; then
  say "snapshot $(file -b "$SNAP" | cut -d, -f1)"
  tail -c 2993 "$SNAP" | head -c 9 | grep -q Orbiscope && say "snapshot carries the camera"
fi
press 230
gone "Recording Player" && say "player closed"
wait $P 2>/dev/null
# The photo viewer shows the snapshot dewarped.
if [ -n "$SNAP" ]; then
  "$B/orbiscope" picture "$SNAP" > "$OUT/video-photo.log" 2>&1 &
  V=$!
  if VW=$(window_named "Panoramic Photo Image Viewer"); then
    say "photo viewer"
    sleep 1.5
    import -window "$VW" "$OUT/video-photo.png" 2>/dev/null
    xdotool windowclose "$VW" 2>/dev/null
  fi
  sleep 0.5
  kill $V 2>/dev/null
  wait $V 2>/dev/null
fi

# ---- The recordings dialog: listed, packed, deleted ----
"$B/orbiscope" recordings > "$OUT/video-host.log" 2>&1 &
P=$!
DW=$(window_named "Recordings") || { say "no recordings dialog"; exit 0; }
say "recordings dialog"
sleep 1
import -window root "$OUT/video-recordings.png" 2>/dev/null
click_at "$DW" 60 40          # the first (newest) recording
sleep 1
click_at "$DW" 360 332        # Pack...
if SW=$(window_named "Save the package as"); then
  say "save chooser"
  type_into "$SW" "$T/packages/clip"
  xdotool key Return
  if MW=$(window_named "OK"); then
    say "message $(xdotool getwindowname "$MW")"
    read -r mx my mw mh < <(geometry "$MW")
    xdotool mousemove $((mx + mw / 2)) $((my + mh / 2))
    xdotool windowfocus "$MW" 2>/dev/null
    sleep 0.3
    xdotool key Return
    gone "OK" && say "message answered"
  fi
fi
click_at "$DW" 60 40
sleep 0.5
click_at "$DW" 255 332        # Delete
for _ in $(seq 1 50); do [ "$(recordings | wc -l)" -lt 2 ] && break; sleep 0.1; done
import -window root "$OUT/video-deleted.png" 2>/dev/null
say "left $(recordings | wc -l)"
click_at "$DW" 365 376        # Close
kill $P 2>/dev/null
wait $P 2>/dev/null

# Elsewhere, on its own: the package unpacks and its player plays the recording.
if [ -f "$T/packages/clip.exe" ]; then
  cp "$T/packages/clip.exe" "$T/elsewhere/"
  chmod +x "$T/elsewhere/clip.exe"
  (cd "$T/elsewhere" && env -u ORBISCOPE_HOME -u ORBISCOPE_SYSTEM_DIR PATH=/usr/bin:/bin ORBISCOPE_HEADLESS=1 \
     TMPDIR="$T/elsewhere" ./clip.exe --out "$T/elsewhere" > "$OUT/video-played.txt" 2>&1)
  grep -o "played [0-9]* of [0-9]* frames" "$OUT/video-played.txt" >> "$LOG"
  cp "$T/elsewhere"/*-last.jpg "$OUT/video-package-last.jpg" 2>/dev/null
fi
exit 0
