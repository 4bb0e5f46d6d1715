#!/usr/bin/env bash
# Draws the program's window into a PNG (the README's picture): the program as run.sh builds it,
# with its default tests and fresh settings, on a private Xvfb display, captured once shown.
# Usage: scripts/screenshot.sh FILE.png
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:?usage: scripts/screenshot.sh FILE.png}")
"$root/scripts/deps.sh" program
missing=()
for p in xvfb x11-utils imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
TARGET=orvo-peln-tandrick "$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"

scratch=$(mktemp -d /tmp/opt-shot.XXXXXX)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
# No settings of the user's, and no chance visit to the home page in the picture.
mkdir -p "$scratch/bin" "$scratch/config"
printf '#!/bin/sh\nexit 0\n' >"$scratch/bin/xdg-open"
chmod +x "$scratch/bin/xdg-open"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$scratch/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$scratch/display")
(cd "$root/build/program" && PATH=$scratch/bin:$PATH XDG_CONFIG_HOME=$scratch/config \
  QT_QPA_PLATFORM=xcb exec ./orvo-peln-tandrick) 2>/dev/null &
pids+=($!)
window=""
for _ in $(seq 100); do
  window=$(xwininfo -root -tree | awk '/"Orvo Peln Tandrick"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "screenshot.sh: the window did not show" >&2; exit 1; }
sleep 0.5 # drawn
import -window "$window" "$out"
echo "$out"
