#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program from its program folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd "$root/build/program"
exec ./orvo-peln-tandrick "$@"
