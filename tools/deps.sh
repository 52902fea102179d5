# Installs the Debian packages the build, the tests, the benchmarks (OpenCV only for the
# dewarp comparison) and the demo need; quiet and quick
# when they are all present. Sourced by run.sh and test.sh.
orb_packages=(cmake g++ make pkg-config libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev libopencv-dev libgtk-3-dev libcairo2-dev fonts-dejavu-core libfreeimage-dev zip unzip clang xvfb xauth
  desktop-file-utils shared-mime-info libglib2.0-bin help2man dpkg-dev file python3
  xdotool x11-utils imagemagick python3-gi gir1.2-gtk-3.0)
# ffmpeg: the camera interoperability tests read its multipart stream as a real server.
orb_packages+=(ffmpeg)
# Video cameras and their recordings: FFmpeg's libraries.
orb_packages+=(libavformat-dev libavcodec-dev libavutil-dev libswscale-dev)
# The fake camera's RTSP side: GStreamer's RTSP server, its H.264 (ugly), H.265 and parsers
# (bad), payloaders and JPEG (good) and the app source and sink (base).
orb_packages+=(libgstrtspserver-1.0-dev libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad)
# The desktop tests: a system tray and a window manager on the virtual screen, and the
# accessibility bus read from Debian's own Python.
orb_packages+=(trayer openbox dbus-x11 at-spi2-core python3-pyatspi)
# The demo's page opened by a browser in a test: Debian's Chromium, headless.
orb_packages+=(chromium)
orb_missing=()
for p in "${orb_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || orb_missing+=("$p")
done
if [ ${#orb_missing[@]} -gt 0 ]; then
  echo "Installing: ${orb_missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${orb_missing[@]}" >/dev/null
fi
