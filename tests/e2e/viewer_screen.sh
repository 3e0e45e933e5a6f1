#!/usr/bin/env bash
# The show on a 1920 x 1080 screen: full screen is the desktop's own resolution with the 800 x 600
# picture scaled to 1440 x 1080 between black bars, showing the offscreen frame of that show time;
# the screen's mode is the same afterwards; a window resized to 1000 x 500 shows it at 667 x 500.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
for tool in xdotool xrandr import compare convert mogrify; do
  command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy
# The light cones (25.8 s to 46.4 s) are drawn from the show time alone: offscreen frames a
# fifteenth of a second apart, as thumbnails, to find the one the screen showed. (15 frames a
# second meet the scene's first step; slower rates can step over it.)
"$program" --frames "$work/reference" --fps 15 --from 30 --to 44 2>"$work/reference.log" || {
  echo "FAIL: reference frames"; cat "$work/reference.log"; exit 1; }
mogrify -resize '200x150!' "$work"/reference/*.png

# An X server on a display number it finds free itself.
start_xserver 1920x1080x24
bash -s "$program" "$work" <<'INNER'
set -u
program="$1"; work="$2"
fail() { echo "FAIL: $*"; exit 1; }
# Starts the program with its arguments and waits until the show itself is playing.
start() {
  "$program" "$@" --start 30 2>"$work/run.log" &
  pid=$!
  for _ in $(seq 1 600); do
    grep -q "the show starts at" "$work/run.log" && return 0
    kill -0 $pid 2>/dev/null || { cat "$work/run.log"; fail "the program ended before the show"; }
    sleep 0.1
  done
  kill $pid; fail "the show did not start"
}
stop() {
  for _ in $(seq 1 100); do
    kill -0 $pid 2>/dev/null || break
    xdotool keydown Escape; sleep 0.2; xdotool keyup Escape
  done
  kill -0 $pid 2>/dev/null && { kill -9 $pid; fail "still running after Escape"; }
  wait $pid || fail "exit code $?"
}
# The largest value of any channel in a region, 0 to 1.
brightest() { convert "$1" -crop "$2" +repage -format "%[fx:maxima]" info:; }

mode_before=$(xrandr --current | head -n 1)
start
# A slow machine takes a while to present the first frames after the start.
sleep 2.5
import -window root "$work/full.png"
stop
mode_after=$(xrandr --current | head -n 1)
echo "before: $mode_before"
echo "after:  $mode_after"
[ "$mode_before" = "$mode_after" ] || fail "the screen's mode changed"

size=$(identify -format "%wx%h" "$work/full.png")
[ "$size" = "1920x1080" ] || fail "screenshot is $size"
left=$(brightest "$work/full.png" 238x1080+0+0)
right=$(brightest "$work/full.png" 238x1080+1682+0)
echo "bars: brightest $left (left), $right (right)"
awk -v l="$left" -v r="$right" 'BEGIN { exit !(l < 0.02 && r < 0.02) }' || fail "the bars are not black"
# The picture, scaled like the thumbnails, against the offscreen frames around that time.
convert "$work/full.png" -crop 1440x1080+240+0 +repage -resize '200x150!' "$work/picture.png"
best=1; best_frame=""
for frame in "$work"/reference/*.png; do
  mae=$(compare -metric MAE "$work/picture.png" "$frame" null: 2>&1 | sed -E 's/.*\((.*)\).*/\1/')
  if awk -v m="$mae" -v b="$best" 'BEGIN { exit !(m < b) }'; then best=$mae; best_frame=$frame; fi
done
echo "closest offscreen frame: $(basename "$best_frame"), mean difference $best"
flipped=$(convert "$work/picture.png" -flip png:- | compare -metric MAE - "$best_frame" null: 2>&1 | sed -E 's/.*\((.*)\).*/\1/')
echo "the same picture upside down: $flipped"
awk -v b="$best" 'BEGIN { exit !(b < 0.03) }' || fail "the picture does not match the offscreen frame"
awk -v b="$best" -v f="$flipped" 'BEGIN { exit !(b * 2 < f) }' || fail "the comparison cannot tell the picture from its mirror"

start -w
window=$(xdotool search --name "^Vantrel Kelvara$" | head -n 1)
[ -n "$window" ] || fail "no window"
xdotool windowsize "$window" 1000 500
sleep 1.5
import -window "$window" "$work/window.png"
stop
size=$(identify -format "%wx%h" "$work/window.png")
[ "$size" = "1000x500" ] || fail "window is $size after the resize"
left=$(brightest "$work/window.png" 164x500+0+0)
right=$(brightest "$work/window.png" 164x500+836+0)
inner=$(brightest "$work/window.png" 660x500+170+0)
echo "window bars: $left, $right; picture brightest $inner"
awk -v l="$left" -v r="$right" -v i="$inner" 'BEGIN { exit !(l < 0.02 && r < 0.02 && i > 0.2) }' ||
  fail "the window does not show the picture at 667 x 500 between black bars"
# The picture's edges: its first and last columns are lit, the bars' next to them are not.
edge_left=$(brightest "$work/window.png" 1x500+167+0)
edge_right=$(brightest "$work/window.png" 1x500+831+0)
awk -v l="$edge_left" -v r="$edge_right" 'BEGIN { exit !(l > 0.05 && r > 0.05) }' ||
  fail "the picture does not reach x 167 and 831 ($edge_left, $edge_right)"
echo "PASS"
INNER
