#!/usr/bin/env bash
# The live mode end to end: vantrel -pds -w under Xvfb, first with no client (the GL window shows
# the timed show's timer frames), then played by vantrel-stream --sweep over loopback for 20
# seconds; checks the tool window's captions, that the live picture moves and that the program
# stays responsive and ends cleanly.
# Usage: live.sh <path-to-vantrel> <build-dir>
set -u

vantrel="$(realpath "${1:?path to vantrel}")"
build="$(realpath "${2:?build directory}")"
stream="$build/tools/vantrel-stream"

# The whole run is bounded, on an X server of its own and a port of its own.
VANTREL_E2E_TIMEOUT=${VANTREL_E2E_TIMEOUT:-300}
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
source "$(dirname "${BASH_SOURCE[0]}")/support/free-port.sh"
for tool in xdotool import compare convert; do
  command -v "$tool" > /dev/null || { echo "SKIP: $tool is missing (scripts/setup.sh installs it)"; exit 77; }
done
start_xserver 1280x1024x24
port=$(free_port tcp)

work="$(mktemp -d /tmp/vantrel-live-e2e.XXXXXX)"
program=""
client=""
cleanup() {
  [ -n "$client" ] && kill "$client" 2> /dev/null
  [ -n "$program" ] && kill -KILL "$program" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "live.sh: FAIL: $*"
  [ -f "$work/program.log" ] && sed 's/^/  vantrel: /' "$work/program.log" | tail -20
  # The pictures stay beside the build for a look at what went wrong.
  rm -rf "$build/live-e2e-failure" && cp -r "$work" "$build/live-e2e-failure" &&
    echo "live.sh: pictures and logs kept in $build/live-e2e-failure"
  exit 1
}
note() { echo "live.sh: ${SECONDS}s: $*"; }
alive() { kill -0 "$program" 2> /dev/null; }

# Differing pixels between two images (0 when identical).
differing() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
# Mean brightness of an image in percent.
brightness() { convert "$1" -colorspace Gray -format '%[fx:int(100*mean)]' info:; }
# A region of an image: crop <in> <geometry> <out>.
crop() { convert "$1" -crop "$2" +repage "$3"; }

[ -x "$stream" ] || fail "no stream client at $stream"

cd "$build" || fail "cannot enter $build"
start_program() {
  SDL_AUDIODRIVER=dummy "$vantrel" -pds -w --listen 127.0.0.1 --port "$port" > "$work/program.log" 2>&1 &
  program=$!
}
start_program

# Loading takes a few seconds; the tool window appears when the server is listening. A loaded
# machine's X server may refuse the program's connection for a moment ("no display could be
# opened"): the program is then started again, twice at most.
tool=""
restarts=0
for _ in $(seq 1 360); do
  if ! alive; then
    wait "$program"
    if [ $restarts -lt 2 ] && grep -q "no display could be opened" "$work/program.log"; then
      restarts=$((restarts + 1))
      note "no X server connection at the start; started again"
      start_program
      continue
    fi
    fail "vantrel -pds ended during loading"
  fi
  tool="$(xdotool search --name '^PDSServerObject$' 2> /dev/null | head -1)"
  [ -n "$tool" ] && break
  sleep 0.5
done
[ -n "$tool" ] || fail "the tool window PDSServerObject did not appear within 180 s"
note "loaded; the tool window is up"
sleep 1
import -window "$tool" "$work/tool-offline.png" || fail "cannot capture the tool window"

# With no client the GL window plays the timed show from the live clock, one frame each 500 ms
# (the point burst, then the brick floor from 5.2 s): every picture shows it, none is blank, and
# each differs from the one before.
gl="$(xdotool search --name '^Vantrel Kelvara$' 2> /dev/null | head -1)"
[ -n "$gl" ] || fail "no GL window titled Vantrel Kelvara"
previous=""
for shot in 1 2 3 4 5; do
  sleep 1.3
  alive || fail "vantrel ended with no client"
  import -window "$gl" "$work/show$shot.png" || fail "cannot capture the GL window"
  deviation="$(convert "$work/show$shot.png" -colorspace Gray -format '%[fx:standard_deviation]' info:)"
  note "show picture $shot with no client: deviation $deviation"
  awk -v d="$deviation" 'BEGIN { exit !(d > 0.02) }' ||
    fail "show picture $shot with no client is blank (deviation $deviation)"
  if [ -n "$previous" ]; then
    [ "$(differing "$previous" "$work/show$shot.png")" != 0 ] ||
      fail "show pictures $((shot - 1)) and $shot are the same: the timer frames stopped"
  fi
  previous="$work/show$shot.png"
