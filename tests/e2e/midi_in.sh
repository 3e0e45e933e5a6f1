#!/usr/bin/env bash
# MIDI end to end: a JACK server of our own (dummy back end), vantrel -pds listening on its
# virtual MIDI port through JACK with a map that has a broken line, and vantrel-midi-send playing
# every mapped control, a 14-bit pair, pitch bend, a note, running status, a clock at 128 BPM with
# Start and Stop, a flood of system-exclusive messages and undefined bytes. The recorded set must
# hold every mapped value, the clock's tempo must be within 0.5 BPM from its second beat, the
# beat must hold after Stop, every bad message must be counted, and the set must render twice to the same bytes.
# Usage: midi_in.sh <path-to-vantrel> <build-dir>; exits 77 (skipped) when JACK is missing.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
vantrel="$(realpath "${1:?path to vantrel}")"
build="$(realpath "${2:?build directory}")"
send="$build/tools/vantrel-midi-send"
python=/usr/bin/python3
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

for tool in jackd timeout "$python"; do
  command -v "$tool" > /dev/null || { echo "midi_in.sh: skipped: $tool is not installed"; exit 77; }
done
[ -x "$send" ] || { echo "midi_in.sh: FAIL: no MIDI sender at $send"; exit 1; }

name=midi_in logs="jack.log program.err program.out"
cd "$build" || { echo "midi_in.sh: FAIL: cannot enter $build"; exit 1; }
. "$here/support/live_listening.sh"

start_jack

# The default map, then a 14-bit pair, pitch bend on channel 2, a broken line and one after it.
"$vantrel" --midi-map-default > "$work/midi.map" || fail "--midi-map-default failed"
default_lines=$(wc -l < "$work/midi.map")
cat >> "$work/midi.map" << 'MAP'
cc 20+52 -> slot 11 0..1
bend ch 2 -> slot 12 -1..1
cc 300 -> slot 1
cc 9 -> slot 13
MAP
broken=$((default_lines + 3))

start_live dummy "MIDI input on" --midi --midi-api jack --midi-map "$work/midi.map" --midi-monitor \
  --record "$work/set.txt"
grep -q "line $broken: a controller is a number from 0 to 127" "$work/program.err" ||
  fail "the broken map line $broken was not refused with its number"
note "the live mode listens on JACK"

# The sender keeps its clock by sleeping to each tick's time. With the program drawing on both
# cores beside it (and, in CI, another test), an ordinary thread wakes late now and then, and a few
# late ticks early on tilt the tempo the program reads from its first two beats (127.3 BPM once):
# the sender runs at a real-time priority where the machine allows it, as a MIDI clock source would.
realtime=()
command -v chrt > /dev/null && chrt -f 10 true 2> /dev/null && realtime=(chrt -f 10)
# Controllers 1 to 8 (slots 2 to 9), the pair, the bend, a note; b0 05 10 then 06 20 is
# controller 5 = 16, then controller 6 = 32 sent in running status; then the clock.
"${realtime[@]}" "$send" --api jack --wait 20 \
  cc 1 1 127 , cc 1 2 100 , cc 1 3 64 , cc 1 4 1 , cc 1 5 127 , cc 1 7 32 , cc 1 8 90 , \
  cc 1 20 64 , cc 1 52 0 , bend 2 16383 , cc 1 9 50 , note 1 36 127 , \
  raw b0 05 10 , raw 06 20 , sleep 0.3 , \
  start , clock 128 5 , stop , clock 128 1.5 , \
  > "$work/send1.log" 2>&1 || fail "the sender failed: $(cat "$work/send1.log")"
note "controls and 5 s of clock sent"
# A flood of system exclusive, undefined status bytes and a data byte with no status to run on,
# then one more control: it must still arrive.
( for _ in $(seq 1 300); do echo "sysex 64"; done; echo "raw f4"; echo "raw f5"; echo "raw 40 50"
  echo "sleep 0.2"; echo "cc 1 1 30" ) | "$send" --api jack --wait 5 > "$work/send2.log" 2>&1 ||
  fail "the flood's sender failed: $(cat "$work/send2.log")"
sleep 1
end_live
note "the live mode ended"

# Without real-time threads a busy machine delays ticks by whole cycles now and then: the tempo is
# then held to its half BPM once the line has four beats of ticks rather than after two.
first_beat=2
grep -qi "cannot use real-time" "$work/jack.log" && first_beat=6
"$python" - "$work" "$first_beat" << 'PY' || fail "the checks above failed"
import math, re, sys
work = sys.argv[1]
out = open(f"{work}/program.out").read().splitlines()
err = open(f"{work}/program.err").read()
bad = []
# Slot values as recorded: the state after the controls (before the last cc 1) and at the end.
rows = [l.split() for l in open(f"{work}/set.txt") if not l.startswith("#")]
def state(row):
    return [float(v) for v in row[1:]]
