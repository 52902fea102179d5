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
# [Accelerators NAME] gives keys to the commands of the menu of the same name, one a line:
#   KEY <keys> <command>     keys written like Ctrl+B, Ctrl+Shift+Z, F11
# The menu shows each item's key.
#
# [Dialog NAME] describes a dialog template:
#   CAPTION <text>
#   SIZE <width> <height>
#   CONTROL <id> <kind> <text> <x> <y> <width> <height> [window class]
# Kinds: static, button, defbutton, edit, password, check, radio, list, multilist, combo,
# spin, group, slider, progress, picture (a picture control is a window of the named class).
# Radio buttons that follow each other form one group. Buttons 1 and 2 are OK and Cancel.
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
1014=The camera has no stream at this path:
1015=The camera does not answer.
1016=The camera's stream holds no video.
1017=This program cannot decode the camera's video:
1018=The camera stopped sending pictures. Reconnecting...
1019=A picture arrived damaged; it was not shown.
1020=The camera's picture size changed from
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
2652=Showing
2680=Flat crops
2681=Perspective views
3199=Camera control
3200=Pan left
3201=Pan right
3202=Tilt up
3203=Tilt down
3204=Home position
3210=Speed 1
3211=Speed 2
3212=Speed 3
3213=Speed 4
3214=Speed 5
3215=Speed 6
3216=Speed 7
3217=Speed 8
3218=Speed 9
3231=Preset 1
3232=Preset 2
3233=Preset 3
3234=Preset 4
3235=Preset 5
3236=Preset 6
3237=Preset 7
3238=Preset 8
3241=Go to point 1
3242=Go to point 2
3243=Go to point 3
3244=Go to point 4
3245=Go to point 5
3246=Go to point 6
3247=Go to point 7
3248=Go to point 8
3270=Zoom in
3271=Zoom out
3272=Focus far
3273=Focus near
3274=Iris open
3275=Iris close
3276=Start panning
3277=Stop panning
3278=Start patrol
3279=Stop patrol
3280=Stop all movement
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
POPUP "Settings"
  ITEM 935
  ITEM 938
  ITEM 3020
END

[Accelerators ViewBox]
KEY Ctrl+B 935
KEY Ctrl+L 938
KEY Ctrl+Z 3020
KEY Ctrl+M 2600
KEY Ctrl+S 920
KEY Ctrl+P 900
KEY F11 916

[Dialog Source]
CAPTION "Choose a camera"
SIZE 300 240
CONTROL 1000 list "" 10 10 280 180
CONTROL 1 defbutton "OK" 120 200 80 24
CONTROL 2 button "Cancel" 210 200 80 24

[Dialog Cruise]
CAPTION "Cruise speed"
SIZE 240 100
CONTROL 1219 static "Speed:" 10 18 60 18
CONTROL 1220 spin "" 70 14 100 26
CONTROL 1221 static "0" 180 18 50 18
CONTROL 1 defbutton "OK" 50 62 86 28
CONTROL 2 button "Cancel" 144 62 86 28

[Dialog Blank]
CAPTION "Lens alignment"
SIZE 900 480

[Dialog hOrz]
SIZE 250 480
CONTROL 1300 static "Centre X" 0 10 106 16
CONTROL 1301 edit "" 110 8 60 20
CONTROL 1302 static "Centre Y" 0 36 106 16
CONTROL 1303 edit "" 110 34 60 20
CONTROL 1304 static "Outer radius" 0 62 106 16
CONTROL 1305 edit "" 110 60 60 20
CONTROL 1306 static "Inner radius" 0 88 106 16
CONTROL 1307 edit "" 110 86 60 20
CONTROL 1308 static "Field of view" 0 118 106 16
CONTROL 1309 spin "" 110 112 90 24
CONTROL 1310 static "" 206 118 44 16
CONTROL 1311 static "Effective angle" 0 156 106 16
CONTROL 1312 spin "" 110 150 90 24
CONTROL 1313 static "" 206 156 44 16
CONTROL 1314 check "Flip horizontally" 0 192 160 18
CONTROL 1315 check "Flip vertically" 0 216 160 18
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
CONTROL 1309 spin "" 100 84 90 24
CONTROL 1310 static "" 196 88 50 16
CONTROL 1314 check "Flip horizontally" 170 8 150 18
CONTROL 1315 check "Flip vertically" 170 32 150 18
CONTROL 1320 check "Ray curve" 170 56 150 18
CONTROL 1321 edit "" 0 122 50 20
CONTROL 1322 edit "" 60 122 50 20
CONTROL 1323 edit "" 120 122 50 20
CONTROL 1324 edit "" 180 122 50 20
CONTROL 1330 picture "" 0 148 320 320 "Quill Ray Curve"
CONTROL 1 defbutton "OK" 240 122 40 22
CONTROL 2 button "Cancel" 284 122 44 22

