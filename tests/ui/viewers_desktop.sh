#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run): the floating tool bar's snapshot
# button writes a snapshot and opens the snapshot viewer; the stand-alone player opens the
# snapshot file; the host's photo viewer shows pictures made by ImageMagick, one of them
# chosen in the open-file dialog. Measurements go to OUT/viewers.log, pictures to OUT.
#   viewers_desktop.sh BINARY_DIR OUT
B=$1
OUT=$2
mkdir -p "$OUT"
LOG="$OUT/viewers.log"
: > "$LOG"
T="$OUT/viewers.work"
rm -rf "$T"
mkdir -p "$T/home" "$T/sys" "$T/pictures"
cp "$B/Halo360Web_003906.r" "$T/home/"
export ORBISCOPE_HOME="$T/home" ORBISCOPE_SYSTEM_DIR="$T/sys"
source "$(dirname "$0")/desktop_lib.sh"

# A picture of a window's middle (menu bar, list box and edges left out).
middle_shot() {
  read -r x y w h < <(geometry "$1")
  import -window root -crop "$((w - 40))x$((h - 120))+$((x + 20))+$((y + 60))" +repage "$OUT/$2.png" 2>/dev/null
}
spread() { convert "$OUT/$1.png" -colorspace Gray -format '%[fx:standard_deviation]' info: 2>/dev/null; }
# Difference of two pictures brought to one small size, 0 (same) .. 1.
likeness() {
  convert "$OUT/$1.png" -resize '64x48!' "$T/a.png" && convert "$OUT/$2.png" -resize '64x48!' "$T/b.png" &&
    compare -metric RMSE "$T/a.png" "$T/b.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/'
}
# Lets the desktop draw what it was asked to (two shots a moment apart the same).
settle() {
  for _ in $(seq 1 30); do
    middle_shot "$1" settle-a; sleep 0.3; middle_shot "$1" settle-b
    [ "$(compare -metric AE "$OUT/settle-a.png" "$OUT/settle-b.png" null: 2>&1)" = 0 ] && return 0
  done
}

# ---- The snapshot button of the floating tool bar ----
"$B/orbiscope-demo" "$T/out" --seconds 120 --fps 5 --cameras 1 > "$OUT/viewers-demo.log" 2>&1 &
DEMO=$!
trap 'kill $DEMO 2>/dev/null; wait $DEMO 2>/dev/null' EXIT
for _ in $(seq 1 900); do
  DW=$(xdotool search --onlyvisible --pid $DEMO 2>/dev/null | head -1)
  [ -n "$DW" ] && break
  sleep 0.1
done
[ -z "$DW" ] && { say "no demo window"; exit 0; }
read -r dx dy dw dh < <(geometry "$DW")
for _ in $(seq 1 300); do grep -q "Simulated" "$T/out/RECVAULT/"*.P360 2>/dev/null && break; sleep 0.1; done
sleep 1
TB=$(floating_tool_bar "$DW" "$DEMO") || { say "no tool bar"; exit 0; }
import -window root -crop "$((dw - 40))x$((dh - 120))+$((dx + 20))+$((dy + 60))" +repage "$OUT/viewers-live.png"
read -r tx ty tw th < <(geometry "$TB")
xdotool mousemove $((tx + 80)) $((ty + 16)) sleep 0.2 mousemove $((tx + 79)) $((ty + 15)) click 1
SW=$(window_named "Snapshot Viewer") || { say "no snapshot viewer"; exit 0; }
SNAP=$(find "$T" -iname '*.360' | head -1)
say "snapshot file ${SNAP:-none}"
xdotool mousemove 5 5
settle "$SW"
middle_shot "$SW" viewers-snapshot
import -window "$SW" "$OUT/snapshot-viewer.png" 2>/dev/null
say "snapshot spread $(spread viewers-snapshot)"
say "snapshot likeness $(likeness viewers-live viewers-snapshot)"
# Its menu bar: View > Alignment... opens the lens alignment on the snapshot; Escape.
menu_bar "$SW" "$DEMO" 58 menu-Snap Down Return
if AW=$(window_named "Lens alignment"); then
  say "snap menu alignment"
  escape_from "$AW" "Lens alignment" && say "snap alignment closed"
fi
kill $DEMO 2>/dev/null
wait $DEMO 2>/dev/null

# ---- The stand-alone player on the snapshot file ----
if [ -n "$SNAP" ]; then
  "$B/orbiscope-player" "$SNAP" > "$OUT/viewers-player.log" 2>&1 &
  P=$!
  if PW=$(window_named "Snapshot Viewer"); then
    settle "$PW"
    middle_shot "$PW" viewers-reopened
    say "reopened spread $(spread viewers-reopened)"
    say "reopened likeness $(likeness viewers-snapshot viewers-reopened)"
  fi
  kill $P 2>/dev/null
  wait $P 2>/dev/null
fi

# ---- The photo viewer: three pictures named, then one chosen in the dialog ----
for f in still.png still.gif still.tif chosen.pcx; do
  convert -size 640x480 xc:'#204080' -fill '#f0c020' -draw 'circle 320,240 320,20' -fill '#c02020' \
    -draw 'rectangle 300,40 340,440' -alpha off "$T/pictures/$f"
done
"$B/orbiscope" picture "$T/pictures/still.png" "$T/pictures/still.gif" "$T/pictures/still.tif" > "$OUT/viewers-photo.log" 2>&1 &
P=$!
if VW=$(window_named "Panoramic Photo Image Viewer"); then
  settle "$VW"
  import -window "$VW" "$OUT/photo-viewer.png" 2>/dev/null
  read -r x y w h < <(geometry "$VW")
  # The views sit side by side in a grid of two by two: measure each one's middle.
  for i in 0 1 2; do
    cx=$(( (i % 2) * w / 2 + w / 8 )); cy=$(( (i / 2) * (h - 24) / 2 + 24 + h / 8 ))
    import -window root -crop "$((w / 4))x$((h / 5))+$((x + cx))+$((y + cy))" +repage "$OUT/photo-$i.png"
    say "photo $i spread $(spread photo-$i)"
  done
  # Its menu bar: View > Alignment... opens the lens alignment on the picture; Escape.
  menu_bar "$VW" "$P" 58 menu-Picture Down Return
  if AW=$(window_named "Lens alignment"); then
    say "picture menu alignment"
    escape_from "$AW" "Lens alignment" && say "picture alignment closed"
  fi
fi
kill $P 2>/dev/null
wait $P 2>/dev/null
"$B/orbiscope" picture > "$OUT/viewers-chooser.log" 2>&1 &
P=$!
if CW=$(window_named "Open Picture File"); then
  say "chooser open"
  import -window "$CW" "$OUT/photo-chooser.png" 2>/dev/null
  # Without a window manager the keys go where the pointer is.
  read -r x y w h < <(geometry "$CW")
  xdotool mousemove $((x + w / 2)) $((y + h / 2))
  xdotool windowfocus "$CW" 2>/dev/null
  sleep 0.5
  type_path "$T/pictures/chosen.pcx"
  sleep 0.8
  xdotool key Return
  if VW=$(window_named "Panoramic Photo Image Viewer"); then
    settle "$VW"
    middle_shot "$VW" photo-chosen
    say "chosen spread $(spread photo-chosen)"
  fi
fi
kill $P 2>/dev/null
wait $P 2>/dev/null
exit 0
