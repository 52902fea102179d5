# Installs the Debian packages the build, the tests and the demo need; quiet and quick
# when they are all present. Sourced by run.sh and test.sh.
orb_packages=(cmake g++ make pkg-config libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev libgtk-3-dev zip unzip clang xvfb xauth
  xdotool x11-utils imagemagick)
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
