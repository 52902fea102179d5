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
1=Done
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
931=Source picture
935=Colour balance...
938=Alignment...
1000=The camera did not take the request.
1001=Connection lost. Reconnecting...
1002=Cannot reach the camera.
1003=The camera sends no usable pictures.
1008=Connecting to the camera...
1009=Orbiscope
1010=The camera refused the account or password.
1011=The camera answered with an error:
1012=A picture arrived cut short; it was not shown or recorded.
1013=A picture could not be decoded; it was not shown or recorded.
1311=Empty this view
1805=Show motion blocks
1901=Show location
2100=Take a snapshot
2301=The camera configuration file (Config.ure) cannot be opened.
2327=No camera is selected. Choose at least one camera.
2328=The camera closed the connection.
2329=The camera connection failed.
2050=%sRecording Package
2052=This package was made with %sVideo Surveillance. It unpacks into a temporary folder and plays the packed recording or snapshot with the %sPlayer.\nWeb: %s\nMail: %s
2054=The package was built.
2055=The package could not be built. Check that the zip program is installed and the folder can be written.
2056=Save the package as
2319=The web page was created. Open it now?
2320=The web page could not be created.
2555=Choose the network storage folder
2764=No recording drive is left. Check the network storage settings.
2616=The event library cannot be loaded.
2617=The event function is not found in the library.
111=Slow (200 ms)
912=Recording Player
1603=Recordings...
1606=Pause
1701=Play
2311=No recording was found. The player closes.
2400=The password is wrong.
2401=The new password and its confirmation differ.
2553=A recording file cannot be created on the storage drive.
2554=The header of a new recording file cannot be written.
2591=This recording is being recorded and cannot be deleted now.
2700=Play
2701=Pause
2702=Backward (faster each press)
2703=Previous frame
2704=Next frame
2705=Forward (faster each press)
2706=Recordings
2707=Snapshot
2708=Close the player
2709=Delay per frame
2750=No delay
2751=100 ms
2760=400 ms
2761=1 second
2600=Motion mask...
2601=Motion detection off
2602=Motion detection on
2653=Camera
2654=Display
2655=Three crops
2656=Source picture and three views
2657=Four views
2658=One view
2659=Four still views
2660=Cruise...
2661=One view above the panorama
2662=Two views above the panorama
2663=Reset the views
2664=Half-sphere panorama
2665=Panorama and three crops
2666=Four crops
2667=Source picture and three crops
2668=Two half-turn panoramas
2669=One crop
2670=Panorama band and two crops
2671=Four views and the panorama
2672=Six views and the panorama
2673=Six views
3020=Privacy zones...
3021=Lock the screen
3022=Unlock the screen
2306=Choose the backup folder
2325=Snapshot Viewer
2331=The backup disk is full. The backup stopped at this file; every recording is still in its place:
2332=The backup stopped: this recording could not be copied (it is still in its place):
2333=Recordings that are still being recorded were copied but kept in their place.

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

[Dialog Blank]
CAPTION "Lens alignment"
SIZE 900 480

[Dialog hOrz]
SIZE 250 480
CONTROL 1300 static "Centre X" 0 10 90 16
CONTROL 1301 edit "" 100 8 60 20
CONTROL 1302 static "Centre Y" 0 36 90 16
CONTROL 1303 edit "" 100 34 60 20
CONTROL 1304 static "Outer radius" 0 62 90 16
CONTROL 1305 edit "" 100 60 60 20
CONTROL 1306 static "Inner radius" 0 88 90 16
CONTROL 1307 edit "" 100 86 60 20
CONTROL 1308 static "Field of view" 0 114 90 16
CONTROL 1309 spin "" 100 112 20 20
CONTROL 1310 static "" 130 114 60 16
CONTROL 1311 static "Effective angle" 0 140 90 16
CONTROL 1312 spin "" 100 138 20 20
CONTROL 1313 static "" 130 140 60 16
CONTROL 1314 check "Flip horizontally" 0 166 160 18
CONTROL 1315 check "Flip vertically" 0 190 160 18
CONTROL 1 defbutton "OK" 0 440 80 24
CONTROL 2 button "Cancel" 90 440 80 24

