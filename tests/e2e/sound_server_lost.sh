#!/usr/bin/env bash
# The sound server dying in the middle of the show: the show goes on by its frame timer, says
# once that the sound stopped, and its clock falls back from the server's latency to its own
# estimate; a server started again on the same socket takes the music again, from the show's
# moment, and the clock uses that server's latency. The show still ends at once on SIGTERM with
# status 0.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
for tool in pulseaudio pactl; do
  command -v $tool > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
start_xserver 1024x768x24
work=$(mktemp -d)
# A sound server of its own (one null sink, a private socket), so that no other session's is hit.
mkdir -p "$work/pulse"
start_server() {
  XDG_RUNTIME_DIR="$work/pulse" HOME="$work/pulse" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no -L "module-null-sink sink_name=lost" \
    -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" 2> /dev/null &
  sound=$!
}
start_server
trap 'kill -KILL $sound 2> /dev/null; kill $XSERVER_PID 2> /dev/null; rm -rf "$work"' EXIT
export PULSE_SERVER="unix:$work/pulse/native"
for _ in $(seq 1 50); do pactl info > /dev/null 2>&1 && break; sleep 0.2; done
fail() { echo "FAIL: $*"; tail -n 20 "$work/err.log"; exit 1; }

SDL_AUDIODRIVER=pulseaudio VANTREL_CLOCK_LOG=1 "$program" -w 2> "$work/err.log" &
pid=$!
for _ in $(seq 1 600); do grep -q "the show starts" "$work/err.log" && break; sleep 0.1; done
grep -q "the show starts" "$work/err.log" || fail "the show did not start"
# The clock takes the latency the server reports for the music's stream (it settles within 1.5 s).
for _ in $(seq 1 100); do grep -q "latency [0-9.]* ms server" "$work/err.log" && break; sleep 0.1; done
grep "vantrel: clock wall" "$work/err.log" | tail -n 1
grep -q "latency [0-9.]* ms server" "$work/err.log" || fail "the clock never used the server's latency"
kill -KILL $sound
wait $sound 2> /dev/null
sleep 6
kill -0 $pid 2> /dev/null || fail "the program ended with the sound server"
grep -q "the sound device stopped taking sound" "$work/err.log" || fail "no message about the sound"
# The show time goes on: the last two clock lines a second apart show it moving, on the estimate.
moved=$(grep "vantrel: clock wall" "$work/err.log" | tail -n 2 | awk '{ t[NR] = $6 } END { print (t[2] > t[1]) }')
[ "$moved" = 1 ] || fail "the show time stood still"
grep "vantrel: clock wall" "$work/err.log" | tail -n 1 | grep -q "ms estimate" || fail "the clock did not fall back to its estimate"
# The server again: the music is taken again and the clock uses the new server's latency.
lines=$(wc -l < "$work/err.log")
start_server
for _ in $(seq 1 100); do
  tail -n +$lines "$work/err.log" | grep -q "latency [0-9.]* ms server" && break
  sleep 0.1
done
grep -q "the sound device takes sound again" "$work/err.log" || fail "the sound never came back"
tail -n +$lines "$work/err.log" | grep -q "latency [0-9.]* ms server" || fail "the clock never used the new server's latency"
grep "vantrel: clock wall" "$work/err.log" | tail -n 1
moved=$(grep "vantrel: clock wall" "$work/err.log" | tail -n 2 | awk '{ t[NR] = $6 } END { print (t[2] > t[1]) }')
[ "$moved" = 1 ] || fail "the show time stood still after the sound came back"
kill -TERM $pid
for _ in $(seq 1 50); do kill -0 $pid 2> /dev/null || break; sleep 0.1; done
kill -0 $pid 2> /dev/null && { kill -KILL $pid; fail "still running 5 s after SIGTERM"; }
wait $pid
code=$?
[ $code = 0 ] || fail "exit status $code"
grep "stopped taking sound\|takes sound again\|vantrel: sound:" "$work/err.log"
echo PASS
