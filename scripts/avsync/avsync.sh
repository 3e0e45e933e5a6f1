#!/usr/bin/env bash
# Audio-to-picture offset as a viewer meets it. Plays the show in a window under Xvfb with its
# sound going to a PulseAudio null sink, records a patch of the screen (scripts/avsync/avsync-grab.py,
# every 4 ms) and the sink's monitor (scripts/avsync/avsync-record.py) together, both stamped with the
# wall clock, and finds the
# white flash and the accent onset of every flash step in the first AVSYNC_SECONDS of the show
# (about 45 usable steps by 105 s, 89 by 186 s). The recording chain has an offset of its own (the grab's
# stamps, the monitor's stamps): it is measured on scripts/avsync/avsync-reference.py, which plays the
# music and shows the show's flashes alone, each at the moment PulseAudio reports the matching
# sound being played, so its picture and sound are in step by construction. Its mean is
# subtracted. Prints mean and 95th percentile of (flash - onset) in milliseconds; fails when
# fewer than 40 steps were found or the mean is more than 5 ms from zero.
#
# usage: scripts/avsync/avsync.sh [BUILD_DIR] (default: build)
# environment:
#   AVSYNC_SECONDS            show seconds to measure (default 186: the whole show before
#                             the star field and the ending)
#   AVSYNC_REFERENCE_SECONDS  music seconds the reference plays (default 90)
#   AVSYNC_PROGRAM            another vantrel to measure, run in BUILD_DIR with its data
#   AVSYNC_KEEP               a folder to keep the recordings in (show.pic and show.wav,
#                             chain.pic and chain.wav, the sounds' start times, the show's log)
#   AVSYNC_NICE               niceness for the measured chain (e.g. -10 as root on a busy
#                             machine, where a starved audio thread runs dry; default 0)
# Needs Xvfb, pulseaudio (with pacat and libpulse-simple), ffmpeg, python3-numpy.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
program=${AVSYNC_PROGRAM:-$build/vantrel}
seconds=${AVSYNC_SECONDS:-186}
reference=${AVSYNC_REFERENCE_SECONDS:-90}
priority=(nice -n "${AVSYNC_NICE:-0}")
python=/usr/bin/python3
for tool in Xvfb xdpyinfo pulseaudio pactl pacat ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || { echo "avsync: $tool is missing (scripts/setup.sh installs it)"; exit 2; }
done
"$python" -c "import numpy" 2>/dev/null || { echo "avsync: python3-numpy is missing"; exit 2; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ -n "${AVSYNC_KEEP:-}" ]; then
    mkdir -p "$AVSYNC_KEEP" && cp "$work"/*.pic "$work"/*.wav "$work"/*.start "$work"/*.grab "$work"/*.log "$AVSYNC_KEEP"/ 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A private PulseAudio server with one null sink, reachable only through its own socket.
mkdir -p "$work/pulse/run" "$work/pulse/state" "$work/pulse/config"
env HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse/run" PULSE_RUNTIME_PATH="$work/pulse/run" \
  PULSE_STATE_PATH="$work/pulse/state" PULSE_CONFIG_PATH="$work/pulse/config" \
  "${priority[@]}" pulseaudio -n --daemonize=no --system=false --realtime=yes --high-priority=yes \
  --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
  -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
  -L "module-null-sink sink_name=avsync rate=44100 channels=2" >"$work/pulse.log" 2>&1 &
pids+=($!)
export PULSE_SERVER="unix:$work/pulse/native"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.2; done
pactl info >/dev/null || { echo "avsync: pulseaudio did not start"; cat "$work/pulse.log"; exit 1; }
pactl set-default-sink avsync

# A screen of exactly the show's size on a free display number.
display=""
for n in $(seq 150 250); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }
done
"${priority[@]}" Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
export SDL_AUDIODRIVER=pulseaudio
# The players' audio threads (SDL's, marked time-critical) run real-time where allowed, as a
# desktop's sound server arranges, so that a busy machine does not starve the sound.
export SDL_THREAD_FORCE_REALTIME_TIME_CRITICAL=1

# Records screen and sound for $1 seconds into $2.pic and $2.wav (the sound's first frame's
# wall time into $2.start) while the command after them runs. A flash whitens the whole
# picture, so the brightness of a patch in the middle is enough; each sample carries the wall
# time it was taken (ffmpeg's x11grab stamps a frame with the time it was due, which put whole
# runs off by up to 40 ms when the grabber ran behind). A silent stream with a 10 ms latency plays throughout, so the null sink
# keeps one short latency whoever else plays, and the monitor's stamps one meaning.
record() {
  local length=$1 output=$2
  shift 2
  "${priority[@]}" pacat --playback --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 /dev/zero &
  local keeper=$!
  pids+=($keeper)
  sleep 0.5
  "${priority[@]}" "$python" "$here/avsync-record.py" "$output.wav" "$length" >"$output.start" &
  local sound=$!
  pids+=($sound)
  "${priority[@]}" "$python" "$here/avsync-grab.py" "$output.pic" "$length" 300 225 200 150 >"$output.grab" &
  local picture=$!
  pids+=($picture)
  "${priority[@]}" "$@" >"$output.log" 2>&1 &
  local player=$!
  pids+=($player)
  local failed=0
  wait "$sound" || failed=1
  wait "$picture" || failed=1
  kill "$player" "$keeper" 2>/dev/null || true
  wait "$player" "$keeper" 2>/dev/null || true
  [ "$failed" = 0 ] || { echo "avsync: recording $output failed"; exit 1; }
}

# analyse RECORDING SHOW_SECONDS: the figures of one recording as a line of JSON.
analyse() {
  "$python" "$here/avsync-analyse.py" "$1.pic" "$build/data/music.mp3" "$here/../../src/timeline/SyncTracks.cpp" \
    --to "$2" --sound "$1.wav" --sound-start "$(cat "$1.start")" --picture "$1.pic" --json
}

echo "avsync: load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

# The show as a viewer meets it: loading first, then the show.
(cd "$build" && VANTREL_CLOCK_LOG=1 record $((seconds + 20)) "$work/show" "$program" -w)
show=$(analyse "$work/show" "$seconds") || { echo "avsync: the show's recording could not be analysed"; exit 1; }
echo "avsync: program   $show"

# The chain's own offset, from a picture and sound in step by construction.
record $((reference + 8)) "$work/chain" "$python" "$here/avsync-reference.py" "$build/data/music.mp3" \
  "$here/../../src/timeline/SyncTracks.cpp" "$reference"
chain=$(analyse "$work/chain" "$((reference - 2))") || { echo "avsync: the reference's recording could not be analysed"; exit 1; }
echo "avsync: reference $chain ($(grep -o 'PulseAudio latency.*' "$work/chain.log" || true))"
echo "avsync: load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
"$python" - "$show" "$chain" <<'EOF'
import json, sys
show, chain = json.loads(sys.argv[1]), json.loads(sys.argv[2])
mean = show["mean_ms"] - chain["mean_ms"]
print("avsync: flash - onset over %d flash steps: mean %+.1f ms, 95th percentile %+.1f ms "
      "(recording chain %+.1f ms over %d steps subtracted)"
      % (show["events"], mean, show["p95_ms"] - chain["mean_ms"], chain["mean_ms"], chain["events"]))
# The delay that fits all candidate steps at once, also where single steps could not be fitted.
print("avsync: one delay for all %d candidate steps: %+.1f ms (chain %+.1f ms over %d)"
      % (show["candidates"], show["common_ms"] - chain["common_ms"], chain["common_ms"], chain["candidates"]))
sys.exit(0 if show["events"] >= 40 and abs(mean) <= 5 else 1)
EOF
