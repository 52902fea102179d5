#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run): the host's recordings dialog packs
# a chosen recording: Pack... asks where with the save chooser, a progress window shows, the
# result is told in a message box. The package then plays elsewhere on its own (headless).
# Results go to OUT/pack.log, pictures to OUT.
#   pack_desktop.sh BINARY_DIR OUT
B=$1
OUT=$2
mkdir -p "$OUT"
LOG="$OUT/pack.log"
: > "$LOG"
T="$OUT/pack.work"
rm -rf "$T"
mkdir -p "$T/packages" "$T/elsewhere"
source "$(dirname "$0")/desktop_lib.sh"
# The stand-alone player that goes into the package is found on the PATH.
export PATH="$B:$PATH"

ORBISCOPE_HEADLESS=1 "$B/orbiscope-demo" "$T/out" --seconds 4 --headless > "$OUT/pack-demo.log" 2>&1
export ORBISCOPE_HOME="$T/out/home" ORBISCOPE_SYSTEM_DIR="$T/out/home"

"$B/orbiscope" recordings > "$OUT/pack-host.log" 2>&1 &
P=$!
trap 'kill $P 2>/dev/null; wait $P 2>/dev/null' EXIT
DW=$(window_named "Recordings") || { say "no recordings dialog"; exit 0; }
say "recordings dialog"
click_at "$DW" 60 40          # the first recording
sleep 1
import -window root "$OUT/pack-recordings.png" 2>/dev/null
click_at "$DW" 360 332        # Pack...
SW=$(window_named "Save the package as") || { say "no save chooser"; exit 0; }
say "save chooser"
import -window "$SW" "$OUT/pack-chooser.png" 2>/dev/null
type_into "$SW" "$T/packages/clip"
xdotool key Return
# The progress window shows while the package is made; the message box tells the result.
for _ in $(seq 1 100); do
  xdotool search --onlyvisible --name "^Packing\$" >/dev/null 2>&1 && { say "progress window"; break; }
  xdotool search --onlyvisible --name "^OK\$" >/dev/null 2>&1 && break
  sleep 0.05
done
MW=$(window_named "OK") || { say "no message"; exit 0; }
import -window "$MW" "$OUT/pack-message.png" 2>/dev/null
say "message $(xdotool getwindowname "$MW")"
read -r mx my mw mh < <(geometry "$MW")
xdotool mousemove $((mx + mw / 2)) $((my + mh / 2))
xdotool windowfocus "$MW" 2>/dev/null
sleep 0.3
xdotool key Return
gone "OK" && say "message answered"
ls "$T/packages" >> "$LOG"

# Elsewhere, on its own: the package unpacks and its player plays the recording.
if [ -f "$T/packages/clip.exe" ]; then
  cp "$T/packages/clip.exe" "$T/elsewhere/"
  chmod +x "$T/elsewhere/clip.exe"
  (cd "$T/elsewhere" && env -u ORBISCOPE_HOME -u ORBISCOPE_SYSTEM_DIR PATH=/usr/bin:/bin ORBISCOPE_HEADLESS=1 \
     TMPDIR="$T/elsewhere" ./clip.exe --out "$T/elsewhere" > "$OUT/pack-played.txt" 2>&1)
  grep -o "played [0-9]* of [0-9]* frames" "$OUT/pack-played.txt" >> "$LOG"
fi
exit 0
