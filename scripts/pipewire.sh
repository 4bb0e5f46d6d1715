#!/usr/bin/env bash
# Starts a private PipeWire (with WirePlumber and its PulseAudio server) with a null sink
# "opt_sink" made the default, "opt_51" (5.1) and "opt_71" (7.1), all at 44.1 kHz with the graph
# at that rate, and a recorder kept attached to each monitor, as Debian 12's desktops run it. Prints the environment to use it: eval "$(scripts/pipewire.sh start DIR)";
# stop with scripts/pipewire.sh stop DIR. "kill DIR" ends the PulseAudio server only (the
# sound server going away under a program), "revive DIR" brings it back.
set -euo pipefail
cmd=$1 dir=$2 self=$(realpath "$0")
export XDG_RUNTIME_DIR=$dir
export PULSE_SERVER=unix:$dir/pulse/native
export DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/bus
# WirePlumber keeps the user's choices of device per program (restore-stream) in the rig, not
# in ~.
export XDG_STATE_HOME=$dir/state

# The PulseAudio server with the null sink, and the recorder.
start_pulse() {
  PIPEWIRE_DEBUG=3 pipewire-pulse >>"$dir/pipewire-pulse.log" 2>&1 &
  echo $! >"$dir/pipewire-pulse.pid"
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl load-module module-null-sink sink_name=opt_sink rate=44100 channels=2 >/dev/null
  pactl load-module module-null-sink sink_name=opt_51 rate=44100 channels=6 channel_map=surround-51 >/dev/null
  pactl load-module module-null-sink sink_name=opt_71 rate=44100 channels=8 channel_map=surround-71 >/dev/null
  # WirePlumber may not be ready yet, or pick its own default first: insist until the server
  # agrees.
  for _ in $(seq 50); do
    pactl set-default-sink opt_sink 2>/dev/null || true
    pactl info | grep -q "Default Sink: opt_sink" && break
    sleep 0.1
  done
  pactl info | grep -q "Default Sink: opt_sink"
  : >"$dir/recorder.pid"
  local warm=()
  for sink in opt_sink opt_51 opt_71; do
    parec -d $sink.monitor --latency-msec=20 >/dev/null 2>&1 &
    echo $! >>"$dir/recorder.pid"
    timeout 3 pacat -d $sink --raw --latency-msec=10 /dev/zero &
    warm+=($!)
  done
  for pid in "${warm[@]}"; do wait "$pid" || true; done
}

case "$cmd" in
start)
  mkdir -p "$dir"; chmod 700 "$dir"
  # WirePlumber quits without a session bus.
  dbus-daemon --session --fork --address="$DBUS_SESSION_BUS_ADDRESS" --print-pid >"$dir/dbus.pid"
  # At info level the servers log their own glitches (a graph cycle missed: "XRun!"; a
  # stream's buffer run over or dry): a failed sound test is read beside them.
  for p in pipewire wireplumber; do
    PIPEWIRE_DEBUG=3 "$p" >"$dir/$p.log" 2>&1 &
    echo $! >"$dir/$p.pid"
    sleep 0.3
  done
  # The graph runs at the null sinks' rate, as a desktop's runs at its device's: left at 48 kHz
  # it resampled every 44.1 kHz stream, and on a two-core VM that resampling put steps into
  # the sound (sound tests failed 2 or 3 runs in 6 with no underflow of the stream; none in 12
  # at 44.1 kHz).
  for _ in $(seq 50); do
    pw-metadata -n settings 0 clock.force-rate 44100 >/dev/null 2>&1 && break
    sleep 0.1
  done
  start_pulse
  echo "export XDG_RUNTIME_DIR='$dir' PULSE_SERVER='$PULSE_SERVER' OPT_PULSE_SINK=opt_sink" \
    "DBUS_SESSION_BUS_ADDRESS='$DBUS_SESSION_BUS_ADDRESS' OPT_SOUND_RIG='$self'"
  ;;
kill)
  # Until it is gone: a server still shutting down removes the socket of the next one.
  pid="$(cat "$dir/pipewire-pulse.pid")"
  kill "$pid"
  while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
  ;;
revive)
  start_pulse
  ;;
stop)
  for p in recorder pipewire-pulse wireplumber pipewire dbus; do
    [ -f "$dir/$p.pid" ] && kill $(cat "$dir/$p.pid") 2>/dev/null || true
  done
  ;;
esac
