#!/usr/bin/env bash
# A named MIDI port that comes, goes and comes back: vantrel -pds --midi NAME starts before the
# controller (vantrel-midi-send with a port of its own on a JACK server of our own) exists, takes
# its control when it appears, says when it vanishes, and takes the next one's control when it
# is back; the picture goes on throughout and the end says how often the port vanished.
# Usage: midi_port.sh <path-to-vantrel> <build-dir>; exits 77 (skipped) when JACK is missing.
set -u
vantrel="$(realpath "${1:?path to vantrel}")"
build="$(realpath "${2:?build directory}")"
send="$build/tools/vantrel-midi-send"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

for tool in jackd timeout; do
  command -v "$tool" > /dev/null || { echo "midi_port.sh: skipped: $tool is not installed"; exit 77; }
done
[ -x "$send" ] || { echo "midi_port.sh: FAIL: no MIDI sender at $send"; exit 1; }

name=midi_port logs="jack.log program.err program.out"
cd "$build" || { echo "midi_port.sh: FAIL: cannot enter $build"; exit 1; }
. "$here/support/live_listening.sh"

start_jack

start_live dummy "MIDI input on" --midi vantrel-midi-send --midi-api jack --midi-monitor --record "$work/set.txt"
grep -q "not there yet" "$work/program.err" || fail "the missing port was not said to be waited for"
# The program looks for the port once a second: each controller stays two seconds before sending.
"$send" --api jack --virtual sleep 2.5 , cc 1 1 127 , sleep 0.5 > "$work/send1.log" 2>&1 || fail "sender 1 failed"
for _ in $(seq 1 50); do grep -q "vanished" "$work/program.err" && break; sleep 0.2; done
grep -q "vanished" "$work/program.err" || fail "the port's end was not said"
note "the first controller came and went"
"$send" --api jack --virtual sleep 2.5 , cc 1 2 127 , sleep 0.5 > "$work/send2.log" 2>&1 || fail "sender 2 failed"
grep -q "is back" "$work/program.err" || fail "the port's return was not said"
end_live
note "the second controller came back and went"

last="$(grep -v '^#' "$work/set.txt" | tail -1)"
# Slots 2 and 3 (controllers 1 and 2 in the built-in map) both set: "T nan nan 1 1".
[ "$(echo "$last" | cut -d' ' -f4,5)" = "1 1" ] || fail "the controls of both visits did not arrive: $last"
grep -Eq "the port vanished [12] times" "$work/program.err" || fail "the vanished port was not counted"
echo "midi_port.sh: PASS"
