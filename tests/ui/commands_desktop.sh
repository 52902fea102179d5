#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run): the view's own commands open their
# dialogs. One demo view of four cameras; its menu bar (Settings, Motion, Camera) and its
# context menu open the colour balance, the lens alignment with the page of each lens, the
# cruise speed, the motion mask and the privacy zones; the camera chooser puts the other
# lenses into the view. Then the host's pack command opens the camera export dialog. Each
# opened dialog is pictured as command-NAME.png; what the script saw goes to
# OUT/commands.log, the camera file after the commands to OUT/commands-Config.ure.
#   commands_desktop.sh BINARY_DIR OUT
B=$1
OUT=$2
mkdir -p "$OUT"
LOG="$OUT/commands.log"
: > "$LOG"
T="$OUT/commands.work"
rm -rf "$T"
mkdir -p "$T"
source "$(dirname "$0")/desktop_lib.sh"

"$B/orbiscope-demo" "$T/out" --seconds 240 --fps 5 --cameras 4 --views 1 --motion > "$OUT/commands-demo.log" 2>&1 &
DEMO=$!
trap 'kill $DEMO 2>/dev/null; wait $DEMO 2>/dev/null' EXIT
CONFIG="$T/out/home/Config.ure"
DW=$(demo_window "$OUT/commands-demo.log") || { say "no demo window"; exit 0; }

popups() { windows_of "$DEMO"; }
# A title of the demo's menu bar (X: its middle), then KEYS walk its menu.
bar() {
  local x=$1
  shift
  menu_bar "$DW" "$DEMO" "$x" - "$@"
}
# Right-clicks the view and walks its context menu with KEYS.
context_menu() {
  local n
  n=$(popups)
  read -r wx wy _ _ < <(geometry "$DW")
  xdotool mousemove $((wx + 300)) $((wy + 250)) sleep 0.1 click 3
  for _ in $(seq 1 100); do [ "$(popups)" -gt "$n" ] && break; sleep 0.1; done
  xdotool key "$@"
}
# Waits for a dialog by its title; pictures it as command-NAME.png; prints its id.
dialog() {
  local d
  d=$(window_named "$1") || { say "no dialog $1"; return 1; }
  sleep 0.5   # the dialog draws its controls
  import -window "$d" "$OUT/command-$2.png" 2>/dev/null
  read -r _ _ w h < <(geometry "$d")
  say "opened $2 $w $h"
  echo "$d"
}
# Keys go where the pointer is: the pointer rests over the dialog.
point_at() {
  read -r x y w h < <(geometry "$1")
  xdotool mousemove $((x + w - 20)) $((y + h - 10))
  sleep 0.2
}
# The bytes of a camera slot's int32 field, as a number.
field() {  # SLOT OFFSET
  od -An -t d4 -j $(($1 * 3000 + $2)) -N 4 "$CONFIG" | tr -d ' '
}
# Waits until a camera slot's field holds a value.
await_field() {  # SLOT OFFSET VALUE
  for _ in $(seq 1 100); do [ "$(field "$1" "$2")" = "$3" ] && return 0; sleep 0.1; done
  return 1
}
# Chooses camera INDEX (0 first) into the view with Camera > Choose camera...
choose_camera() {
  bar 33 Down Return
  local d keys=()
  d=$(dialog "Choose a camera" "Source-$1") || return 1
  for _ in $(seq 1 "$1"); do keys+=(Down); done
  read -r x y w h < <(geometry "$d")
  xdotool mousemove $((x + w / 2)) $((y + h / 2))
  click_at "$d" 60 20
  xdotool key Home "${keys[@]}" Return
  gone "Choose a camera"
}
# Settings > Alignment... (938); the view may still wait for the chosen camera's first
# picture (the command then only beeps): asked again until the dialog shows.
alignment() {
  for _ in $(seq 1 30); do
    bar 228 Down Down Return
    for _ in $(seq 1 20); do
      xdotool search --onlyvisible --name '^Lens alignment$' >/dev/null 2>&1 && { dialog "Lens alignment" "$1"; return; }
      sleep 0.1
    done
  done
  say "no dialog $1"
  return 1
}

# ---- Settings > Colour balance... (935): the correction ticked, the first slider moved, OK ----
menu_bar "$DW" "$DEMO" 228 menu-ViewBox Down Return
if D=$(dialog "Colour balance" Balance); then
  click_at "$D" 20 211      # Colour correction on
  click_at "$D" 470 23      # Cyan - red, towards its right end
  import -window "$D" "$OUT/command-Balance.png" 2>/dev/null
  click_at "$D" 405 302     # OK
  gone "Colour balance" && say "balance closed"
fi

