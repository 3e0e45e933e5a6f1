#!/usr/bin/env bash
# The live mode with no client: vantrel -pds -w under Xvfb draws the timed show every 500 ms, and
# every one of those frames must reach the GL window. Screenshots of that window over 8 seconds
# must all show the show's picture (the point burst, then the brick floor from 5.2 s), never a
# black window, and must change from one to the next.
# Usage: live_timer_frames.sh <path-to-vantrel> <build-dir>
set -u

vantrel="$(realpath "${1:?path to vantrel}")"
build="$(realpath "${2:?build directory}")"

if [ "${LIVE_TIMER_INSIDE:-}" != 1 ]; then
  if ! command -v xvfb-run > /dev/null; then
    echo "live_timer_frames.sh: skipped: xvfb-run is not installed"
    exit 0
  fi
  export LIVE_TIMER_INSIDE=1
  exec timeout -k 5 240 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$vantrel" "$build"
fi

work="$(mktemp -d)"
program=""
cleanup() {
  [ -n "$program" ] && kill -KILL "$program" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "live_timer_frames.sh: FAIL: $*"
  [ -f "$work/program.log" ] && sed 's/^/  vantrel: /' "$work/program.log" | tail -20
  rm -rf "$build/live-timer-failure" && cp -r "$work" "$build/live-timer-failure" &&
    echo "live_timer_frames.sh: pictures and log kept in $build/live-timer-failure"
  exit 1
}
alive() { kill -0 "$program" 2> /dev/null; }
# Mean and standard deviation of an image's grey levels, 0 to 1.
levels() { convert "$1" -colorspace Gray -format '%[fx:mean] %[fx:standard_deviation]' info:; }
differing() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

for tool in xdotool import compare convert; do
  command -v "$tool" > /dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

cd "$build" || fail "cannot enter $build"
# No client ever connects. Should port 1024 be taken by another program, the live mode says so
# and still draws its timer frames, which is all this test looks at.
SDL_AUDIODRIVER=dummy "$vantrel" -pds -w > "$work/program.log" 2>&1 &
program=$!

gl=""
for _ in $(seq 1 360); do
  alive || fail "vantrel -pds ended during loading"
  if xdotool search --name '^PDSServerObject$' > /dev/null 2>&1; then
    gl="$(xdotool search --name '^Vantrel Kelvara$' 2> /dev/null | head -1)"
    [ -n "$gl" ] && break
  fi
  sleep 0.5
done
[ -n "$gl" ] || fail "the live mode's windows did not appear within 180 s"

# The live clock started with the tool window; the first timer frame comes at 0.5 s.
previous=""
for shot in 1 2 3 4 5 6; do
  sleep 1.3
  alive || fail "vantrel ended with no client"
  import -window "$gl" "$work/shot$shot.png" || fail "cannot capture the GL window"
  read -r mean deviation < <(levels "$work/shot$shot.png")
  echo "live_timer_frames.sh: shot $shot: mean $mean, deviation $deviation"
  awk -v d="$deviation" 'BEGIN { exit !(d > 0.02) }' ||
    fail "shot $shot of the GL window is blank (mean $mean, deviation $deviation)"
  if [ -n "$previous" ]; then
    [ "$(differing "$previous" "$work/shot$shot.png")" != 0 ] ||
      fail "shots $((shot - 1)) and $shot are the same picture: the timer frames stopped"
  fi
  previous="$work/shot$shot.png"
done

kill -TERM "$program" 2> /dev/null
wait "$program" 2> /dev/null
program=""
grep -q "timer frames" "$work/program.log" || fail "no closing line from the live mode"
sed 's/^/live_timer_frames.sh: /' "$work/program.log" | grep "timer frames"
echo "live_timer_frames.sh: PASS"
