#!/usr/bin/env bash
# Output that cannot be finished is not left looking finished: --frames and --capture into a full
# disk (a small tmpfs), and a capture whose ffmpeg is killed, each end with a message and status 1;
# no cut-off frame or video is left under its name, and the frames written before stay whole.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
command -v ffmpeg > /dev/null || { echo "SKIP: ffmpeg is not installed"; exit 77; }
command -v identify > /dev/null || { echo "SKIP: identify (imagemagick) is not installed"; exit 77; }
work=$(mktemp -d)
full="$work/full"
mkdir -p "$full"
mount -t tmpfs -o size=1m tmpfs "$full" 2> /dev/null || { rm -rf "$work"; echo "SKIP: a tmpfs cannot be mounted (not root)"; exit 77; }
trap 'umount "$full"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$program" --frames "$full/frames" --fps 10 --from 30 --to 40 2> "$work/frames.log"
code=$?
tail -n 2 "$work/frames.log"
[ $code = 1 ] || fail "--frames into a full disk ended with $code"
grep -q "No space left on device" "$work/frames.log" || fail "--frames did not say the disk was full"
[ -z "$(ls "$full/frames" | grep -v '^frame_[0-9_.]*s\.png$')" ] || fail "left behind: $(ls "$full/frames")"
for frame in "$full"/frames/*.png; do
  identify -regard-warnings "$frame" > /dev/null 2>&1 || fail "$(basename "$frame") is cut off"
done
echo "frames: $(ls "$full/frames" | wc -l) whole frames kept"
rm -rf "$full/frames"

"$program" --capture "$full/show.mp4" --fps 10 --from 30 --to 60 2> "$work/capture.log"
code=$?
tail -n 2 "$work/capture.log"
[ $code = 1 ] || fail "--capture into a full disk ended with $code"
grep -q "No space left on device" "$work/capture.log" || fail "--capture did not say the disk was full"
[ -z "$(ls "$full")" ] || fail "left behind: $(ls "$full")"

# ffmpeg killed once it has taken frames for a moment: found as the program's grandchild (popen's
# shell) or child.
"$program" --capture "$work/killed.mp4" --fps 10 --from 30 --to 60 2> "$work/killed.log" &
pid=$!
encoder=""
for _ in $(seq 1 600); do
  shells=$(pgrep -d, -P $pid)
  [ -n "$shells" ] && encoder=$(pgrep -x ffmpeg -P "$pid,$shells" | head -n 1)
  [ -n "$encoder" ] && break
  sleep 0.1
done
[ -n "$encoder" ] || { kill $pid; fail "ffmpeg never started"; }
sleep 2
kill -KILL "$encoder"
wait $pid
code=$?
tail -n 1 "$work/killed.log"
[ $code = 1 ] || fail "a capture whose ffmpeg was killed ended with $code"
grep -q "ended by signal 9" "$work/killed.log" || fail "the killed ffmpeg was not reported"
[ ! -e "$work/killed.mp4" ] && [ ! -e "$work/killed.partial.mp4" ] || fail "a cut-off video was left"
echo PASS