# ---- The context menu's Showing > Cruise... (2660): one step up, OK ----
context_menu Down Down Down Down Down Right Up Up Return
if D=$(dialog "Cruise speed" Cruise); then
  click_at "$D" 150 27      # the step control's + button
  sleep 0.3
  import -window "$D" "$OUT/command-Cruise.png" 2>/dev/null
  click_at "$D" 93 76       # OK
  gone "Cruise speed" && say "cruise closed"
fi

# ---- Motion > Motion mask... (2600): the sensitivity slider moved, OK ----
bar 162 Up Return
if D=$(dialog "Motion mask" Mask); then
  click_at "$D" 220 63      # the slider, towards its right end
  sleep 0.3
  import -window "$D" "$OUT/command-Mask.png" 2>/dev/null
  click_at "$D" 165 150     # OK
  gone "Motion mask" && say "mask closed"
fi

# ---- Settings > Privacy zones... (3020): Brighten and Eight times chosen, OK ----
bar 228 Up Return
if D=$(dialog "Privacy zones" MaskZone); then
  click_at "$D" 200 91      # Brighten
  click_at "$D" 200 157     # Eight times
  import -window "$D" "$OUT/command-MaskZone.png" 2>/dev/null
  click_at "$D" 205 236     # OK
  gone "Privacy zones" && say "zones closed"
fi

# ---- Settings > Alignment... (938) on the fisheye: the Blank dialog with its ray curve page ----
if D=$(alignment Blank); then
  cp "$OUT/command-Blank.png" "$OUT/command-hOrz3.png"
  point_at "$D"
  xdotool key ctrl+a
  xdotool type --delay 30 "331"
  sleep 0.3
  import -window "$D" "$OUT/command-hOrz3.png" 2>/dev/null
  xdotool key Return
  gone "Lens alignment" && say "alignment closed"
  await_field 0 1948 331 && say "fisheye centre 331"
fi

# ---- The mirror lens (camera 2): the plain page; Flip vertically ticked, Cancel ----
choose_camera 1
if D=$(alignment hOrz); then
  say "mirror lens $(field 1 1968)"
  read -r _ _ w _ < <(geometry "$D")
  click_at "$D" $((w - 250 + 8)) 225   # Flip vertically, on the page at the dialog's right
  point_at "$D"
  xdotool key Escape
  gone "Lens alignment" && say "mirror alignment cancelled"
fi

# ---- The half-sphere lens (camera 4): the page of 180 degrees ----
choose_camera 3
if D=$(alignment hOrz2); then
  say "half-sphere lens $(field 3 1968)"
  point_at "$D"
  xdotool key ctrl+a
  xdotool type --delay 30 "329"
  xdotool key Return
  gone "Lens alignment" && say "half-sphere alignment closed"
  await_field 3 1948 329 && say "half-sphere centre 329"
fi

# ---- A camera whose record says 90 degrees (camera 3 set so): the page of 90 degrees ----
printf '\x09\x00\x00\x00' | dd of="$CONFIG" bs=1 seek=$((2 * 3000 + 1968)) conv=notrunc 2>/dev/null
choose_camera 2
if D=$(alignment hOrz21); then
  say "quarter lens $(field 2 1968)"
  point_at "$D"
  xdotool key Escape
  gone "Lens alignment" && say "quarter alignment cancelled"
fi

# ---- Camera > Exit: every record saved ----
bar 33 Up Return
for _ in $(seq 1 200); do kill -0 $DEMO 2>/dev/null || break; sleep 0.1; done
kill -0 $DEMO 2>/dev/null || say "demo ended"
cp "$CONFIG" "$OUT/commands-Config.ure" 2>/dev/null

# ---- orbiscope pack FILE: the export dialog; the second and fourth cameras chosen, OK ----
rm -f "$OUT/commands-export.ure"
ORBISCOPE_HOME="$T/out/home" ORBISCOPE_SYSTEM_DIR="$T/out/home" "$B/orbiscope" pack "$OUT/commands-export.ure" \
  > "$OUT/commands-pack.log" 2>&1 &
PACK=$!
if D=$(dialog "Export cameras" ExportCamera); then
  click_at "$D" 100 66      # Simulated Mirror
  xdotool keydown ctrl
  click_at "$D" 100 112     # Simulated 180 degrees, added to the choice
  xdotool keyup ctrl
  import -window "$D" "$OUT/command-ExportCamera.png" 2>/dev/null
  click_at "$D" 165 330     # OK
  gone "Export cameras" && say "export closed"
fi
for _ in $(seq 1 100); do kill -0 $PACK 2>/dev/null || break; sleep 0.1; done
kill $PACK 2>/dev/null
wait $PACK && say "export written"
exit 0
