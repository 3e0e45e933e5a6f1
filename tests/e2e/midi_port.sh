#!/usr/bin/env bash
# A named MIDI port that comes, goes and comes back: vantrel -pds --midi NAME starts before the
# controller (vantrel-midi-send with a port of its own on a JACK server of our own) exists, takes
# its control when it appears, says when it vanishes, and takes the next one's control when it
# is back, through a flood of system exclusive that costs a TCP client beside it no frame; the
# end says how often the port vanished.
# Usage: midi_port.sh <path-to-vantrel> <build-dir>; exits 77 (skipped) when JACK is missing.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
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
# The second brings a flood of system exclusive while a TCP client plays: not one of its packets
# may go undrawn (they set slot 11 to 0.5, which nothing else sets).
( for _ in $(seq 1 1000); do echo "sysex 64"; done ) > "$work/flood.txt"
"$build/tools/vantrel-stream" --port "$port" --rate 20 --count 100 --quiet nan nan nan nan nan nan nan nan nan nan nan 0.5 > "$work/stream.log" 2>&1 &
client=$!
( echo "sleep 2.5"; cat "$work/flood.txt"; echo "sleep 0.3"; echo "cc 1 2 127"; echo "sleep 0.5" ) |
  "$send" --api jack --virtual > "$work/send2.log" 2>&1 || fail "sender 2 failed"
wait "$client" || fail "the TCP client failed: $(cat "$work/stream.log")"
grep -q "is back" "$work/program.err" || fail "the port's return was not said"
# Rows of TCP packets: slot 11 at 0.5 and every slot below it absent.
tcp_rows() { awk '!/^#/ && $13 == "0.5" && $5 == "nan"' "$work/set.txt" | wc -l; }
# A busy machine draws slowly: the packets are waited for (each is drawn or counted lost).
for _ in $(seq 1 300); do [ "$(tcp_rows)" -ge 100 ] && break; sleep 0.2; done
end_live
note "the second controller came back and went"

# Controller 1 (slot 2) from the first visit, controller 2 (slot 3) from the second.
awk '!/^#/ && $4 == "1"' "$work/set.txt" | grep -q . || fail "the first visit's control did not arrive"
awk '!/^#/ && $5 == "1"' "$work/set.txt" | grep -q . || fail "the second visit's control did not arrive"
[ "$(tcp_rows)" -eq 100 ] || fail "$(tcp_rows) of 100 TCP packets drawn during the flood"
grep -Eq "the port vanished [12] times" "$work/program.err" || fail "the vanished port was not counted"
# JACK's buffers hold a few hundred of them a cycle; what reaches the program is counted.
grep -Eq " [1-9][0-9]{2,} system exclusive" "$work/program.err" || fail "the flood was not counted"
echo "midi_port.sh: PASS"
