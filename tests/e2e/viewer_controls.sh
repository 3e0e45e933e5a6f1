#!/usr/bin/env bash
# The viewer's keys pressed on a virtual X server, read back from the show's clock log: a pause
# holds the show time and the music while the wall clock moves, and the music plays on from the
# paused time; every jump lands on the frame a late start at its time shows (paused: exactly on
# its time); a screenshot taken there is the frame a paused late start at that time shows and
# the frame `--frames` draws, byte for byte, and holds none of the on-screen display the window
# shows (o); after resuming, and after muting and volume changes, the show's clock stays within
# 5 ms of the music; f, F11 and Alt+Enter switch to full screen (cursor hidden) and back (cursor
# shown); L turns looping on, so the show starts again at its end. Exits 77 (skipped) when a
# tool is missing.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$(realpath "$1")"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
for tool in xvfb-run xdotool import; do
  command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -c 'import numpy, PIL' 2>/dev/null || { echo "SKIP: python3 with numpy and PIL missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy VANTREL_CLOCK_LOG=1
# Screenshots go to the desktop's pictures folder.
mkdir -p "$work/config" "$work/pictures"
echo "XDG_PICTURES_DIR=\"$work/pictures\"" > "$work/config/user-dirs.dirs"
export XDG_CONFIG_HOME="$work/config"

# A display number of its own, from a random first try: scripts side by side never share one.
xvfb-run -a -n $((100 + RANDOM % 400)) -s "-screen 0 1280x1024x24" bash -s "$program" "$work" "$python" "$root" <<'INNER'
set -u
program="$1"; work="$2"; python="$3"; root="$4"
fail() { echo "FAIL: $*"; [ -f "$work/run.log" ] && grep -v "clock wall" "$work/run.log" | tail -20; exit 1; }
# Starts the program in the work folder and waits until the show itself plays.
start() {
  log="$1"; shift
  (cd "$work" && exec "$program" -w "$@") 2>"$log" &
  pid=$!
  for _ in $(seq 1 1200); do
    grep -q "the show starts" "$log" && break
    kill -0 $pid 2>/dev/null || fail "the program ended before the show"
    sleep 0.1
  done
  grep -q "the show starts" "$log" || { kill $pid; fail "the show did not start"; }
  window=$(xdotool search --name "^Vantrel Kelvara$" | head -n 1)
  [ -n "$window" ] || fail "no window"
}
# Presses a key (none: "") and waits for the line it makes (the count of lines matching a pattern
# grows).
press() {
  local key="$1" pattern="$2" before
  before=$(grep -c "$pattern" "$log")
  [ -z "$key" ] || tap "$key"
  for _ in $(seq 1 300); do
    [ "$(grep -c "$pattern" "$log")" -gt "$before" ] && return 0
    sleep 0.1
  done
  fail "no \"$pattern\" line after $key"
}
stop() {
  tap q
  for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
  kill -0 $pid 2>/dev/null && { kill -9 $pid; fail "still running after q"; }
  wait $pid || fail "exit code $?"
}
# Presses a key (none: "") and waits until a clock line after it matches a pattern (the state it
# sets).
state() {
  local key="$1" pattern="$2" before
  before=$(grep -c "clock wall" "$log")
  [ -z "$key" ] || tap "$key"
  for _ in $(seq 1 300); do
    grep "clock wall" "$log" | tail -n +$((before + 1)) | tail -n 1 | grep -q "$pattern" && return 0
    sleep 0.1
  done
  fail "the clock lines show no \"$pattern\" after $key"
}
mark() { echo "mark $1 $(date +%s.%N)" >> "$work/marks"; }
source "$root/tests/e2e/support/window-keys.sh"

start "$work/run.log" --start 100
log="$work/run.log"
sleep 2
mark pause
press space "paused 1"
sleep 3
mark jumps
press Right "clock jump"
press Up "clock jump"
press Down "clock jump"
press Left "clock jump"
press Home "clock jump"
press Up "clock jump"
press Up "clock jump"
press Right "clock jump"
press period "clock jump"
press period "clock jump"
press period "clock jump"
press comma "clock jump"
# The display switched on stays over the window, but out of the screenshot.
state o "display 1"
press s "screenshot of"
import -window "$window" "$work/window.png" || fail "cannot capture the window"
state o "display 0"
# Full screen and back, the held frame and the show going on; the cursor hidden in full screen.
resized f 1280x1024
state "" "cursor 0"
resized F11 800x600
state "" "cursor 1"
resized alt+Return 1280x1024
resized alt+Return 800x600
state "" "cursor 1"
mark resume
press space "paused 0"
sleep 3
mark volume
press 9 "volume 90"
sleep 1.5
press m "volume 0"
sleep 1.5
press 0 "volume 100"
sleep 2
mark playjump
press Right "clock jump"
sleep 2.5
mark end
# Looping on, then near the end: the show starts again instead of ending.
state L "loop 1"
press Up "clock jump"
press "" "the show starts again (pass 2)"
stop
shot=$(ls "$work"/pictures/vantrel-*.png 2>/dev/null | head -n 1)
[ -n "$shot" ] || fail "no screenshot in the pictures folder"
time=$(basename "$shot" .png | sed 's/^vantrel-//')
echo "screenshot: $(basename "$shot")"
mv "$shot" "$work/jumped.png"

# The same frame from a late start at that time, paused at once, in the same kind of window.
start "$work/late.log" --start "$time" --pause
press s "screenshot of"
stop
[ -f "$shot" ] || fail "the late start saved no $(basename "$shot")"
mv "$shot" "$work/late.png"
echo "$time" > "$work/time"
INNER
[ $? -eq 0 ] || exit 1
time=$(cat "$work/time")
# And as the offscreen modes draw it.
"$program" --frames "$work/frames" --from "$time" --to "$(awk -v t="$time" 'BEGIN { print t + 0.0005 }')" \
  2>"$work/frames.log" || { cat "$work/frames.log"; echo "FAIL: --frames"; exit 1; }
"$python" - "$work" <<'CHECK'
import glob, re, sys
import numpy as np
from PIL import Image

work = sys.argv[1]
failures = []
def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)