[Dialog hOrz3]
SIZE 330 480
CONTROL 1300 static "Centre X" 0 10 90 16
CONTROL 1301 edit "" 100 8 60 20
CONTROL 1302 static "Centre Y" 0 36 90 16
CONTROL 1303 edit "" 100 34 60 20
CONTROL 1304 static "Outer radius" 0 62 90 16
CONTROL 1305 edit "" 100 60 60 20
CONTROL 1308 static "Field of view" 0 88 90 16
CONTROL 1309 spin "" 100 86 20 20
CONTROL 1310 static "" 130 88 60 16
CONTROL 1314 check "Flip horizontally" 170 8 150 18
CONTROL 1315 check "Flip vertically" 170 32 150 18
CONTROL 1320 check "Ray curve" 170 56 150 18
CONTROL 1321 edit "" 0 114 50 20
CONTROL 1322 edit "" 60 114 50 20
CONTROL 1323 edit "" 120 114 50 20
CONTROL 1324 edit "" 180 114 50 20
CONTROL 1330 picture "" 0 140 320 320 "Quill Ray Curve"
CONTROL 1 defbutton "OK" 240 114 40 22
CONTROL 2 button "Cancel" 284 114 44 22

[Dialog hOrz2]
SIZE 250 480
CONTROL 1300 static "Centre X" 0 10 90 16
CONTROL 1301 edit "" 100 8 60 20
CONTROL 1302 static "Centre Y" 0 36 90 16
CONTROL 1303 edit "" 100 34 60 20
CONTROL 1304 static "Radius" 0 62 90 16
CONTROL 1305 edit "" 100 60 60 20
CONTROL 1308 static "Field of view" 0 88 90 16
CONTROL 1309 spin "" 100 86 20 20
CONTROL 1310 static "" 130 88 60 16
CONTROL 1314 check "Flip horizontally" 0 114 160 18
CONTROL 1315 check "Flip vertically" 0 138 160 18
CONTROL 1316 check "Perspective views" 0 162 160 18
CONTROL 1 defbutton "OK" 0 440 80 24
CONTROL 2 button "Cancel" 90 440 80 24

[Dialog hOrz21]
SIZE 250 480
CONTROL 1300 static "Centre X" 0 10 90 16
CONTROL 1301 edit "" 100 8 60 20
CONTROL 1302 static "Centre Y" 0 36 90 16
CONTROL 1303 edit "" 100 34 60 20
CONTROL 1304 static "Radius" 0 62 90 16
CONTROL 1305 edit "" 100 60 60 20
CONTROL 1308 static "Field of view" 0 88 90 16
CONTROL 1309 spin "" 100 86 20 20
CONTROL 1310 static "" 130 88 60 16
CONTROL 1314 check "Flip horizontally" 0 114 160 18
CONTROL 1315 check "Flip vertically" 0 138 160 18
CONTROL 1316 check "Perspective views" 0 162 160 18
CONTROL 1 defbutton "OK" 0 440 80 24
CONTROL 2 button "Cancel" 90 440 80 24
[Dialog Backup]
CAPTION "Backup of recordings"
SIZE 560 400
CONTROL 1305 list "" 10 10 260 250
CONTROL 930 button "Select all" 10 266 100 24
CONTROL 1306 static "" 290 10 200 20
CONTROL 1307 button "Browse..." 496 8 56 24
CONTROL 1304 list "" 290 36 260 224
CONTROL 1310 list "" 0 0 0 0
CONTROL 1303 button "Delete" 450 266 100 24
CONTROL 1309 check "Move (delete the recordings after a good copy)" 10 300 330 20
CONTROL 1308 static "Copying:" 10 326 60 20
CONTROL 1302 static "" 70 326 270 20
CONTROL 1300 static "0" 350 326 40 20
CONTROL 1301 static "0" 400 326 150 20
CONTROL 1 defbutton "Copy" 360 364 90 24
CONTROL 2 button "Close" 460 364 90 24

[Dialog Stop]
CAPTION "Backup"
SIZE 200 80
CONTROL 2 button "Stop" 60 30 80 24
