#!/usr/bin/env bash
# Renders the same show times with a git revision and with this checkout's build and reports, per
# time, the share of pixels that differ and the largest difference (scripts/frame-diff.py); or,
# with --size, this build's frames at another size against its own frames at 800 x 600.
#
# Usage: scripts/compare-frames.sh REV [--build DIR] [--fps N] [--separate] [--times "T1 T2 ..."]
#                                      [--ssim] [--sweep | --seconds] [--keep DIR]
#        scripts/compare-frames.sh --size WxH [--build DIR] [--fps N] [--separate]
#                                      [--times "T1 T2 ..." | --sweep | --seconds] [--keep DIR]
#
# REV is built (program only) from `git archive` into a cache folder outside the checkout
# (${XDG_CACHE_HOME:-~/.cache}/vantrel-compare/<commit>), which is reused on later runs together
# with its frames. Both programs load this build's data set, so only the drawing is compared.
# By default each program draws the show once from the first to the last time at N frames a
# second (N = 10) and the frames at the chosen times are kept. With --separate this build renders
# each time by a run of its own (`--frames DIR --from T --to T`, which advances the show without
# drawing up to 2 s before T), so the comparison also checks that such a run gives the frame a
# whole run gives; the revision always draws its whole run. Exits with 1 when a frame differs by
# more than 1 level on more than 0.1 % of its pixels.
# With --ssim, for drawing made cheaper on purpose, the frames are compared by structural
# similarity instead (frame-diff.py --ssim: every frame at least 0.97, the mean at least 0.99,
# flashes and inversions in the same frames). --sweep compares every half second of the show
# (0.5 to 207 s, 414 frames) drawn at 60 frames a second; it implies --fps 60. --seconds compares
# every second (1 to 207 s, 207 frames) drawn at 25 frames a second; it implies --fps 25.
# --keep DIR copies the compared frames into DIR/before (the revision) and DIR/after (this build)
# so that they can be looked at once the comparison is over.
# --size WxH takes no revision: this build draws the chosen times at WxH (`--size WxH`) and at
# 800 x 600, each size in one run (or, with --separate, each time by a late start of its own at
# both sizes), and frame-diff.py --across-sizes compares the pictures: bars cropped, both
# area-averaged to 200 x 150, mean SSIM at least 0.98 and none below 0.95, each frame's mean
# brightness within 5.1 levels of the 800 x 600 frame's, flashes and inversions in the same
# frames. With --keep, DIR/reference and DIR/sized receive the frames at 800 x 600 and at WxH,
# DIR/reference-averaged and DIR/sized-averaged their 200 x 150 averages. Large sizes draw slowly
# (a second or more a frame at 1600 x 1200): --separate with a few times is the quick check.
# Runs that share a cache folder wait for each other: the revision is built, and its frames for one
# list of times are rendered, by one run at a time, and the others reuse what it left.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

rev="" build="$root/build" fps=10 separate=0 ssim=0 keep="" size=""
# Every scene, the scene burst, the star field over the scenes and the ending.
times="2.0 10.0 20.0 35.0 50.0 55.0 60.0 72.0 82.0 93.0 103.0 113.0 121.0 142.0 152.0 159.0 166.0 185.0 200.0 205.5"
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$(cd "$2" && pwd)"; shift 2 ;;
    --fps) fps="$2"; shift 2 ;;
    --separate) separate=1; shift ;;
    --ssim) ssim=1; shift ;;
    --sweep) fps=60; times="$(seq -f '%.1f' 0.5 0.5 207)"; times="${times//$'\n'/ }"; shift ;;
    --seconds) fps=25; times="$(seq 1 207)"; times="${times//$'\n'/ }"; shift ;;
    --size) size="$2"; shift 2 ;;
    --times) times="$2"; shift 2 ;;
    --keep) mkdir -p "$2"; keep="$(cd "$2" && pwd)"; shift 2 ;;
    -h|--help) sed -n '2,36p' "$0"; exit 0 ;;
    *) if [ -z "$rev" ]; then rev="$1"; shift; else echo "compare-frames: unknown argument $1" >&2; exit 2; fi ;;
  esac
