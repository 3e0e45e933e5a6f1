#!/usr/bin/env bash
# The sound input end to end: a PulseAudio server of our own with two null sinks (the program's
# music goes to one, the other's monitor is the default source), vantrel -pds --audio-in with the
# built-in map, and a 128 BPM click track then a drum loop played into the monitored sink. At least
# 95 % of the clicks must be found as onsets within 30 ms of their place, the tempo must read
# 128 +- 1 BPM from 8 s of clicks on, every kick must be found (and nothing else taken for one),
# and the flash slot must fire on the kicks. Then the sound server goes away: the live mode says
# so and goes on until it is ended.
# Usage: sound_in.sh <path-to-vantrel> <build-dir>; exits 77 (skipped) when PulseAudio is missing.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
vantrel="$(realpath "${1:?path to vantrel}")"
build="$(realpath "${2:?build directory}")"
python=/usr/bin/python3
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

for tool in pulseaudio pactl paplay timeout "$python"; do
  command -v "$tool" > /dev/null || { echo "sound_in.sh: skipped: $tool is not installed"; exit 77; }
done
"$python" -c "import numpy" 2> /dev/null || { echo "sound_in.sh: skipped: numpy is missing"; exit 77; }

name=sound_in logs="pulse.log program.err program.out"
cd "$build" || { echo "sound_in.sh: FAIL: cannot enter $build"; exit 1; }
. "$here/support/live_listening.sh"

read -r clicks kicks < <("$python" "$here/support/sound_tracks.py" "$work" 12 7) || fail "cannot make the tracks"

# A server of our own, on a socket in our folder: other PulseAudio users on the machine are untouched.
mkdir -p "$work/pulse"
export PULSE_RUNTIME_PATH="$work/pulse" PULSE_SERVER="unix:$work/pulse/native"
timeout -k 5 170 pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
  -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
  -L "module-null-sink sink_name=speakers sink_properties=device.description=Speakers" \
  -L "module-null-sink sink_name=room sink_properties=device.description=Room" > "$work/pulse.log" 2>&1 &
server=$!
for _ in $(seq 1 50); do pactl info > /dev/null 2>&1 && break; sleep 0.2; done
pactl set-default-sink speakers && pactl set-default-source room.monitor || fail "PulseAudio did not start"

start_live pulseaudio "listening to" --audio-in --midi-monitor --record "$work/set.txt"
sleep 1
note "the live mode listens; playing $clicks clicks, then $kicks beats of drums"
paplay --device=room "$work/clicks.wav" || fail "paplay failed"
sleep 1.5
paplay --device=room "$work/drums.wav" || fail "paplay failed"
sleep 1
# The sound server goes away, as an unplugged device does: said, and the live mode goes on.
kill "$server" && wait "$server" 2> /dev/null
server=""
for _ in $(seq 1 50); do grep -q "sound input .* stopped" "$work/program.err" && break; sleep 0.2; done
grep -q "sound input .* stopped" "$work/program.err" || fail "the sound input's end was not said"
sleep 1
end_live

"$python" - "$work" "$clicks" "$kicks" << 'PY' || fail "the checks above failed"
import re, sys
work, clicks, kicks = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
beat = 60 / 128.0
events = []
for line in open(f"{work}/program.out"):
    m = re.match(r"sound ([\d.]+) (onset|kick|beat)(?: ([\d.]+) BPM)?", line)
    if m:
        events.append((float(m.group(1)), m.group(2), float(m.group(3) or 0)))
onsets = sorted(t for t, kind, _ in events if kind == "onset")
bad = []
# The two tracks are told apart by the pause between them: the longest gap between onsets.
gaps = [(b - a, i) for i, (a, b) in enumerate(zip(onsets, onsets[1:]))]
if not gaps:
    sys.exit("sound_in.sh: no onsets at all")
split = max(gaps)[1] + 1
click_onsets, drums_start = onsets[:split], onsets[split]
# Each click's place on a 128 BPM grid through the clicks' median phase; an onset within 30 ms
# of a place finds that click.
first = click_onsets[0]
phase = sorted(((t - first + beat / 2) % beat) - beat / 2 for t in click_onsets)[len(click_onsets) // 2]
found = {round((t - first - phase) / beat) for t in click_onsets
         if abs(((t - first - phase + beat / 2) % beat) - beat / 2) <= 0.030}
share = len(found) / clicks
print(f"sound_in.sh: {len(found)} of {clicks} clicks found as onsets within 30 ms ({100 * share:.1f} %), "
      f"{len(click_onsets)} onsets in the click track")
if share < 0.95: bad.append("fewer than 95 % of the clicks found")
tempos = [(t - first, bpm) for t, kind, bpm in events if kind == "beat" and first <= t < drums_start]
late = [bpm for since, bpm in tempos if since >= 8]
print("sound_in.sh: tempo by beat:", ", ".join(f"{since:.1f}s:{bpm:.2f}" for since, bpm in tempos))
if not late: bad.append("no tempo from 8 s of clicks on")
elif any(abs(bpm - 128) > 1 for bpm in late): bad.append(f"tempo after 8 s: {late}")
kick_times = [t for t, kind, _ in events if kind == "kick" and t >= drums_start - 0.1]
on_grid = {round((t - kick_times[0]) / beat) for t in kick_times
           if abs(((t - kick_times[0] + beat / 2) % beat) - beat / 2) <= 0.030} if kick_times else set()
print(f"sound_in.sh: {len(kick_times)} kicks found for {kicks} played, {len(on_grid)} on the beat")
if len(on_grid) < kicks - 1 or len(kick_times) > kicks + 1: bad.append("the kicks were not found one for one")
if any(kind == "kick" and t < drums_start - 0.1 for t, kind, _ in events): bad.append("a click was taken for a kick")
rows = [l.split() for l in open(f"{work}/set.txt") if not l.startswith("#")]
flashes = sum(1 for r in rows if len(r) > 1 and r[1] != "nan" and float(r[1]) > 0)
print(f"sound_in.sh: {flashes} frames with the flash slot set")
if flashes < kicks - 1: bad.append("the flash slot did not fire on every kick")
for b in bad: print("sound_in.sh:", b)
sys.exit(1 if bad else 0)
PY
grep -q "sound: .* onsets, .* kicks" "$work/program.err" || fail "no sound summary at the end"
echo "sound_in.sh: PASS"
