#!/usr/bin/env bash
# The show on a 1920 x 1080 screen: full screen is the desktop's own resolution with the 800 x 600
# picture scaled to 1440 x 1080 between black bars, showing the offscreen frame of that show time;
# the screen's mode is the same afterwards; a window resized to 1000 x 500 shows it at 667 x 500.
# With --render-size native the frame is drawn at the screen's picture size: a screenshot is
# 1440 x 1080 and looks like the 800 x 600 frame of its time; the on-screen display sits inside
# the picture, its text on its backdrop as one rectangle.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
for tool in xdotool xrandr import compare convert mogrify; do
  command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
source "$(dirname "${BASH_SOURCE[0]}")/support/imaging-python.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy
# Screenshots go to the desktop's pictures folder.
mkdir -p "$work/config" "$work/pictures"
echo "XDG_PICTURES_DIR=\"$work/pictures\"" > "$work/config/user-dirs.dirs"
export XDG_CONFIG_HOME="$work/config"
# The light cones (25.8 s to 46.4 s) are drawn from the show time alone: offscreen frames a
# fifteenth of a second apart, as thumbnails, to find the one the screen showed. (15 frames a
# second meet the scene's first step; slower rates can step over it.)
"$program" --frames "$work/reference" --fps 15 --from 30 --to 44 2>"$work/reference.log" || {
  echo "FAIL: reference frames"; cat "$work/reference.log"; exit 1; }
# The first frame kept whole for the native size's screenshot.
cp "$work/reference/$(ls "$work/reference" | head -n 1)" "$work/first.png"
mogrify -resize '200x150!' "$work"/reference/*.png

# An X server on a display number it finds free itself.
start_xserver 1920x1080x24
bash -s "$program" "$work" "$python" <<'INNER'
set -u
program="$1"; work="$2"; python="$3"
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
# A key held long enough for the polled keyboard to see it.
tap() { xdotool keydown "$1"; sleep 0.3; xdotool keyup "$1"; }
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

# The screen's picture size, paused on the first frame at 30 s: a screenshot, then the display.
start --render-size native --pause
sleep 1.5
tap s
for _ in $(seq 1 100); do ls "$work"/pictures/*.png >/dev/null 2>&1 && break; sleep 0.1; done
tap o
sleep 1.5
import -window root "$work/display.png"
stop
shot=$(ls "$work"/pictures/*.png 2>/dev/null | head -n 1)
[ -n "$shot" ] || fail "no screenshot with --render-size native"
size=$(identify -format "%wx%h" "$shot")
[ "$size" = "1440x1080" ] || fail "the screenshot at the native size is $size"
# Area-averaged to 800 x 600's thumbnail it is that frame (the scenes may differ a little at
# other sizes: a tolerance).
convert "$shot" -resize '200x150!' "$work/native.png"
convert "$work/first.png" -resize '200x150!' "$work/first-small.png"
mae=$(compare -metric MAE "$work/native.png" "$work/first-small.png" null: 2>&1 | sed -E 's/.*\((.*)\).*/\1/')
echo "native screenshot against the 800 x 600 frame: mean difference $mae"
awk -v m="$mae" 'BEGIN { exit !(m < 0.05) }' || fail "the native size's picture is not the show's frame"
"$python" - "$shot" "$work/display.png" <<'CHECK' || fail "the on-screen display is not one rectangle inside the picture"
import sys
import numpy as np
from PIL import Image
shot = np.asarray(Image.open(sys.argv[1]).convert("RGB")).astype(int)
screen = np.asarray(Image.open(sys.argv[2]).convert("RGB")).astype(int)
# The picture is the frame shown pixel for pixel at x 240; what differs from it is the display.
picture = screen[:, 240:1680]
bars = max(screen[:, :240].max(), screen[:, 1680:].max())
changed = np.abs(picture - shot).max(axis=2) > 8
text = changed & (picture.min(axis=2) > 200)
if bars > 5 or not text.any():
    print("bars brightest %d, text pixels %d" % (bars, text.sum()))
    sys.exit(1)
def box(mask):
    ys, xs = np.nonzero(mask)
    return xs.min(), ys.min(), xs.max(), ys.max()
left, top, right, bottom = box(changed)
tleft, ttop, tright, tbottom = box(text)
filled = changed[top:bottom + 1, left:right + 1].mean()
print("display %d..%d x %d..%d, its text %d..%d x %d..%d, %.0f %% of it changed" %
      (left, right, top, bottom, tleft, tright, ttop, tbottom, 100 * filled))
inside = tleft - left >= 4 and right - tright >= 4 and ttop - top >= 4 and bottom - tbottom >= 4
sys.exit(0 if inside and filled > 0.8 else 1)
CHECK
echo "PASS"
INNER