done
[ -n "$rev" ] || [ -n "$size" ] || {
  echo "usage: scripts/compare-frames.sh REV [--build DIR] [--fps N] [--separate] [--times LIST] [--ssim] [--sweep | --seconds] [--keep DIR]" >&2
  echo "       scripts/compare-frames.sh --size WxH [--build DIR] [--fps N] [--separate] [--times LIST | --sweep | --seconds] [--keep DIR]" >&2
  exit 2
}
if [ -n "$size" ]; then
  [ -z "$rev" ] || { echo "compare-frames: --size compares this build with itself at 800 x 600; it takes no revision ($rev)" >&2; exit 2; }
  [ "$ssim" = 0 ] || { echo "compare-frames: --size always compares by structural similarity; --ssim is for revisions" >&2; exit 2; }
  # The program refuses these sizes too, but only once the 800 x 600 run beside it is under way.
  [[ "$size" =~ ^([0-9]{1,5})[xX]([0-9]{1,5})$ ]] || { echo "compare-frames: --size wants WxH, such as 1600x1200 (not $size)" >&2; exit 2; }
  width=$((10#${BASH_REMATCH[1]})) height=$((10#${BASH_REMATCH[2]}))
  if [ $((width * 3)) -ge $((height * 4)) ]; then
    picture_width=$(((height * 8 / 3 + 1) / 2)) picture_height=$height
  else
    picture_width=$width picture_height=$(((width * 3 / 2 + 1) / 2))
  fi
  ((picture_width >= 480 && picture_width <= 4096 && picture_height >= 360 && picture_height <= 3072)) || {
    echo "compare-frames: --size $size would draw a ${picture_width}x$picture_height picture; it must lie between 480x360 and 4096x3072" >&2
    exit 2
  }
fi
[ -x "$build/vantrel" ] && [ -d "$build/data" ] || { echo "compare-frames: no built program and data in $build" >&2; exit 2; }

# The comparison needs numpy and Pillow; a Python without them is found out here, before the long
# renders, not by a failure at the end. PYTHON chooses the interpreter.
python=""
for candidate in ${PYTHON:+"$PYTHON"} /usr/bin/python3 python3; do
  if "$candidate" -c 'import numpy, PIL' 2> /dev/null; then python="$candidate"; break; fi
done
[ -n "$python" ] || {
  echo "compare-frames: no Python 3 with numpy and Pillow found (tried ${PYTHON:+$PYTHON, }/usr/bin/python3 and python3 on PATH);" \
    "install python3-numpy and python3-pil, or name one with PYTHON=/path/to/python3" >&2
  exit 2
}

if [ -n "$rev" ]; then
  commit="$(git -C "$root" rev-parse --verify "$rev^{commit}")"
  cache="${XDG_CACHE_HOME:-$HOME/.cache}/vantrel-compare/$commit"
  mkdir -p "$cache"

  # The revision's program, built once per commit; a concurrent run for the same commit waits here
  # rather than building into the same folder.
  exec {build_lock}> "$cache/build.lock"
  flock "$build_lock"
  if [ ! -x "$cache/build/vantrel" ]; then
    echo "compare-frames: building $rev ($commit) in $cache"
    rm -rf "$cache/src" && mkdir -p "$cache/src"
    git -C "$root" archive "$commit" | tar -x -C "$cache/src"
    launcher=()
    command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$cache/src" -B "$cache/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVANTREL_TESTS=OFF -DVANTREL_BENCH=OFF "${launcher[@]}" > "$cache/configure.log"
    cmake --build "$cache/build" --target vantrel -j2 > "$cache/build.log" 2>&1 ||
      { tail -30 "$cache/build.log" >&2; exit 1; }
  fi
  flock -u "$build_lock"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The programs look for data/ in the current directory first.
mkdir -p "$work/run" && ln -s "$build/data" "$work/run/data"
read -r -a list <<< "$times"
first="${list[0]}" last="${list[${#list[@]}-1]}"

frame_index() { awk -v t="$1" -v f="$fps" 'BEGIN { printf "%06d", int(t * f + 0.5) }'; }

# prune DIR KEEPLIST: removes the finished frames in DIR whose names start with none of the lines.
prune() {
  # grep finding nothing to remove is no failure.
  find "$1" -name 'frame_*.png' -mmin +0.05 2> /dev/null | { grep -v -F -f "$2" || true; } | xargs -r rm -f
}

# run_program PROGRAM ARGS...: runs it in the data folder; its messages are shown only when it
# fails (returning 1).
run_program() {
  local log
  log="$(mktemp -p "$work")"
  (cd "$work/run" && "$@" 2> "$log") || {
    echo "compare-frames: $* failed:" >&2
    tail -20 "$log" >&2
    return 1
  }
}

# render PROGRAM OUTDIR SEPARATE [ARGS...]: leaves frame_NNNNNN_*.png for every chosen time in
# OUTDIR, passing ARGS to every run of the program.
render() {
  local program="$1" out="$2" separate="$3"
  local args=("${@:4}")
  mkdir -p "$out"
  if [ "$separate" = 1 ]; then
    for t in "${list[@]}"; do
      # Half a frame either side, so the frame nearest T is the one written.
      local low high
      low=$(awk -v t="$t" -v f="$fps" 'BEGIN { printf "%.6f", t - 0.5 / f }')
      high=$(awk -v t="$t" -v f="$fps" 'BEGIN { printf "%.6f", t + 0.5 / f }')
      run_program "$program" --frames "$out" --fps "$fps" --from "$low" --to "$high" "${args[@]}" || return 1
    done
  else
    local all="$out/all"
    local low high
    low=$(awk -v t="$first" -v f="$fps" 'BEGIN { printf "%.6f", t - 0.5 / f }')
    high=$(awk -v t="$last" -v f="$fps" 'BEGIN { printf "%.6f", t + 0.5 / f }')
    # Frames at no chosen time are removed while the run goes on, so that a sweep at 60 frames a
    # second does not fill the disk.
    local keep="$out/keep"
    for t in "${list[@]}"; do echo "frame_$(frame_index "$t")_"; done > "$keep"
    mkdir -p "$all"
    (while sleep 5; do prune "$all" "$keep"; done) &
    local pruner=$!
    local status=0
    run_program "$program" --frames "$all" --fps "$fps" --from "$low" --to "$high" "${args[@]}" || status=1
    kill "$pruner" 2> /dev/null || true
    wait "$pruner" 2> /dev/null || true
    [ "$status" = 0 ] || return 1
    prune "$all" "$keep"
    for t in "${list[@]}"; do mv "$all"/frame_"$(frame_index "$t")"_*.png "$out"/ 2> /dev/null || true; done
    rm -rf "$all"
  fi
  # A program stopped by a signal ends in order and with success, having written only some of
  # the frames: such a render is a failure, and the revision's frames are not kept as done.
  local t missing=0
  for t in "${list[@]}"; do
    compgen -G "$out/frame_$(frame_index "$t")_*.png" > /dev/null || missing=$((missing + 1))
  done
  [ "$missing" = 0 ] || { echo "compare-frames: $program left no frame at $missing of the chosen times" >&2; return 1; }
}

# pair_frames A_DIR B_DIR [KEEP_A KEEP_B]: sets pairs to frame-diff.py's labelled pairs of the
# frames at every chosen time, and copies them into the KEEP folders when they are named.
pair_frames() {
  pairs=()
  [ $# -lt 4 ] || mkdir -p "$3" "$4"
  local t index a b
  for t in "${list[@]}"; do
    index="$(frame_index "$t")"
    a=("$1"/frame_"$index"_*.png) b=("$2"/frame_"$index"_*.png)
    pairs+=(--label "${t}s" "${a[0]}" "${b[0]}")
    [ $# -lt 4 ] || cp -f "${a[0]}" "$3/" 2> /dev/null || true
    [ $# -lt 4 ] || cp -f "${b[0]}" "$4/" 2> /dev/null || true
  done
}

mode=$([ "$separate" = 1 ] && echo separate || echo range)
start=$SECONDS

if [ -n "$size" ]; then
  render "$build/vantrel" "$work/reference" "$separate" &
  reference_job=$!
  ok=1
  render "$build/vantrel" "$work/sized" "$separate" --size "$size" || ok=0
  wait "$reference_job" || ok=0
  [ "$ok" = 1 ] || { echo "compare-frames: a render failed; nothing compared" >&2; exit 1; }
  echo "compare-frames: $build at $size against 800x600 at $fps fps ($mode runs), rendered in $((SECONDS - start)) s"
  if [ -n "$keep" ]; then
    pair_frames "$work/reference" "$work/sized" "$keep/reference" "$keep/sized"
    "$python" "$root/scripts/frame-diff.py" --across-sizes --keep "$keep" "${pairs[@]}"
  else
    pair_frames "$work/reference" "$work/sized"
    "$python" "$root/scripts/frame-diff.py" --across-sizes "${pairs[@]}"
  fi
  exit
fi

key="$(printf '%s %s' "$fps" "$times" | md5sum | cut -c1-12)"
theirs="$cache/frames-$key"
# The revision's frames for these times, rendered unless an earlier run left them; the lock keeps a
# concurrent run for the same times from removing or reading them half written.
render_theirs() {
  local lock
  exec {lock}> "$theirs.lock"
  flock "$lock"
  [ -f "$theirs/done" ] && return 0
  rm -rf "$theirs"
  render "$cache/build/vantrel" "$theirs" 0 && touch "$theirs/done"
}
render_theirs &
theirs_job=$!
ours_ok=1
render "$build/vantrel" "$work/ours" "$separate" || ours_ok=0
wait "$theirs_job" || ours_ok=0
[ "$ours_ok" = 1 ] || { echo "compare-frames: a render failed; nothing compared" >&2; exit 1; }
echo "compare-frames: $rev against $build at $fps fps ($mode runs), rendered in $((SECONDS - start)) s"

if [ -n "$keep" ]; then
  pair_frames "$theirs" "$work/ours" "$keep/before" "$keep/after"
else
  pair_frames "$theirs" "$work/ours"
fi
if [ "$ssim" = 1 ]; then
  "$python" "$root/scripts/frame-diff.py" --ssim "${pairs[@]}"
else
  "$python" "$root/scripts/frame-diff.py" "${pairs[@]}"
fi
