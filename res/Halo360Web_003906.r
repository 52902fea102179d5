# Orbiscope text resources (English).
#
# [Texts] holds numbered texts: NUMBER=text, with \n and \t escapes.
#
# [Menu NAME] describes a menu, one entry a line:
#   ITEM <command> [text]    a command; without a text the numbered text of the command
#   SEPARATOR
#   POPUP <text>             a submenu, up to its END
#   END
# A text written "#N" is numbered text N; texts with spaces are written in double quotes.
#
# [Dialog NAME] describes a dialog template:
#   CAPTION <text>
#   SIZE <width> <height>
#   CONTROL <id> <kind> <text> <x> <y> <width> <height> [window class]
# Kinds: static, button, defbutton, edit, check, radio, list, combo, spin, group, picture
# (a picture control is a window of the named class). Buttons 1 and 2 are OK and Cancel.
[Texts]
900=Pause
901=Pause all cameras
903=Choose camera...
905=Resume
907=Exit
908=Resume all cameras
910=Play recordings...
913=Minimise
914=Run in the background
915=Show the window
916=Full screen
917=Leave full screen
918=Restart the view
920=Snapshot
931=Panorama and views
935=Colour balance...
938=Alignment...
1000=Connecting...
1001=Connection lost. Reconnecting...
1002=Cannot reach the camera.
1003=Waiting for pictures...
1009=Orbiscope
1311=Empty this view
1805=Show motion blocks
1901=Show location
2100=Take a snapshot
2301=The camera configuration file (Config.ure) cannot be opened.
2327=No camera is selected. Choose at least one camera.
2600=Motion mask...
2601=Motion detection off
2602=Motion detection on
2653=Camera
2654=Display
2660=Cruise...
3020=Privacy zones...
3021=Lock the screen
3022=Unlock the screen

[Menu ViewBox]
POPUP #2653
  ITEM 903
  ITEM 918
  SEPARATOR
  ITEM 900
  ITEM 905
  SEPARATOR
  ITEM 910
  ITEM 920
  SEPARATOR
  ITEM 907
END
POPUP #2654
  ITEM 1901
  ITEM 1805
END
POPUP "Motion"
  ITEM 2602
  ITEM 2601
  ITEM 2600
END

[Dialog Source]
CAPTION "Choose a camera"
SIZE 300 240
CONTROL 1000 list "" 10 10 280 180
CONTROL 1 defbutton "OK" 120 200 80 24
CONTROL 2 button "Cancel" 210 200 80 24

[Dialog Cruise]
CAPTION "Cruise speed"
SIZE 220 100
CONTROL 1219 static "Speed:" 10 20 60 16
CONTROL 1221 static "0" 80 20 40 16
CONTROL 1220 spin "" 130 18 20 20
CONTROL 1 defbutton "OK" 30 64 80 24
CONTROL 2 button "Cancel" 120 64 80 24