[Dialog hOrz2]
SIZE 250 480
CONTROL 1300 static "Centre X" 0 10 90 16
CONTROL 1301 edit "" 100 8 60 20
CONTROL 1302 static "Centre Y" 0 36 90 16
CONTROL 1303 edit "" 100 34 60 20
CONTROL 1304 static "Radius" 0 62 90 16
CONTROL 1305 edit "" 100 60 60 20
CONTROL 1308 static "Field of view" 0 88 90 16
CONTROL 1309 spin "" 100 84 90 24
CONTROL 1310 static "" 196 88 50 16
CONTROL 1314 check "Flip horizontally" 0 124 160 18
CONTROL 1315 check "Flip vertically" 0 148 160 18
CONTROL 1316 check "Perspective views" 0 172 160 18
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
CONTROL 1309 spin "" 100 84 90 24
CONTROL 1310 static "" 196 88 50 16
CONTROL 1314 check "Flip horizontally" 0 124 160 18
CONTROL 1315 check "Flip vertically" 0 148 160 18
CONTROL 1316 check "Perspective views" 0 172 160 18
CONTROL 1 defbutton "OK" 0 440 80 24
CONTROL 2 button "Cancel" 90 440 80 24
[Dialog Backup]
CAPTION "Backup of recordings"
SIZE 580 420
CONTROL 1311 static "Recordings on the storage drives:" 10 8 260 18
CONTROL 1305 multilist "" 10 28 260 240
CONTROL 930 button "Select all" 10 276 100 26
CONTROL 1312 static "Backup folder:" 290 8 100 18
CONTROL 1306 static "" 290 28 200 18
CONTROL 1307 button "Browse..." 496 24 74 26
CONTROL 1304 multilist "" 290 56 280 212
CONTROL 1310 list "" 0 0 0 0
CONTROL 1303 button "Delete" 470 276 100 26
CONTROL 1309 check "Move (delete the recordings after a good copy)" 10 314 360 22
CONTROL 1308 static "Copying:" 10 344 60 18
CONTROL 1302 static "" 74 344 300 18
CONTROL 1300 progress "" 10 366 360 16
CONTROL 1301 static "0" 380 364 190 18
CONTROL 1 defbutton "Copy" 380 386 90 26
CONTROL 2 button "Close" 480 386 90 26

[Dialog Stop]
CAPTION "Backup"
SIZE 200 80
CONTROL 2 button "Stop" 60 30 80 24

[Dialog Playback]
CAPTION "Backup recordings"
SIZE 360 380
CONTROL 1312 static "Backup folder:" 10 10 100 18
CONTROL 1306 static "" 10 30 260 18
CONTROL 1307 button "Browse..." 276 24 74 26
CONTROL 1304 multilist "" 10 56 340 240
CONTROL 1310 list "" 0 0 0 0
CONTROL 1303 button "Delete" 10 304 100 26
CONTROL 1 defbutton "Copy" 150 344 90 26
CONTROL 2 button "Close" 250 344 100 26

[Dialog Root]
CAPTION "Root password"
SIZE 380 196
CONTROL 3403 static "Old password:" 10 14 184 18
CONTROL 3400 password "" 200 10 170 26
CONTROL 3404 static "New password:" 10 48 184 18
CONTROL 3401 password "" 200 44 170 26
CONTROL 3405 static "Confirm the new password:" 10 82 184 18
CONTROL 3402 password "" 200 78 170 26
CONTROL 363 check "Ask for the password before protected actions" 10 116 360 22
CONTROL 1 defbutton "OK" 180 156 90 28
CONTROL 2 button "Cancel" 280 156 90 28

