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
