#!/usr/bin/env bash
# Link end to end. Everything runs inside a private network namespace with only the loopback
# interface up (unshare -n, then ip link set lo up): Link sends multicast on every interface that
# is up, and none of it may leave this test. Where the machine refuses a namespace the test exits
# 77 (skipped). In it, a peer of our own (vantrel-link-peer, on the same library) at 120 BPM:
#  - vantrel -pds --link meets it within 2 s; its beat's phase matches the peer's within 5 ms at ten
#    moments; a tempo sent by OSC (/tempo 140) reaches the peer within 1 s; the peer's 133.5 BPM
#    reaches the live beat within 1 s; the peer killed mid-beat leaves the beat running at 133.5;
#    a SIGTERM ends the live mode with 0 within 2 s.
#  - the timed show with --link leads: the peer reads 186 BPM and a phase within 10 ms of the
#    show's heard beat; a peer's 100 BPM is overruled within 1 s, and the show says so once.
# Both sides print lines stamped with Link's clock (VANTREL_CLOCK_LOG, the peer's own lines).
# Usage: link_session.sh <path-to-vantrel> <build-dir>
#   VANTREL_LINK_TIMING=loose  five times the time limits, for a build under a sanitizer (whose
#                              program turns its loop that much slower); the phases are held as tight.
VANTREL_E2E_TIMEOUT=${VANTREL_E2E_TIMEOUT:-150}
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
vantrel="$(realpath "${1:?path to vantrel}")"
build="$(realpath "${2:?build directory}")"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
peer_tool="$build/tools/vantrel-link-peer"
python=/usr/bin/python3
lines() { "$python" "$here/support/link_lines.py" "$@"; }
scale=1
[ "${VANTREL_LINK_TIMING:-}" = loose ] && scale=5

if [ -z "${VANTREL_LINK_NAMESPACE:-}" ]; then
  for tool in unshare ip "$python"; do
    command -v "$tool" > /dev/null || { echo "link_session.sh: skipped: $tool is not installed"; exit 77; }
  done
  unshare -n true 2> /dev/null || { echo "link_session.sh: skipped: no private network namespace here"; exit 77; }
  VANTREL_LINK_NAMESPACE=1 exec unshare -n bash "$0" "$@"
fi
# From here on, inside the namespace: loopback up, and nothing else there to send on.
ip link set lo up || { echo "link_session.sh: FAIL: cannot bring loopback up"; exit 1; }
[ "$(ip -o link show | wc -l)" = 1 ] || { echo "link_session.sh: FAIL: more than loopback in the namespace"; exit 1; }
[ -x "$peer_tool" ] || { echo "link_session.sh: FAIL: no Link peer at $peer_tool"; exit 1; }

work="$(mktemp -d /tmp/vantrel-link-e2e.XXXXXX)"
program="" peer=""
cleanup() {
  [ -n "$program" ] && kill -KILL "$program" 2> /dev/null
  [ -n "$peer" ] && kill -KILL "$peer" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "link_session.sh: FAIL: $*"
  for log in program.err peer.log; do
    [ -f "$work/$log" ] && grep -v "clock wall" "$work/$log" | tail -8 | sed "s/^/  $log: /"
  done
  exit 1
}
note() { echo "link_session.sh: ${SECONDS}s: $*"; }
micros() { "$python" -c 'import time; print(time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 1000)'; }
# The peer, taking commands from a pipe that the script holds open on descriptor 3.
start_peer() {
  rm -f "$work/peer.in" && mkfifo "$work/peer.in"
  "$peer_tool" --tempo 120 --seconds 60 < "$work/peer.in" > "$work/peer.log" 2>&1 &
  peer=$!
  exec 3> "$work/peer.in"
}
# Waits up to 60 s (loading) for a line in the program's standard error.
wait_for() {
  for _ in $(seq 1 600); do
    grep -q "$1" "$work/program.err" && return 0
    kill -0 "$program" 2> /dev/null || fail "vantrel ended before \"$1\""
    sleep 0.1
  done
  fail "no \"$1\" from vantrel within 60 s"
}
# Ends the program with SIGTERM: status 0 within 2 s.
end_program() {
  local began=$SECONDS status
  kill -TERM "$program"
  for _ in $(seq 1 $((40 * scale))); do kill -0 "$program" 2> /dev/null || break; sleep 0.05; done
  kill -0 "$program" 2> /dev/null && fail "vantrel still runs $((2 * scale)) s after SIGTERM"
  wait "$program"
  status=$?
  program=""
  [ $status = 0 ] || fail "vantrel exited with $status"
  note "ended with 0 within $((SECONDS - began)) s of SIGTERM"
}
cd "$build" || fail "cannot enter $build"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy VANTREL_CLOCK_LOG=1 XDG_CONFIG_HOME="$work"

