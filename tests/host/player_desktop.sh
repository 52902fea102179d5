#!/bin/bash
# Run inside xvfb-run: the host's player on one recording, as a person opens it. It plays to
# the end by itself; the settled picture is kept and measured. Results go to OUT/NAME.log.
#   player_desktop.sh BINARY_DIR OUT NAME FILE
B=$1
OUT=$2
NAME=$3
FILE=$4
mkdir -p "$OUT"
LOG="$OUT/$NAME.log"
: > "$LOG"
T="$OUT/$NAME.work"
rm -rf "$T"
mkdir -p "$T"
source "$(dirname "$0")/../ui/desktop_lib.sh"
"$B/orbiscope" player "$FILE" > "$OUT/$NAME-player.log" 2>&1 &
P=$!
trap 'kill $P 2>/dev/null; wait $P 2>/dev/null' EXIT
PW=$(window_named "Recording Player") || { say "no player window"; exit 0; }
say "player window"
xdotool mousemove 5 5
shot() {
  read -r px py pw ph < <(geometry "$PW")
  import -window root -crop "$((pw - 40))x$((ph - 160))+$((px + 20))+$((py + 60))" +repage "$OUT/$NAME-$1.png" 2>/dev/null
}
settled=""
for _ in $(seq 1 40); do
  shot a
  sleep 0.3
  shot b
  d=$(compare -metric RMSE "$OUT/$NAME-a.png" "$OUT/$NAME-b.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/')
  awk -v d="$d" 'BEGIN { exit !(d < 0.002) }' && { settled=1; break; }
done
[ -n "$settled" ] && say "settled"
import -window root "$OUT/$NAME.png" 2>/dev/null
say "spread $(convert "$OUT/$NAME-b.png" -colorspace Gray -format '%[fx:standard_deviation]' info:)"
/usr/bin/python3 "$(dirname "$0")/../ui/close_window.py" "$PW"
gone "Recording Player" && say "player closed"
exit 0
