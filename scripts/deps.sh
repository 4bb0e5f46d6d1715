#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, if any is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config file clang-format clang libclang-rt-14-dev
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev qt6-qpa-plugins libgl-dev
  libsndfile1-dev libsamplerate0-dev libmp3lame-dev libpulse-dev
  espeak-ng
  fonts-liberation2
  lintian desktop-file-utils appstream
  pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber
  xvfb openbox x11-utils xdotool dbus at-spi2-core
  python3 python3-pyatspi gir1.2-atspi-2.0
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
