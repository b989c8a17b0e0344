#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing the
# player need, and only those that are missing.
set -euo pipefail

packages=(
  build-essential cmake make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libmpv-dev
  libcdio-dev                  # reads Video CD sectors from drives
  libxcb1-dev                  # asks the X server how the picture can be drawn
  ffmpeg                       # the tests make their own media
  vcdimager                    # ... and their own Video CD images
  mjpegtools                   # ... with still pictures for their menus
  clang-14 libclang-rt-14-dev  # the disc reader's fuzz targets (libFuzzer)
  xvfb xauth                   # tests that look at real pixels
  x11-utils                    # xwininfo: where the real program's window is
  weston qt6-wayland           # the picture under a Wayland compositor
  libgl1-mesa-dri              # software OpenGL for those tests
  fonts-dejavu-core
  desktop-file-utils appstream # checks of the desktop integration files
  dbus-bin dbus-daemon         # a private session bus for the MPRIS tests
  playerctl                    # a real MPRIS client for those tests
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
