#!/usr/bin/env bash
# Starts a private PulseAudio daemon with a null sink "opt_sink" (stereo, the default), "opt_51"
# (5.1) and "opt_71" (7.1), and a recorder kept attached to each monitor (an idle null sink otherwise delivers a new stream's first sound late). The
# recorders ask for 20 ms: at 5 ms the sink ran so tight that recordings showed dropouts.
# The null sink does not rewind: a rewind rewrites what the sink already gave its monitor, so
# recordings lost or doubled the start of a new stream (a real device plays the rewritten sound).
# Prints the environment to use it: eval "$(scripts/pulse.sh start DIR)"; stop with
# scripts/pulse.sh stop DIR. "kill DIR" ends the server (the sound server going away under a
# program), "revive DIR" starts it again.
set -euo pipefail
cmd=$1 dir=$2 self=$(realpath "$0")
case "$cmd" in
start | revive)
  mkdir -p "$dir"; chmod 700 "$dir"
  export XDG_RUNTIME_DIR=$dir
  export PULSE_SERVER=unix:$dir/pulse/native
  # The user's choices of device per program (stream-restore) are kept in the rig, not in ~.
  export PULSE_STATE_PATH=$dir/state
  pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=opt_sink rate=44100 channels=2 norewinds=1" \
    --load="module-null-sink sink_name=opt_51 rate=44100 channels=6 channel_map=surround-51 norewinds=1" \
    --load="module-null-sink sink_name=opt_71 rate=44100 channels=8 channel_map=surround-71 norewinds=1" \
    --load="module-native-protocol-unix" --load="module-stream-restore" \
    --log-target=file:"$dir/pulse.log" \
    --use-pid-file=yes
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
  pactl info >/dev/null
  pactl set-default-sink opt_sink
  : >"$dir/recorder.pid"
  warm=()
  for sink in opt_sink opt_51 opt_71; do
    parec -d $sink.monitor --latency-msec=20 >/dev/null 2>&1 &
    echo $! >>"$dir/recorder.pid"
    # A fresh null sink runs in large blocks until its clients have settled it on a short
    # latency; sound played before then arrives late and with gaps.
    timeout 3 pacat -d $sink --raw --latency-msec=10 /dev/zero &
    warm+=($!)
  done
  for pid in "${warm[@]}"; do wait "$pid" || true; done
  echo "export XDG_RUNTIME_DIR='$dir' PULSE_SERVER='$PULSE_SERVER' OPT_PULSE_SINK=opt_sink OPT_SOUND_RIG='$self'"
  ;;
kill)
  # Until it is gone: a server still shutting down removes the socket of the next one.
  pid="$(cat "$dir/pulse/pid")"
  kill "$pid"
  while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
  ;;
stop)
  [ -f "$dir/recorder.pid" ] && kill $(cat "$dir/recorder.pid") 2>/dev/null || true
  [ -f "$dir/pulse/pid" ] && kill "$(cat "$dir/pulse/pid")" 2>/dev/null || true
  ;;
esac
