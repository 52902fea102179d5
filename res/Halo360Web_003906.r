# Orbiscope text resources (English).
# [Texts] holds numbered texts: NUMBER=text, with \n and \t escapes.
[Texts]
1000=Connecting...
1001=Connection lost. Reconnecting...
1002=Cannot reach the camera.
1003=Waiting for pictures...
1009=Orbiscope
2301=The camera configuration file (Config.ure) cannot be opened.
2327=No camera is selected. Choose at least one camera.
2616=The event library cannot be loaded.
2617=The event function is not found in the library.
