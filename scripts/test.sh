#!/usr/bin/env bash
# Installs what is missing, builds the program twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) plus the libFuzzer target with clang, starts a private sound
# server, runs the bounded fuzz run, then the whole test suite in both builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
# Formatting first: a drifted file fails the run before anything is built.
(cd "$root" && git ls-files -co --exclude-standard '*.cpp' '*.h' | xargs clang-format --dry-run -Werror)
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
"$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DOPT_SANITIZE=ON
TARGET=fuzz_settings "$root/scripts/build.sh" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOPT_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++

runtime=$(mktemp -d /tmp/opt-test.XXXXXX)
trap '"$root/scripts/pulse.sh" stop "$runtime"; rm -rf "$runtime"' EXIT
eval "$("$root/scripts/pulse.sh" start "$runtime")"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
ctest --test-dir "$root/build-fuzz" --output-on-failure || status=1
# A test that fails is run once more: the sound tests listen to a real server and, rarely, hear
# an underrun of the machine rather than a fault of the program (a fault fails both times).
# The test that stops the sound server runs last in each build, so that a failure there cannot
# leave the others without a server.
for build in build build-asan; do
  ctest --test-dir "$root/$build" --output-on-failure -j2 --repeat until-pass:2 \
    -E '^test_soundserver$' || status=1
  ctest --test-dir "$root/$build" --output-on-failure -R '^test_soundserver$' || status=1
  pactl info >/dev/null 2>&1 || eval "$("$root/scripts/pulse.sh" start "$runtime")"
done
exit $status
