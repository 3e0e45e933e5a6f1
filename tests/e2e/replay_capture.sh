#!/usr/bin/env bash
# A recorded set rendered offline twice: vantrel -pds --replay SET --capture gives the same bytes
# both times, a video as long as the set, with sound; a broken recording is refused with its line.
# Usage: replay_capture.sh <path-to-vantrel> <build-dir>
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
vantrel="$(realpath "${1:?path to vantrel}")"
work="$(mktemp -d /tmp/vantrel-replay-e2e.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() {
  echo "replay_capture.sh: FAIL: $*"
  exit 1
}
command -v ffmpeg > /dev/null || { echo "SKIP: no ffmpeg"; exit 77; }
cd "$work" || fail "no scratch directory"

# Two seconds of a set: ten packets a second moving the warp, the ring and an overlay picture.
{
  echo "# vantrel-stream recording"
  for i in $(seq 0 19); do
    awk -v i="$i" 'BEGIN { t = i / 10; printf "%.6f nan %.3f nan nan %.3f nan %d 0.5 nan 1\n", t, 0.5 + 0.5 * sin(t), 0.5 + 0.5 * cos(t), i % 4 }'
  done
} > set.txt

for run in 1 2; do
  SDL_AUDIODRIVER=dummy "$vantrel" -pds --replay set.txt --capture "set-$run.mp4" --fps 5 > "run-$run.log" 2>&1 ||
    fail "render $run failed: $(tail -3 "run-$run.log")"
done
grep -q "replayed 20 packets and 4 timer frames" run-1.log || fail "unexpected counts: $(tail -2 run-1.log)"
cmp -s set-1.mp4 set-2.mp4 || fail "two renders of the same set differ"
streams="$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 set-1.mp4 | sort | tr '\n' ' ')"
[ "$streams" = "audio video " ] || fail "expected a video and an audio stream, found: $streams"
frames="$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 set-1.mp4)"
# Up to the first frame at or after the last packet (1.9 s): 0 to 2.0 s at 5 frames a second.
[ "$frames" -eq 11 ] || fail "expected 11 frames at 5 fps, found $frames"

printf '0.5 1\n0.25 2\n' > back.txt
SDL_AUDIODRIVER=dummy "$vantrel" -pds --replay back.txt --capture back.mp4 > back.log 2>&1 && fail "a set going back in time was rendered"
grep -q "line 2" back.log || fail "the refusal does not name the line: $(cat back.log)"
echo "replay_capture.sh: ok: two renders identical ($(stat -c %s set-1.mp4) bytes), $frames frames with sound"