marks = {}
for line in open(work + "/marks"):
    _, name, wall = line.split()
    marks[name] = float(wall)
clock, jumps = [], []
number = r"(-?[0-9.]+|nan)"
for line in open(work + "/run.log"):
    m = re.search(r"clock wall %s show %s heard %s stamps %s lead %s ms scale [0-9.]+ music %s paused (\d) volume (\d+)" % ((number,) * 6), line)
    if m:
        clock.append(dict(zip("wall show heard stamps lead music paused volume".split(), map(float, m.groups()))))
    m = re.search(r"clock jump wall %s to %s landed %s in %s ms" % ((number,) * 4), line)
    if m:
        jumps.append(dict(zip("wall to landed ms".split(), map(float, m.groups()))))

# The pause: the show time and the music hold while the wall clock moves.
held = [c for c in clock if c["paused"] and marks["pause"] < c["wall"] < marks["jumps"]]
check(len(held) >= 2 and held[-1]["wall"] - held[0]["wall"] >= 1.5,
      "paused for %.1f s of wall clock" % (held[-1]["wall"] - held[0]["wall"] if held else 0))
check(len({c["show"] for c in held}) == 1, "the show time holds while paused")
check(len({c["music"] for c in held}) == 1, "the music's position holds while paused")
paused_at = held[0]["show"] if held else 0

# Every jump lands on the first frame of 60 a second at or after its target; paused, the
# targets after the first are frames, and the jumps land exactly on them.
steps = [5, 60, -60, -5, None, 60, 60, 5, 1 / 60, 1 / 60, 1 / 60, -1 / 60]
check(len(jumps) == len(steps) + 2, "%d jumps logged" % len(jumps))
previous = paused_at
for i, (jump, step) in enumerate(zip(jumps, steps)):
    expected = 0.0 if step is None else previous + step
    frame = jump["landed"] * 60
    check(abs(jump["to"] - expected) < 0.0015, "jump %d asked for %.3f s (expected %.3f)" % (i + 1, jump["to"], expected))
    check(abs(frame - round(frame)) < 1e-3 and -0.0006 <= jump["landed"] - jump["to"] < 1 / 60,
          "jump %d landed on frame %.3f at %.6f s" % (i + 1, frame, jump["landed"]))
    if i > 0:
        check(abs(jump["landed"] - expected) < 1e-5, "jump %d landed exactly on %.6f s" % (i + 1, expected))
    previous = jump["landed"]