done

# 20 seconds of sweep at a rate that a software renderer on a busy machine keeps up with.
"$stream" --port "$port" --sweep --rate 3 --count 60 > "$work/client.log" 2>&1 &
client=$!
sleep 1.5
import -window "$tool" "$work/tool-online.png" || fail "cannot capture the tool window"

# Four pictures of the GL window across the sweep (it sits at the top left of the screen).
for shot in 1 2 3 4; do
  alive || fail "vantrel ended while a client was sending"
  import -window root -crop 800x600+0+0 +repage "$work/live$shot.png" || fail "cannot capture the screen"
  sleep 2
done

note "pictures taken; waiting for the client to finish"
wait "$client"
client_status=$?
client=""
[ "$client_status" -eq 0 ] || fail "vantrel-stream failed: $(cat "$work/client.log")"
grep -q "sent 60 packets" "$work/client.log" || fail "the client did not send all its packets"

# Once the server has drawn what was still queued it sees the client leave: "Offline" again.
crop "$work/tool-offline.png" 178x24+0+4 "$work/label1-offline.png"
offline_again=0
for _ in $(seq 1 30); do
  alive || fail "vantrel ended when the client left"
  import -window "$tool" "$work/tool-after.png" || fail "cannot capture the tool window"
  crop "$work/tool-after.png" 178x24+0+4 "$work/label1-after.png"
  if [ "$(differing "$work/label1-offline.png" "$work/label1-after.png")" -eq 0 ]; then
    offline_again=1
    break
  fi
  sleep 1
done
note "the client has left"
[ "$offline_again" -eq 1 ] || fail "the first caption did not return to Offline within 30 s of the client leaving"

# Captions: label one reads "Offline", then "ONLINE", then "Offline" again once the client has
# left; label two changes from "Reading 0 streams" to the sweep's count and keeps it.
for name in offline online after; do
  crop "$work/tool-$name.png" 178x24+0+4 "$work/label1-$name.png"
  crop "$work/tool-$name.png" 178x24+0+28 "$work/label2-$name.png"
done
[ "$(differing "$work/label1-offline.png" "$work/label1-online.png")" -gt 20 ] ||
  fail "the first caption did not change when the client connected"
[ "$(differing "$work/label2-offline.png" "$work/label2-online.png")" -gt 10 ] ||
  fail "the second caption did not change when packets arrived"
[ "$(differing "$work/label2-online.png" "$work/label2-after.png")" -eq 0 ] ||
  fail "the second caption did not keep the packet count"

# The live picture moves with the values: the four pictures differ from each other and show
# something besides the letterbox bars.
changes=0
lit=0
for a in 1 2 3 4; do
  [ "$(brightness "$work/live$a.png")" -ge 2 ] && lit=$((lit + 1))
  for b in 1 2 3 4; do
    [ "$a" -lt "$b" ] || continue
    [ "$(differing "$work/live$a.png" "$work/live$b.png")" -gt 10000 ] && changes=$((changes + 1))
  done
done
# Some moments of the sweep switch every layer off (a cleared screen between the bars), so only
# some of the pictures need to be lit.
[ "$changes" -ge 3 ] || fail "the live picture hardly changed ($changes of 6 pairs differ)"
[ "$lit" -ge 1 ] || fail "the live picture stayed dark ($lit of 4 pictures lit)"

# Still responsive after the sweep: a terminate request ends the live mode with exit code 0.
kill -TERM "$program"
for _ in $(seq 1 50); do
  alive || break
  sleep 0.1
done
alive && fail "vantrel did not end within 5 s of a terminate request"
wait "$program"
status=$?
program=""
[ "$status" -eq 0 ] || fail "vantrel -pds ended with exit code $status"

echo "live.sh: ok: captions Offline/ONLINE/Offline, $changes of 6 picture pairs differ, $lit of 4 lit, clean exit"
exit 0