# The live mode follows the session.
osc=$((20000 + RANDOM % 20000))
start_peer
"$vantrel" -pds -w --listen 127.0.0.1 --port $((osc + 1)) --osc "$osc" --link > "$work/program.out" 2> "$work/program.err" &
program=$!
wait_for "link [0-9]* peers 1"
lines joined "$work/program.err" $((2 * scale)) || fail "the live mode did not meet the peer within 2 s"
# Ten moments from half a second after they met, once there are that many.
from=$(($(lines met "$work/program.err") + 500000))
for _ in $(seq 1 $((20 * scale))); do
  sleep 0.5
  status=0
  lines phase "$work/program.err" "$work/peer.log" 4 5 "$from" > "$work/phase" || status=$?
  [ $status = 3 ] || break
done
cat "$work/phase"
[ $status = 0 ] || fail "the live beat is out of the peer's phase"
sent=$(micros)
"$python" -c '
import socket, struct, sys
pad = lambda b: b + b"\0" * (4 - len(b) % 4)
socket.socket(socket.AF_INET, socket.SOCK_DGRAM).sendto(pad(b"/tempo") + pad(b",f") + struct.pack(">f", 140.0), ("127.0.0.1", int(sys.argv[1])))' "$osc"
sleep $((scale + 1))
lines tempo "$work/peer.log" peer 140 "$sent" "$scale" || fail "the OSC tempo did not reach the peer within 1 s"
echo "tempo 133.5" >&3
sleep $((scale + 1))
changed=$(lines first "$work/peer.log" peer 133.5) || fail "the peer did not take 133.5 BPM"
lines tempo "$work/program.err" link 133.5 "$changed" "$scale" || fail "the peer's tempo did not reach the live beat within 1 s"
kill -KILL "$peer"
wait "$peer" 2> /dev/null
left=$(micros)
peer=""
exec 3>&-
sleep $((2 * scale))
lines steady "$work/program.err" link 133.5 "$left" || fail "the beat did not run on at the last tempo after the peer vanished"
end_program
grep -q "Link: at most 1 peers" "$work/program.err" || fail "no Link line at the live mode's end"

# The show leads the session.
start_peer
"$vantrel" -w --link --start 20 > "$work/program.out" 2> "$work/program.err" &
program=$!
wait_for "the show starts"
wait_for "link [0-9]* peers 1"
sleep $((2 * scale))
lines led "$work/program.err" "$work/peer.log" 4 10 "$(($(micros) - 1200000))" || fail "the peer is not on the show's beat"
echo "tempo 100" >&3
sleep 0.5
changed=$(lines first "$work/peer.log" peer 100) || fail "the peer did not take 100 BPM"
sleep $scale
lines tempo "$work/peer.log" peer 186 "$changed" "$scale" || fail "the show did not lead 186 BPM again within 1 s"
[ "$(grep -c "the show keeps its own 186 BPM" "$work/program.err")" = 1 ] || fail "the show did not say once that it keeps its tempo"
end_program
echo quit >&3
exec 3>&-
wait "$peer" 2> /dev/null
peer=""
grep -q "WARNING: ThreadSanitizer\|ERROR: AddressSanitizer\|runtime error" "$work"/*.err "$work"/*.log &&
  fail "a sanitizer's report"
echo "link_session.sh: passed"
