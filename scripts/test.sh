#!/usr/bin/env bash
# Installs what is missing, builds the program twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) plus the libFuzzer target with clang, starts a private PulseAudio,
# runs the bounded fuzz run, then the whole test suite in both builds; then the sound tests of
# the plain build on a private PipeWire.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
# Formatting first: a drifted file fails the run before anything is built.
(cd "$root" && git ls-files -co --exclude-standard '*.cpp' '*.h' | xargs clang-format --dry-run -Werror)
# The plain build optimised as the program runs, without debug information (a minute of a fresh
# machine's build); the sanitizer build keeps it for its reports.
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
"$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DOPT_SANITIZE=ON
TARGET=fuzz_settings "$root/scripts/build.sh" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOPT_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++

runtime=$(mktemp -d /tmp/opt-test.XXXXXX)
# A failed run shows what the private servers said: a fresh machine once lost its PulseAudio.
trap '[ "${status:-0}" = 0 ] || { tail -n 40 "$runtime"/pulse/pulse.log 2>/dev/null
  grep -Hi "xrun\|overrun\|underrun\|move\|target" "$runtime"/pipewire/*.log 2>/dev/null | tail -n 60; }
  "$root/scripts/pulse.sh" stop "$runtime/pulse"; "$root/scripts/pipewire.sh" stop "$runtime/pipewire"
  rm -rf "$runtime"' EXIT
eval "$("$root/scripts/pulse.sh" start "$runtime/pulse")"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
ctest --test-dir "$root/build-fuzz" --output-on-failure || status=1
# Each test runs once, so a fault that shows only now and then still fails the run. The test
# that stops the sound server runs last, so that a failure there cannot leave the others
# without a server. A server found gone between suites is a fault: the run fails, and the
# server is started again so that the suites after it still say what they find.
server_present() { # server
  pactl info >/dev/null 2>&1 && return
  echo "The $1 sound server is gone." >&2
  status=1
  "$root/scripts/$1.sh" revive "$runtime/$1" >/dev/null
}
run_suite() { # build folder, server, ctest options
  local build=$1 server=$2; shift 2
  server_present "$server"
  ctest --test-dir "$root/$build" --output-on-failure -j2 "$@" \
    -E '^test_soundserver$' || status=1
  ctest --test-dir "$root/$build" --output-on-failure -R '^test_soundserver$' || status=1
  server_present "$server"
}
run_suite build pulse
run_suite build-asan pulse
# All the sound tests again on PipeWire, Debian's desktop default.
"$root/scripts/pulse.sh" stop "$runtime/pulse"
eval "$("$root/scripts/pipewire.sh" start "$runtime/pipewire")"
run_suite build pipewire -L sound -LE pulseonly
exit $status
