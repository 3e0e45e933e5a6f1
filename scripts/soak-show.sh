#!/usr/bin/env bash
# Soak of the show itself: `vantrel -w --loop` in a window on a virtual X server of its own, its
# sound going to a PulseAudio server of its own (one null sink), for the given time. Samples the
# resident memory every 10 s, counts the sound server's underruns, and at the end compares the
# show's clock with the music heard (the clock log's last lines).
# Usage: scripts/soak-show.sh [seconds (3600)] [build-dir (build)]
# Prints its figures and leaves the run's logs in the folder it names; exits 1 when the program
# died, did not end on SIGTERM, or its memory grew by more than 5 MB after the first pass.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-3600}"
build="$(realpath "${2:-$root/build}")"
for tool in Xvfb pulseaudio pactl; do
  command -v $tool > /dev/null || { echo "soak-show.sh: $tool is missing"; exit 77; }
done
[ -x "$build/vantrel" ] || { echo "soak-show.sh: $build/vantrel is missing: build it first"; exit 1; }

work="$(mktemp -d /tmp/vantrel-soak-show.XXXXXX)"
# A copy of the program and its data, so that rebuilding during the hour does not touch it.
cp "$build/vantrel" "$work/vantrel"
cp -r "$build/data" "$work/data"
program="" xserver="" sound=""
cleanup() {
  for pid in $program $xserver $sound; do kill -TERM "$pid" 2> /dev/null; done
}
trap cleanup EXIT

# The sound server: one null sink, debug log with times (it names every underrun it recovers
# from), private socket and runtime folder so it meets no other session's.
mkdir -p "$work/pulse"
XDG_RUNTIME_DIR="$work/pulse" HOME="$work/pulse" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no -L "module-null-sink sink_name=soak" \
  -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
  --log-level=debug --log-time=true --log-target=stderr 2> "$work/pulse.log" &
sound=$!
sound_start=$(date +%s.%N)
export PULSE_SERVER="unix:$work/pulse/native"
for _ in $(seq 1 50); do pactl info > /dev/null 2>&1 && break; sleep 0.2; done
pactl info > /dev/null 2>&1 || { echo "soak-show.sh: the sound server did not start"; exit 1; }

# The X server on the first free display it finds.
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 2> "$work/xvfb.log" &
xserver=$!
exec 5>&-
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.2; done
[ -s "$work/display" ] || { echo "soak-show.sh: Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$work/display")"

rss() { awk '/^VmRSS/ {print $2}' "/proc/$program/status" 2> /dev/null || echo 0; }
passes() { grep -c "the show starts" "$work/out.log"; }

cd "$work"
SDL_AUDIODRIVER=pulseaudio VANTREL_CLOCK_LOG=1 ./vantrel -w --loop > /dev/null 2> "$work/out.log" &
program=$!
for _ in $(seq 1 600); do grep -q "the show starts" "$work/out.log" && break; sleep 0.5; done
start=$(date +%s)
show_start=$(date +%s.%N)
echo "soak-show.sh: vantrel $program on $DISPLAY with sound into a null sink for $seconds s (logs in $work)"
echo "# seconds pass resident-kB" > "$work/memory.txt"
alive=1
while [ $(( $(date +%s) - start )) -lt "$seconds" ]; do
  kill -0 "$program" 2> /dev/null || { alive=0; break; }
  echo "$(( $(date +%s) - start )) $(passes) $(rss)" >> "$work/memory.txt"
  sleep 10
done
kill -TERM "$program" 2> /dev/null
for _ in $(seq 1 50); do kill -0 "$program" 2> /dev/null || break; sleep 0.1; done
ended=1
kill -0 "$program" 2> /dev/null && { ended=0; kill -KILL "$program"; }
wait "$program"
status=$?
program=""

# Memory: when the show began, as the second pass began (the first pass has met every scene),
# and at the end.
rss_start=$(awk 'NR == 2 {print $3}' "$work/memory.txt")
rss_pass=$(awk 'NR > 1 && $2 >= 2 {print $3; exit}' "$work/memory.txt")
rss_end=$(awk 'END {print $3}' "$work/memory.txt")
rss_max=$(awk 'NR > 1 && $2 >= 2 && $3 > m {m = $3} END {print m + 0}' "$work/memory.txt")
underruns=$(grep -c "end of underrun" "$work/pulse.log")
# Underruns by ten minutes of the show (the loading's before it): a growing count shows there.
underrun_spread=$(grep "end of underrun" "$work/pulse.log" | tr -d '(|' |
  awk -v offset="$(echo "$sound_start - $show_start" | bc -l)" '{
    t = $1 + offset; b = t < 0 ? "loading" : sprintf("%d-%d min", int(t / 600) * 10, int(t / 600) * 10 + 10); n[b]++
    if (!(b in seen)) { seen[b] = 1; order[++k] = b } }
    END { for (i = 1; i <= k; i++) printf "%s%s: %d", (i > 1 ? ", " : ""), order[i], n[order[i]] }')
echo "soak-show.sh: passes begun $(passes), exit status $status after SIGTERM"
echo "soak-show.sh: resident kB: show start $rss_start, second pass start ${rss_pass:-none}, end $rss_end, largest after the first pass $rss_max"
# The program's own count: its last clock line while it ran, and its closing line.
program_underruns=$(grep "vantrel: sound:" "$work/out.log" | tail -n 1 | awk '{print $3}')
[ -n "$program_underruns" ] || program_underruns=$(grep "vantrel: clock wall" "$work/out.log" | tail -n 1 | sed -n 's/.*underruns \([0-9]*\).*/\1/p')
echo "soak-show.sh: sound server underruns: $underruns (${underrun_spread:-none}); the program counted ${program_underruns:-none}"
grep "vantrel: clock" "$work/out.log" | grep -v "clock end" | tail -n 3 | awk '{
  show = $6; heard = $8; stamps = $10; lead = $12;
  printf "soak-show.sh: wall %s show %.3f heard %.3f: show - lead - heard %+.1f ms, show - lead - stamps %+.1f ms\n",
         $4, show, heard, 1000 * (show - lead / 1000 - heard), 1000 * (show - lead / 1000 - stamps) }'
grep "clock end" "$work/out.log" | awk '{ printf "soak-show.sh: pass end: show %s, heard %s\n", $7, $10 }' | tail -n 3

ok=1
[ $alive = 1 ] || { echo "soak-show.sh: FAIL: vantrel died"; tail -20 "$work/out.log"; ok=0; }
[ $ended = 1 ] && [ "$status" = 0 ] || { echo "soak-show.sh: FAIL: no clean end on SIGTERM"; ok=0; }
if [ -n "$rss_pass" ] && [ $((rss_max - rss_pass)) -gt 5120 ]; then
  echo "soak-show.sh: FAIL: resident size grew by $((rss_max - rss_pass)) kB after the first pass"; ok=0
fi
[ $ok = 1 ] && echo "soak-show.sh: passed" || exit 1
