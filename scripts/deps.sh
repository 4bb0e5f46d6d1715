#!/usr/bin/env bash
# Installs the Debian packages that are missing: "deps.sh program" what building and running the
# program needs; "deps.sh" that and what the tests need (formatting, the clang sanitizer and
# fuzzer builds, Debian's package checks, both sound servers, Xvfb and AT-SPI).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev qt6-qpa-plugins libgl-dev
  libsndfile1-dev libsamplerate0-dev libmp3lame-dev libpulse-dev
  espeak-ng
  fonts-liberation2
)
if [ "${1:-}" != program ]; then
  packages+=(
    file clang-format clang libclang-rt-14-dev
    lintian desktop-file-utils appstream
    pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber
    xvfb openbox x11-utils xdotool dbus at-spi2-core
    python3 python3-pyatspi gir1.2-atspi-2.0
  )
fi

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
