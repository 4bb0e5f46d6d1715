#!/usr/bin/env bash
# Installs what is missing, builds the program, and starts the program from its program folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" program
# The program alone (with the sounds it plays), not the test suite.
TARGET=orvo-peln-tandrick "$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
cd "$root/build/program"
exec ./orvo-peln-tandrick "$@"
