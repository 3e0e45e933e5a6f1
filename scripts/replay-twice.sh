#!/usr/bin/env bash
# Records a set and renders it to video twice: vantrel -pds offscreen is played by
# vantrel-stream --sweep --record for the given seconds (20 by default), then
# vantrel -pds --replay SET --capture runs twice on the recording and the two files must be the
# same bytes. Prints the time each step took. The files stay in the output directory.
# Usage: scripts/replay-twice.sh [seconds (20)] [fps (25)] [build-dir (build)] [out-dir (out/replay)]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-20}"
fps="${2:-25}"
build="$(realpath "${3:-$root/build}")"
out="$(realpath -m "${4:-$root/out/replay}")"
vantrel="$build/vantrel"
stream="$build/tools/vantrel-stream"
# A free loopback port of its own, so that no other live session or run meets this one.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
[ -x "$vantrel" ] && [ -x "$stream" ] || { echo "replay-twice.sh: build first"; exit 1; }
mkdir -p "$out"
program=""
trap '[ -n "$program" ] && kill -KILL "$program" 2> /dev/null' EXIT

listening() { grep -q ":$(printf '%04X' $port) 00000000:0000 0A" /proc/net/tcp; }
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "$vantrel" -pds -w --listen 127.0.0.1 --port $port > "$out/live.log" 2>&1 &
program=$!
for _ in $(seq 1 600); do listening && break; sleep 0.2; done
listening || { echo "replay-twice.sh: the live mode did not start listening"; exit 1; }
SECONDS=0
"$stream" --port $port --sweep --rate 10 --count $((seconds * 10)) --record "$out/set.txt"
echo "replay-twice.sh: recorded $(grep -vc '^#' "$out/set.txt") packets in ${SECONDS}s"
kill -TERM "$program"; wait "$program" || true; program=""

for run in 1 2; do
  SECONDS=0
  SDL_AUDIODRIVER=dummy "$vantrel" -pds --replay "$out/set.txt" --capture "$out/set-$run.mp4" --fps "$fps" 2> "$out/replay-$run.log"
  echo "replay-twice.sh: render $run took ${SECONDS}s: $(tail -2 "$out/replay-$run.log" | head -1)"
done
ls -l "$out"/set-1.mp4 "$out"/set-2.mp4
if cmp "$out/set-1.mp4" "$out/set-2.mp4"; then
  echo "replay-twice.sh: the two renders are identical ($(sha256sum < "$out/set-1.mp4" | cut -c1-16))"
else
  echo "replay-twice.sh: FAIL: the two renders differ"
  exit 1
fi