last = state(rows[-1])
before_last = state(rows[-2])
def slot(values, n):
    return values[n] if n < len(values) else math.nan
expect = {2: None, 3: 1, 4: 64 / 127, 5: 1, 6: 4 * 16 / 127, 7: 32 / 127, 8: 32 / 127, 9: 1, 11: (64 << 7) / 16383, 12: 1, 0: 1}
for n, want in expect.items():
    got = slot(before_last, n)
    if n == 2:
        continue
    if math.isnan(got) or abs(got - want) > 1e-4:
        bad.append(f"slot {n} is {got}, the map gives {want:.6f}")
if abs(slot(before_last, 2) - 1) > 1e-6: bad.append(f"slot 2 is {slot(before_last, 2)} after cc 1 = 127")
if abs(slot(last, 2) - 30 / 127) > 1e-4: bad.append(f"after the flood cc 1 = 30 set slot 2 to {slot(last, 2)}")
if not math.isnan(slot(before_last, 13)): bad.append("the rule after the broken line was applied")
if not math.isnan(slot(before_last, 1)): bad.append("the broken line's rule was applied")
# The clock: every beat from the fourth until Stop within 0.5 BPM, and the beat held after Stop.
beats, stop_at, after_stop = [], None, []
for line in out:
    m = re.search(r"clock, ([\d.]+) BPM, beat ([\d.]+)", line)
    if " stop" in line and "midi" in line:
        stop_at = float(line.rsplit(" ", 1)[1])
    elif m and stop_at is None:
        beats.append((round(float(m.group(2))), float(m.group(1))))
    elif m:
        after_stop.append(float(m.group(2)))
first_beat = int(sys.argv[2])
steady = [(b, bpm) for b, bpm in beats if b >= first_beat]
print("midi_in.sh: clock tempo by beat:", ", ".join(f"{b}:{bpm:.2f}" for b, bpm in beats))
if len(steady) < 4: bad.append(f"only {len(steady)} beats of clock seen from beat {first_beat}")
for b, bpm in steady:
    if abs(bpm - 128) > 0.5: bad.append(f"beat {b}: tempo {bpm:.2f} BPM")
if stop_at is None: bad.append("no Stop seen")
elif not after_stop: bad.append("no clock seen after Stop")
elif any(b != stop_at for b in after_stop):
    bad.append(f"the beat moved after Stop at {stop_at}: {after_stop}")
# Every bad message counted, and said at the end.
summary = re.search(r"MIDI received (\d+) messages.*?(\d+) system exclusive, (\d+) in running status, (\d+) unknown, (\d+) malformed", err)
if not summary: bad.append("no MIDI summary at the end")
else:
    sysex, running, unknown, malformed = map(int, summary.groups()[1:])
    if sysex != 300: bad.append(f"{sysex} system-exclusive messages counted, 300 sent")
    if running < 1: bad.append("the running-status message was not counted")
    if unknown != 2: bad.append(f"{unknown} undefined messages counted, 2 sent")
    if malformed != 1: bad.append(f"{malformed} malformed messages counted, 1 sent")
if not re.search(r"frames drawn by source: TCP 0, OSC 0, MIDI [1-9]", err): bad.append("no MIDI frames in the source counts")
for b in bad: print("midi_in.sh:", b)
sys.exit(1 if bad else 0)
PY
note "slots, tempo, Stop and the counts are right"

# The set, recorded from MIDI alone, renders twice to the same bytes (its first three seconds,
# which hold every control, keep the renders short).
if command -v ffmpeg > /dev/null; then
  awk '/^#/ || $1 < 3' "$work/set.txt" > "$work/start.txt"
  for run in 1 2; do
    SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout -k 5 120 "$vantrel" -pds --replay "$work/start.txt" \
      --capture "$work/set-$run.mp4" --fps 4 2> "$work/replay-$run.log" || fail "render $run: $(tail -3 "$work/replay-$run.log")"
  done
  cmp -s "$work/set-1.mp4" "$work/set-2.mp4" || fail "the two renders of the MIDI set differ"
  note "the MIDI set rendered twice to the same $(stat -c %s "$work/set-1.mp4") bytes"
fi
echo "midi_in.sh: PASS"