[Dialog Check]
CAPTION "Root password"
SIZE 300 110
CONTROL 3403 static "Password:" 10 16 90 18
CONTROL 3400 password "" 100 12 190 26
CONTROL 1 defbutton "OK" 100 70 90 28
CONTROL 2 button "Cancel" 200 70 90 28

[Dialog Advance]
CAPTION "Network storage"
SIZE 460 268
CONTROL 1858 group "Network storage" 10 6 440 204
CONTROL 1850 radio "Do not use network storage" 22 28 260 22
CONTROL 1851 radio "Record to a network storage folder" 22 52 300 22
CONTROL 1859 static "Folder:" 22 86 70 18
CONTROL 1855 static "" 96 86 250 18
CONTROL 1852 button "Browse..." 352 80 88 28
CONTROL 1860 static "Log-in command:" 22 122 120 18
CONTROL 1853 edit "" 146 118 200 26
CONTROL 1856 button "Run" 352 116 88 28
CONTROL 1857 check "Run the command when recording starts" 22 160 300 22
CONTROL 1 defbutton "OK" 250 226 90 28
CONTROL 2 button "Cancel" 350 226 90 28

[Dialog DVR]
CAPTION "Recording settings"
SIZE 380 262
CONTROL 1800 group "Recording" 10 6 360 80
CONTROL 1801 radio "Do not record" 22 28 200 22
CONTROL 1803 radio "Record every camera" 22 52 200 22
CONTROL 1804 button "Network storage..." 224 48 136 28
CONTROL 1805 check "Show motion blocks" 22 100 300 22
CONTROL 1806 check "Do not record on the system disk" 22 126 300 22
CONTROL 363 check "Ask for the root password before protected actions" 22 152 340 22
CONTROL 1 defbutton "OK" 170 220 90 28
CONTROL 2 button "Cancel" 270 220 90 28

[Dialog DVRFile]
CAPTION "Recordings"
SIZE 420 400
CONTROL 101 static "Recordings on the storage drives:" 10 8 300 18
CONTROL 100 multilist "" 10 28 400 280
CONTROL 102 button "Play" 10 318 90 28
CONTROL 930 button "Select all" 110 318 90 28
CONTROL 2063 button "Delete" 210 318 90 28
CONTROL 2026 button "Pack..." 310 318 100 28
CONTROL 2 button "Close" 320 362 90 28

[Dialog Mask]
CAPTION "Motion mask"
SIZE 320 176
CONTROL 113 static "Left drag excludes blocks from detection, right drag includes them." 10 8 300 36
CONTROL 114 static "Sensitivity:" 10 54 90 18
CONTROL 110 slider "" 100 48 160 30
CONTROL 112 static "15" 266 54 44 18
CONTROL 111 button "Reset" 100 88 90 28
CONTROL 1 defbutton "OK" 120 136 90 28
CONTROL 2 button "Cancel" 220 136 90 28

[Dialog MaskZone]
CAPTION "Privacy zones"
SIZE 360 264
CONTROL 309 static "Left drag marks cells, right drag clears them." 10 8 340 18
CONTROL 310 group "Zones" 10 32 160 84
CONTROL 307 radio "On" 22 54 120 22
CONTROL 308 radio "Off" 22 80 120 22
CONTROL 311 group "Effect" 180 32 170 84
CONTROL 305 radio "Darken" 192 54 140 22
CONTROL 306 radio "Brighten" 192 80 140 22
CONTROL 312 group "Strength" 10 124 340 84
CONTROL 301 radio "Twice" 22 146 140 22
CONTROL 302 radio "Four times" 22 172 140 22
CONTROL 303 radio "Eight times" 192 146 140 22
CONTROL 304 radio "Full black or white" 192 172 150 22
CONTROL 1 defbutton "OK" 160 222 90 28
CONTROL 2 button "Cancel" 260 222 90 28

