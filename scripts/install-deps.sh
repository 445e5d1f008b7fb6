#!/usr/bin/env bash
# Installs the Debian packages Tovalin needs to build, run and test.
# Idempotent and quiet when everything is already present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 qcoro-qt6-dev qt6-qpa-plugins
  libxcb1-dev libxcb-xtest0-dev libxcb-keysyms1-dev libxcb-xinput-dev libxkbcommon-x11-dev libcanberra-dev
  fonts-material-design-icons-iconfont fonts-dejavu-core
  # for `make package` (dpkg-shlibdeps needs file) and `make package-check`
  dpkg-dev file desktop-file-utils appstream
  # for the X11 and end-to-end tests
  xvfb openbox xdotool xclip yad xterm x11-utils x11-xserver-utils imagemagick dbus
  # API keys: the keyring through QtKeychain, and a real Secret Service for its tests
  qtkeychain-qt6-dev gnome-keyring libsecret-tools
  # the Wayland backend, and its tests under a headless sway (foot and wtype as the user's programs)
  libwayland-dev wayland-protocols libxkbcommon-dev qt6-wayland sway foot wtype wl-clipboard
  # the end-to-end test on a headless GNOME: mutter, the real portals, and the accessibility
  # bus through which the test finds the portal's consent dialog
  mutter xdg-desktop-portal xdg-desktop-portal-gnome at-spi2-core
  # for `make bench` (the palette's first paint seen through X DAMAGE) and `make fuzz`
  libxcb-damage0-dev clang-14 libfuzzer-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
