#!/usr/bin/env bash
# Starts a private PipeWire (with WirePlumber and its PulseAudio server) with a null sink
# "opt_sink" made the default and a recorder kept attached to its monitor, as Debian 12's
# desktops run it. Prints the environment to use it: eval "$(scripts/pipewire.sh start DIR)";
# stop with scripts/pipewire.sh stop DIR.
set -euo pipefail
cmd=$1 dir=$2
case "$cmd" in
start)
  mkdir -p "$dir"; chmod 700 "$dir"
  export XDG_RUNTIME_DIR=$dir
  export PULSE_SERVER=unix:$dir/pulse/native
  # WirePlumber quits without a session bus.
  dbus-daemon --session --fork --address="unix:path=$dir/bus" --print-pid >"$dir/dbus.pid"
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/bus
  for p in pipewire wireplumber pipewire-pulse; do
    "$p" >"$dir/$p.log" 2>&1 &
    echo $! >>"$dir/pipewire.pids"
    [ "$p" = pipewire ] && sleep 0.3
  done
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl load-module module-null-sink sink_name=opt_sink rate=44100 channels=2 >/dev/null
  # WirePlumber may not be ready yet, or pick its own default first: insist until the server
  # agrees.
  for _ in $(seq 50); do
    pactl set-default-sink opt_sink 2>/dev/null || true
    pactl info | grep -q "Default Sink: opt_sink" && break
    sleep 0.1
  done
  pactl info | grep -q "Default Sink: opt_sink"
  parec -d opt_sink.monitor --latency-msec=20 >/dev/null 2>&1 &
  echo $! >"$dir/recorder.pid"
  timeout 3 pacat --raw --latency-msec=10 /dev/zero || true
  echo "export XDG_RUNTIME_DIR='$dir' PULSE_SERVER='$PULSE_SERVER' OPT_PULSE_SINK=opt_sink" \
    "DBUS_SESSION_BUS_ADDRESS='$DBUS_SESSION_BUS_ADDRESS'"
  ;;
stop)
  [ -f "$dir/recorder.pid" ] && kill "$(cat "$dir/recorder.pid")" 2>/dev/null || true
  [ -f "$dir/pipewire.pids" ] && kill $(cat "$dir/pipewire.pids") 2>/dev/null || true
  [ -f "$dir/dbus.pid" ] && kill "$(cat "$dir/dbus.pid")" 2>/dev/null || true
  ;;
esac