[Dialog Balance]
CAPTION "Colour balance"
SIZE 560 330
CONTROL 362 picture "" 10 10 240 180 "Orbiscope Balance Preview"
CONTROL 1315 check "Colour correction on" 10 200 240 22
CONTROL 360 static "Cyan - red" 262 14 112 18
CONTROL 350 slider "" 376 8 128 30
CONTROL 351 static "0" 510 14 40 18
CONTROL 361 static "Magenta - green" 262 50 112 18
CONTROL 352 slider "" 376 44 128 30
CONTROL 353 static "0" 510 50 40 18
CONTROL 364 static "Yellow - blue" 262 86 112 18
CONTROL 354 slider "" 376 80 128 30
CONTROL 355 static "0" 510 86 40 18
CONTROL 365 static "Brightness" 262 122 112 18
CONTROL 356 slider "" 376 116 128 30
CONTROL 357 static "0" 510 122 40 18
CONTROL 366 static "Contrast" 262 158 112 18
CONTROL 358 slider "" 376 152 128 30
CONTROL 359 static "0" 510 158 40 18
CONTROL 1 defbutton "OK" 360 288 90 28
CONTROL 2 button "Cancel" 460 288 90 28

[Dialog Event]
CAPTION "Motion event"
SIZE 380 226
CONTROL 1810 static "Camera:" 10 12 110 18
CONTROL 1811 static "" 124 12 246 18
CONTROL 1812 check "Call a user function when motion is seen" 10 40 360 22
CONTROL 1813 static "Library:" 10 78 110 18
CONTROL 1814 edit "" 124 74 246 26
CONTROL 1815 static "Function:" 10 114 110 18
CONTROL 1816 edit "" 124 110 246 26
CONTROL 1 defbutton "OK" 180 184 90 28
CONTROL 2 button "Cancel" 280 184 90 28

[Dialog Web]
CAPTION "Web page"
SIZE 460 352
CONTROL 710 static "Camera:" 10 8 200 18
CONTROL 1000 list "" 10 28 200 270
CONTROL 711 static "Page:" 224 8 60 18
CONTROL 716 static "HTML File" 224 28 226 18
CONTROL 717 button "Browse..." 224 50 100 28
CONTROL 712 static "Width:" 224 100 60 18
CONTROL 1220 slider "" 284 94 120 30
CONTROL 1221 static "640" 410 100 44 18
CONTROL 713 static "Height:" 224 140 60 18
CONTROL 1222 slider "" 284 134 120 30
CONTROL 1223 static "480" 410 140 44 18
CONTROL 718 button "Create" 224 192 110 28
CONTROL 107 button "Create and open" 340 192 110 28
CONTROL 104 button "Close" 340 310 110 28

[Dialog ExportCamera]
CAPTION "Export cameras"
SIZE 320 360
CONTROL 1001 static "Cameras to export:" 10 8 300 18
CONTROL 1000 multilist "" 10 28 300 270
CONTROL 1 defbutton "OK" 120 316 90 28
CONTROL 2 button "Cancel" 220 316 90 28

[Menu Snap]
POPUP "File"
  ITEM 1603 "Open snapshot..."
  ITEM 936 "Open the chosen snapshot"
  ITEM 2057 "Pack the snapshot..."
  ITEM 2064 "Save the lens settings"
  SEPARATOR
  ITEM 907 "Close"
END
POPUP "View"
  ITEM 909 "Alignment..."
  ITEM 2020 "Zoom in"
  ITEM 2021 "Zoom out"
END

[Menu Picture]
POPUP "File"
  ITEM 2064 "Save the lens settings"
  SEPARATOR
  ITEM 907 "Close"
END
POPUP "View"
  ITEM 909 "Alignment..."
  ITEM 2020 "Zoom in"
  ITEM 2021 "Zoom out"
END

[Menu DVR]
POPUP "File"
  ITEM 1603 "Recordings..."
  ITEM 2026 "Pack the recording..."
  ITEM 920 "Snapshot"
  SEPARATOR
  ITEM 907 "Close the player"
END
POPUP "Play"
  ITEM 1701 "Play"
  ITEM 1606 "Pause"
  SEPARATOR
  ITEM 1601 "Next frame"
  ITEM 1602 "Previous frame"
  ITEM 1604 "Forward (faster each press)"
  ITEM 1605 "Backward (faster each press)"
  SEPARATOR
  POPUP "Delay per frame"
    ITEM 2750 "No delay"
    ITEM 2751 "100 ms"
    ITEM 111 "Slow (200 ms)"
    ITEM 2760 "400 ms"
    ITEM 2761 "1 second"
  END
END
POPUP "View"
  ITEM 1080 "Invert the mouse"
  ITEM 1900 "Show the time"
  ITEM 1901 "Show location"
  SEPARATOR
  ITEM 2020 "Zoom in"
  ITEM 2021 "Zoom out"
END
