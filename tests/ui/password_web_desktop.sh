#!/bin/bash
# Real input on a virtual X server (run inside xvfb-run), through the host: a root password
# is set in the "Root" dialog; deleting a recording then asks for it in the "Check" dialog
# (a wrong one is refused with a message, the right one lets the deletion go on); the web
# page dialog writes a page chosen with its save chooser. Results go to OUT/password-web.log.
#   password_web_desktop.sh BINARY_DIR OUT
B=$1
OUT=$2
mkdir -p "$OUT"
LOG="$OUT/password-web.log"
: > "$LOG"
T="$OUT/password-web.work"
rm -rf "$T"
mkdir -p "$T/web"
source "$(dirname "$0")/desktop_lib.sh"
# Waits for a window of the process that was not there before; prints its id.
new_window() {
  local pid=$1 before=$2
  for _ in $(seq 1 300); do
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      echo " $before " | grep -q " $w " || { echo "$w"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
recordings() { find "$T/out/RECVAULT" -iname '*.P360' | wc -l; }

ORBISCOPE_HEADLESS=1 "$B/orbiscope-demo" "$T/out" --seconds 4 --headless > "$OUT/password-demo.log" 2>&1
export ORBISCOPE_HOME="$T/out/home" ORBISCOPE_SYSTEM_DIR="$T/out/home"

# ---- The first root password, protection on ----
"$B/orbiscope" password > "$OUT/password-host.log" 2>&1 &
P=$!
if RW=$(window_named "Root password"); then
  say "root dialog"
  click_at "$RW" 245 57 && xdotool type --delay 30 "Secret"
  click_at "$RW" 245 91 && xdotool type --delay 30 "Secret"
  click_at "$RW" 20 127
  import -window "$RW" "$OUT/password-root.png" 2>/dev/null
  click_at "$RW" 185 170
  gone "Root password" && say "root dialog closed"
fi
wait $P
grep -q "Secret" "$T/out/home/User.dat" 2>/dev/null && say "password stored"
grep -q "^Protected=1" "$T/out/home/orbiscfg.ini" && say "protection on"

# ---- Deleting a recording asks for it ----
before=$(recordings)
"$B/orbiscope" recordings > "$OUT/password-recordings.log" 2>&1 &
P=$!
if DW=$(window_named "Recordings"); then
  click_at "$DW" 60 40
  sleep 1
  known=$(xdotool search --onlyvisible --pid $P 2>/dev/null | tr '\n' ' ')
  click_at "$DW" 255 332      # Delete
  if CW=$(window_named "Root password"); then
    say "check dialog"
    click_at "$CW" 195 25 && xdotool type --delay 30 "wrong"
    known="$known $CW"
    xdotool key Return
    if MW=$(new_window $P "$known"); then
      import -window "$MW" "$OUT/password-wrong.png" 2>/dev/null
      say "wrong password refused"
      read -r mx my mw mh < <(geometry "$MW")
      xdotool mousemove $((mx + mw / 2)) $((my + mh / 2)) sleep 0.3 key Return
      sleep 0.5
    fi
    [ "$(recordings)" = "$before" ] && say "nothing deleted yet"
    click_at "$CW" 195 25
    xdotool key ctrl+a && xdotool type --delay 30 "Secret"
    xdotool key Return
    gone "Root password" && say "check dialog closed"
    for _ in $(seq 1 50); do [ "$(recordings)" -lt "$before" ] && break; sleep 0.1; done
    [ "$(recordings)" = "$((before - 1))" ] && say "one recording deleted"
  fi
fi
kill $P 2>/dev/null
wait $P 2>/dev/null

# ---- The web page ----
"$B/orbiscope" web > "$OUT/web-host.log" 2>&1 &
P=$!
if WW=$(window_named "Web page"); then
  say "web dialog"
  click_at "$WW" 274 64       # Browse...
  if SW=$(window_named "Create HTML Web Page"); then
    say "web chooser"
    read -r sx sy sw sh < <(geometry "$SW")
    xdotool mousemove $((sx + sw / 2)) $((sy + sh / 2))
    sleep 0.5
    type_path "$T/web/lobby"
    sleep 0.8
    xdotool key Return
    gone "Create HTML Web Page"
  fi
  sleep 0.5
  import -window "$WW" "$OUT/web-dialog.png" 2>/dev/null
  click_at "$WW" 279 206      # Create
  for _ in $(seq 1 50); do [ -f "$T/web/lobby.html" ] && break; sleep 0.1; done
  click_at "$WW" 395 324      # Close
  gone "Web page" && say "web dialog closed"
fi
kill $P 2>/dev/null
wait $P 2>/dev/null
[ -f "$T/web/lobby.html" ] && say "page written"
ls "$T/web" | grep -qi '\.cctv$' && say "camera file written"

# ---- Recording settings and their network storage ----
mkdir -p "$T/nas"
"$B/orbiscope" recording-settings > "$OUT/settings-host.log" 2>&1 &
P=$!
if GW=$(window_named "Recording settings"); then
  say "settings dialog"
  click_at "$GW" 292 62       # Network storage...
  if AW=$(window_named "Network storage"); then
    say "network storage dialog"
    click_at "$AW" 40 63      # record to a network storage folder
    known=$(xdotool search --onlyvisible --pid $P 2>/dev/null | tr '\n' ' ')
    click_at "$AW" 396 94     # Browse...
    if FW=$(new_window $P "$known"); then
      read -r fx fy fw fh < <(geometry "$FW")
      xdotool mousemove $((fx + fw / 2)) $((fy + fh / 2))
      sleep 0.5
      type_path "$T/nas/"
      sleep 0.8
      # A Return may only open the typed folder: another one chooses it. Each is given two
      # seconds to close the chooser before the next.
      for _ in 1 2 3; do
        xdotool key Return
        for _ in $(seq 1 20); do
          xdotool search --onlyvisible --pid $P 2>/dev/null | grep -q "^$FW\$" || break 2
          sleep 0.1
        done
      done
    fi
    sleep 0.5
    import -window "$AW" "$OUT/settings-nas.png" 2>/dev/null
    click_at "$AW" 295 240    # OK
    gone "Network storage" && say "network storage dialog closed"
  fi
  import -window "$GW" "$OUT/settings-dialog.png" 2>/dev/null
  click_at "$GW" 215 234      # OK
  gone "Recording settings" && say "settings dialog closed"
fi
wait $P
grep -q "^NAS=1" "$T/out/home/orbiscfg.ini" && say "network storage on"
grep -q "^NASDir=$T/nas" "$T/out/home/orbiscfg.ini" && say "network storage folder kept"
exit 0
