#!/usr/bin/env bash
# Configures (once) and builds one build folder: build.sh FOLDER [cmake options...]
# TARGET in the environment builds only that target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
if [ ! -f "$root/$dir/build.ninja" ]; then
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
fi
cmake --build "$root/$dir" ${TARGET:+--target "$TARGET"} -- -j"$(nproc)"