# The music plays on from the paused time, without a jump; the show's clock (less the picture's
# lead) stays within 5 ms of the music heard after resuming, muting and volume changes. How far
# the heard clock is from the sound device's recent buffer stamps is printed: on a loaded machine
# SDL's dummy device takes its buffers unevenly, and the heard clock follows them at a bounded
# rate on purpose.
resumed = [c for c in clock if not c["paused"] and c["wall"] > marks["resume"]]
first = [c for c in resumed if c["wall"] < marks["volume"]]
if first:
    # Until the first resumed buffer reaches the listener the heard position stands a little
    # before the paused time (the output delay, longer when the sound thread waits for a busy
    # machine's cores); a restart from anywhere else is seconds away.
    gone = first[0]["wall"] - marks["resume"]
    check(previous - 0.15 <= first[0]["music"] <= previous + gone + 0.01,
          "resumed from %.3f s: music at %.3f s after %.2f s" % (previous, first[0]["music"], gone))
else:
    check(False, "a clock line after resuming")
settled = [c for c in resumed if marks["resume"] + 1.0 < c["wall"] < marks["end"] and
           not (marks["playjump"] < c["wall"] < marks["playjump"] + 1.0)]
check(len(settled) >= 5, "%d clock lines to compare" % len(settled))
check({90, 0, 100} <= {int(c["volume"]) for c in settled}, "volume 90, muted and 100 seen")
for c in settled:
    check(abs(c["show"] - c["lead"] / 1000 - c["music"]) <= 0.005,
          "volume %3d: show %.3f minus lead %.1f ms against music %.3f (heard %.3f, by the stamps %.3f)" %
          (c["volume"], c["show"], c["lead"], c["music"], c["heard"], c["stamps"]))

# A jump while playing lands on its frame and the show plays on from there.
jump = jumps[len(steps)]
after = [c for c in resumed if c["wall"] > jump["wall"] + 1.0]
check(bool(after) and abs(after[0]["show"] - (jump["landed"] + after[0]["wall"] - jump["wall"])) < 0.25,
      "playing on from the jump to %.3f s" % jump["landed"])
print("jump times (key to frame shown): " + ", ".join("%.0f ms" % j["ms"] for j in jumps[:-1]))

# The screenshot after the jumps is, byte for byte, the frame a paused late start shows and the
# frame the offscreen modes draw: every mode draws into the same kind of frame.
def pixels(path):
    return np.asarray(Image.open(path).convert("RGB")).astype(int)
jumped, late = pixels(work + "/jumped.png"), pixels(work + "/late.png")
offscreen = pixels(glob.glob(work + "/frames/*.png")[0])
check(jumped.shape == (600, 800, 3), "the screenshot is 800 x 600")
check(np.array_equal(jumped, late), "the screenshot equals a paused late start's (%d pixels differ)" % (jumped != late).any(axis=2).sum())
check(np.array_equal(jumped, offscreen),
      "the screenshot equals --frames' frame (%d pixels differ)" % (jumped != offscreen).any(axis=2).sum())
# The window showed the display over the frame at its upper left; below it, the frame itself.
window = pixels(work + "/window.png")
check(window.shape == jumped.shape and (window[12:60, 12:312] != jumped[12:60, 12:312]).any(axis=2).mean() > 0.5,
      "the window shows the on-screen display the screenshot does not hold")
check(window.shape == jumped.shape and np.array_equal(window[100:], jumped[100:]),
      "below the display the window shows the screenshot's frame")
sys.exit(1 if failures else 0)
CHECK
[ $? -eq 0 ] || { echo "FAIL"; exit 1; }
echo PASS
