#!/usr/bin/env bash
# Contact sheets for the README: one frame of every scene of the show and of the ending
# (docs/contact-sheet.jpg, rendered offscreen with --frames), and one picture of every live layer
# (docs/live-sheet.jpg, the live mode under Xvfb played by vantrel-stream).
# Usage: scripts/contact-sheet.sh [build-dir] [show|live|both] [frames-dir]
# A frames-dir of the whole show written by `vantrel --frames DIR` (13 frames a second or more)
# is used as it is instead of drawing the show again.
# Needs ImageMagick (montage, import), and for the live sheet xvfb-run and xdotool.
# The show sheet draws the show up to 205 s at 13 frames a second (the beat clock must see every
# step, so no lower rate): about a quarter of an hour on a 2-core machine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
what="${2:-both}"
frames_dir="${3:+$(realpath "$3")}"
if [ "$what" = live ] && [ "${CONTACT_SHEET_INSIDE:-}" != 1 ]; then
  export CONTACT_SHEET_INSIDE=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$build" live
fi
vantrel="$build/vantrel"
stream="$build/tools/vantrel-stream"
docs="$root/docs"
mkdir -p "$docs"
work="$(mktemp -d)"
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Tiles of 256 x 192 with their label under them, five to a row, as one JPEG.
sheet() {
  local out="$1" && shift
  montage "$@" -tile 5x -geometry 256x192+3+3 -background '#101014' -fill '#d8dce8' \
    -font DejaVu-Sans -pointsize 12 -quality 82 "$out"
  echo "contact-sheet: wrote $out ($(($(stat -c %s "$out") / 1024)) KB)"
}

show_sheet() {
  # Show time and label: every scene of the schedule in the order it first appears, the quick
  # cuts under the stars, and the ending.
  local shots=(
    "3.0|14: point burst" "15.0|1: rail and water" "36.0|5: light cones" "51.5|8: greetings"
    "62.0|6: dominoes" "72.0|7: dominoes, inverted" "83.0|2: rail, second variant"
    "93.0|3: rail, third variant" "108.0|9: the well" "128.0|10: flowers" "146.0|cloth"
    "165.8|4: rail, fourth variant" "181.0|quick cuts under the stars" "200.0|ending: flowers"
    "205.5|ending: the logo"
  )
  local frames="${frames_dir:-}"
  if [ -z "$frames" ]; then
    frames="$work/frames"
    "$vantrel" --frames "$frames" --fps 13 --from 0 --to 205.6 2> "$work/frames.log" || {
      cat "$work/frames.log"
      exit 1
    }
  fi
  local args=()
  for shot in "${shots[@]}"; do
    local time="${shot%%|*}" label="${shot#*|}"
    # The frame whose show time (in its name, frame_N_T.TTTs.png) lies nearest.
    local frame
    frame=$(ls "$frames" | awk -v t="$time" -F_ '/^frame_.*s\.png$/ {
        d = substr($3, 1, length($3) - 5) - t; if (d < 0) d = -d
        if (best == "" || d < bestd) { best = $0; bestd = d } } END { print best }')
    [ -n "$frame" ] || { echo "contact-sheet: no frames in $frames"; exit 1; }
    args+=(-label "$label" "$frames/$frame")
  done
  sheet "$docs/contact-sheet.jpg" "${args[@]}"
}

live_sheet() {
  # Slot values per picture (nan: absent) and its label.
  local layers=(
    "nan 1|slot 1: background pictures" "nan nan 0.6|slot 2: swarm feedback"
    "nan nan nan 1|slot 3: ring and crowd" "nan nan nan nan 0.5|slot 4: warp copies"
    "nan nan nan nan nan 1|slot 5: rings and pillars" "nan 0.5 nan nan nan nan 1 0.9|slots 6, 7: overlay picture"
    "nan nan nan nan nan nan nan nan 0.5|slot 8: swarm" "nan nan nan nan nan nan nan nan nan 1|slot 9: ring"
    "nan nan nan nan nan nan 4 nan nan nan 0.3|slots 6, 10: feedback"
    "nan 0.6 0.5 nan nan 1 2 0.6 nan 1|slots 1, 2, 5, 6, 7, 9"
  )
  if (exec 3<> /dev/tcp/127.0.0.1/1024) 2> /dev/null; then
    echo "contact-sheet: port 1024 is taken by another program; the live sheet needs it"
    exit 1
  fi
  (cd "$build" && SDL_AUDIODRIVER=dummy exec "$vantrel" -pds -w > "$work/live.log" 2>&1) &
  program=$!
  # The server listens once everything is loaded.
  local window=""
  for _ in $(seq 1 240); do
    ss -ltnp 'sport = :1024' 2> /dev/null | grep -q "pid=$program," && break
    sleep 0.5
  done
  window=$(xdotool search --name '^Vantrel Kelvara$' 2> /dev/null | head -1) || true
  [ -n "$window" ] || { echo "contact-sheet: the live mode did not start"; cat "$work/live.log"; exit 1; }
  local args=() i=0
  for layer in "${layers[@]}"; do
    # The picture is taken while the packets still come (after a few seconds, so that feedback
    # and trails have built up): once they stop, the timer's show frames take the window over.
    # Few packets a second, so that a slow machine does not fall behind and show older ones.
    # shellcheck disable=SC2086
    "$stream" --quiet --rate 5 --count 25 ${layer%%|*} &
    sleep 4
    import -window "$window" "$work/live_$i.png"
    wait $!
    args+=(-label "${layer#*|}" "$work/live_$i.png")
    i=$((i + 1))
  done
  sheet "$docs/live-sheet.jpg" "${args[@]}"
}

case "$what" in
  show) show_sheet ;;
  live) live_sheet ;;
  both) show_sheet && bash "$0" "$build" live ;;
  *) echo "usage: $0 [build-dir] [show|live|both]"; exit 2 ;;
esac
