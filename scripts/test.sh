#!/usr/bin/env bash
# Installs what is missing (the test tools while the plain build is made), builds the program
# twice (plain, and with clang, AddressSanitizer and UndefinedBehaviorSanitizer, which build also
# holds the libFuzzer target) and runs every test:
# the plain build's on a private PulseAudio and its sound tests on a private PipeWire while the
# sanitizers' build is made, then the sanitizers' build's sound tests on PulseAudio, its tests
# without sound (the bounded fuzz run among them) beside the passes once it is made.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Where the time goes, one line a step.
started=$(date +%s)
at() { echo "test.sh: $1 done, $(($(date +%s) - started)) s from the start"; }
"$root/scripts/deps.sh" program
at "the program's installs"
# The test tools are installed while the plain build is made (optimised as the program runs,
# without debug information); the sanitizer build keeps line tables, enough for its reports.
tools_log=$(mktemp /tmp/opt-tools.XXXXXX)
"$root/scripts/deps.sh" >"$tools_log" 2>&1 &
tools_pid=$!
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
at "plain build"
if ! wait "$tools_pid"; then
  cat "$tools_log"
  exit 1
fi
rm -f "$tools_log"
at "the test tools' installs"
# Formatting before any test: a drifted file fails the run.
(cd "$root" && git ls-files -co --exclude-standard '*.cpp' '*.h' | xargs clang-format --dry-run -Werror)

runtime=$(mktemp -d /tmp/opt-test.XXXXXX)
sanitize_pid=""
# A failed run shows what the private servers said: a fresh machine once lost its PulseAudio.
trap '[ "${status:-0}" = 0 ] || { tail -n 40 "$runtime"/pulse/pulse.log 2>/dev/null
  grep -Hi "xrun\|overrun\|underrun\|move\|target" "$runtime"/pipewire/*.log 2>/dev/null | tail -n 60; }
  [ -z "$sanitize_pid" ] || kill "$sanitize_pid" 2>/dev/null
  "$root/scripts/pulse.sh" stop "$runtime/pulse"; "$root/scripts/pipewire.sh" stop "$runtime/pipewire"
  rm -rf "$runtime"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# clang's sanitizer runtime looks for llvm-symbolizer on the PATH, which Debian names by its
# version unless the llvm package is installed: without it reports have no names, and the leak
# suppressions, which name functions, do not apply.
ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer llvm-symbolizer-14 | head -n 1) || true
export ASAN_SYMBOLIZER_PATH
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The sanitizers' build, and then its tests that play no sound, run beside the sound passes at
# the lowest priority: those passes mostly wait for sound played in real time. The build's exit
# status is written to $built when it ends, so that its sound tests can start at once.
built=$runtime/sanitize.built
sanitize() {
  local made=0
  nice -n 19 "$root/scripts/build.sh" build-sanitize -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" -DOPT_SANITIZE=ON -DOPT_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ || made=$?
  echo "$made" >"$built.new" && mv "$built.new" "$built"
  [ "$made" = 0 ] || return 1
  at "sanitizers' build"
  nice -n 19 ctest --test-dir "$root/build-sanitize" --output-on-failure -j2 -LE sound
}
sanitize >"$runtime/sanitize.log" 2>&1 &
sanitize_pid=$!

status=0
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
# One pass on a private server of its own, started afresh: server, build folder, ctest options.
pass() {
  local server=$1; shift
  ( eval "$("$root/scripts/$server.sh" start "$runtime/$server")"
    status=0
    run_suite "$1" "$server" "${@:2}"
    exit $status ) || status=1
  "$root/scripts/$server.sh" stop "$runtime/$server"
}
pass pulse build
at "plain build on PulseAudio"
# The sound tests again on PipeWire, Debian's desktop default.
pass pipewire build -L sound -LE pulseonly
at "plain build on PipeWire"
while [ ! -e "$built" ] && kill -0 "$sanitize_pid" 2>/dev/null; do sleep 1; done
if [ "$(cat "$built" 2>/dev/null)" != 0 ]; then
  tail -n 60 "$runtime/sanitize.log"
  exit 1
fi
pass pulse build-sanitize -L sound
at "sanitizers' build on PulseAudio"
wait "$sanitize_pid" || status=1
sanitize_pid=""
grep -v '^\[[0-9]*/[0-9]*\] ' "$runtime/sanitize.log"
at "sanitizers' tests without sound"
exit $status
