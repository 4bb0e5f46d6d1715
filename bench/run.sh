#!/usr/bin/env bash
# Builds the program and the benchmark, sets up a private sound server with a null sink (and a
# recorder attached) and Xvfb, and prints one table of figures: ours beside the alternatives,
# measured in the same run, on PulseAudio and on PipeWire. Usage: bench/run.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
missing=()
for p in libpulse-dev mpg123 ffmpeg libxcb1-dev gstreamer1.0-plugins-good; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
"$root/scripts/build.sh" build-bench -DCMAKE_BUILD_TYPE=Release -DOPT_BENCH=ON

runtime=$(mktemp -d /tmp/opt-bench.XXXXXX)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  "$root/scripts/pulse.sh" stop "$runtime/pulse"; "$root/scripts/pipewire.sh" stop "$runtime/pipewire"
  rm -rf "$runtime"
}
trap cleanup EXIT
for n in $(seq 60 99); do
  [ -e /tmp/.X11-unix/X$n ] && continue
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp -noreset 2>/dev/null &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do xprop -root >/dev/null 2>&1 && break; sleep 0.1; done
  xprop -root >/dev/null 2>&1 && break
done

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -r)"
# The whole table on each sound server in turn (OPT_BENCH_SERVERS picks some).
for server in ${OPT_BENCH_SERVERS:-pulse pipewire}; do
  dir=$runtime/$server
  ( eval "$("$root/scripts/$server.sh" start "$dir")"
    echo; echo "== $(pactl info | sed -n 's/^Server Name: //p')"
    "$root/build-bench/bench/optbench" "$root/build-bench/program" "$root/build-bench/tools/tonegen" "${1:-7}" )
  "$root/scripts/$server.sh" stop "$dir"
done
