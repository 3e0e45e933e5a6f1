#!/usr/bin/env bash
# Renders the show as N segments in parallel with GNU parallel and joins them, with the music,
# into one MP4 (ffmpeg's concat demuxer; the video is not encoded twice).
#
# Usage: scripts/render-segments.sh N OUT.mp4 [--fps F] [--jobs J] [--build DIR] [--to T]
#                                   [--sshlogin LOGIN ...]
#
# Segment k holds the frames k * total / N to (k + 1) * total / N - 1 of the F-frames-a-second
# show (F = 30), or of its first T seconds with --to. Each is a `vantrel --capture` run from its
# first frame: the show before it is advanced without drawing and its last 2 s drawn, so the
# segments join into the frames of one whole run. J jobs run at once (default: the number of cores). With --sshlogin (GNU parallel's
# syntax, repeatable; ":" is this machine; a whole ssh command line such as "ssh -p 2222 host"
# is taken too) segments are farmed out to other hosts, which need the same build at the same
# path and rsync; the segment files come back with parallel's --return.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

usage() { echo "usage: scripts/render-segments.sh N OUT.mp4 [--fps F] [--jobs J] [--build DIR] [--to T] [--sshlogin LOGIN ...]" >&2; exit 2; }
[ $# -ge 2 ] || usage
segments="$1" out="$2"
shift 2
[[ "$segments" =~ ^[1-9][0-9]*$ ]] || usage
fps=30 jobs="$(nproc)" build="$root/build" length=207 logins=()
while [ $# -gt 0 ]; do
  case "$1" in
    --fps) fps="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    --build) build="$(cd "$2" && pwd)"; shift 2 ;;
    --to) length="$2"; shift 2 ;;
    --sshlogin) logins+=(--sshlogin "$2"); shift 2 ;;
    *) usage ;;
  esac
done
program="$build/vantrel"
[ -x "$program" ] || { echo "render-segments: no program at $program (build first)" >&2; exit 2; }
command -v parallel > /dev/null || { echo "render-segments: GNU parallel is missing (apt-get install parallel)" >&2; exit 2; }
command -v ffmpeg > /dev/null || { echo "render-segments: ffmpeg is missing (apt-get install ffmpeg)" >&2; exit 2; }
music="$build/data/music.mp3"
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

[[ "$length" =~ ^[0-9]+(\.[0-9]+)?$ ]] && awk -v t="$length" 'BEGIN { exit !(t > 0 && t <= 207) }' || usage
# The show's frames are 0 to floor(T * F) (T = 207 for the whole show); each segment's range is
# given half a frame wide at both ends, so no frame falls between two segments or into both.
total=$(awk -v f="$fps" -v t="$length" 'BEGIN { printf "%d", int(t * f + 1e-9) + 1 }')
for ((k = 0; k < segments; ++k)); do
  first=$((k * total / segments)) next=$(((k + 1) * total / segments))
  awk -v k="$k" -v a="$first" -v b="$next" -v f="$fps" \
    'BEGIN { printf "%d %.6f %.6f\n", k, (a - 0.5) / f, (b - 0.5) / f }'
done > "$work/segments.txt"

start=$SECONDS
echo "render-segments: $segments segments of the show at $fps fps, $jobs at a time"
remote=()
[ ${#logins[@]} -gt 0 ] && remote=("${logins[@]}" --workdir ... --return "segment_{1}.mp4" --cleanup)
(cd "$work" && parallel --colsep ' ' --jobs "$jobs" --halt now,fail=1 --line-buffer "${remote[@]}" \
  "$program" --capture "segment_{1}.mp4" --fps "$fps" --from "{2}" --to "{3}" \
  :::: segments.txt 2>&1 | grep -v "^capture:" || true)
for ((k = 0; k < segments; ++k)); do
  [ -s "$work/segment_$k.mp4" ] || { echo "render-segments: segment $k was not rendered" >&2; exit 1; }
  echo "file 'segment_$k.mp4'" >> "$work/list.txt"
done

# The segments' own sound is left behind: the music goes on in one piece.
audio=()
[ -r "$music" ] && audio=(-i "$music" -map 0:v -map 1:a -c:a aac -b:a 192k -shortest)
(cd "$work" && ffmpeg -hide_banner -loglevel error -y -f concat -safe 0 -i list.txt "${audio[@]}" \
  -c:v copy -movflags +faststart "$out")
echo "render-segments: wrote $out in $((SECONDS - start)) s"
