#!/usr/bin/env bash
# Contact sheets for the README: one frame of every scene of the show and of the ending
# (docs/contact-sheet.jpg, rendered offscreen with --frames), and one picture of every live layer
# (docs/live-sheet.jpg, recorded sets of packets rendered offline by the live mode's replay).
# Usage: scripts/contact-sheet.sh [build-dir] [show|live|both] [frames-dir]
# A frames-dir of the whole show written by `vantrel --frames DIR` (13 frames a second or more)
# is used as it is instead of drawing the show again.
# Needs ImageMagick (montage) and ffmpeg.
# The show sheet draws each shot at 13 frames a second (the beat clock must see every step, so no
# lower rate) after advancing the show to it without drawing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:-$root/build}")"
what="${2:-both}"
frames_dir="${3:+$(realpath "$3")}"
vantrel="$build/vantrel"
docs="$root/docs"
mkdir -p "$docs"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

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
    # Each shot by a late start of its own: the show before it is only advanced, so this takes
    # about a minute, and the frames are those of a whole run.
    frames="$work/frames"
    for shot in "${shots[@]}"; do
      local time="${shot%%|*}"
      "$vantrel" --frames "$frames" --fps 13 --from "$(awk -v t="$time" 'BEGIN { print t - 0.04 }')" \
        --to "$(awk -v t="$time" 'BEGIN { print t + 0.04 }')" 2> "$work/frames.log" || {
        cat "$work/frames.log"
        exit 1
      }
    done
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
  # Each layer is a recorded set of 20 packets, 5 a second (so that feedback and trails build
  # up), rendered offline by the live mode's replay capture; the tile is the video frame of the
  # last packet, drawn after the timer's show frame of the same second, so it shows the layer.
  local args=() i=0
  for layer in "${layers[@]}"; do
    local set="$work/set_$i.txt"
    for n in $(seq 0 19); do
      awk -v n="$n" 'BEGIN { printf "%.6f ", n / 5 }' >> "$set"
      echo "${layer%%|*}" >> "$set"
    done
    (cd "$build" && SDL_AUDIODRIVER=dummy "$vantrel" -pds --replay "$set" --capture "$work/live_$i.mp4" \
      --fps 10 2> "$work/live_$i.log") || { cat "$work/live_$i.log"; exit 1; }
    ffmpeg -v error -y -i "$work/live_$i.mp4" -vf 'select=eq(n\,38)' -frames:v 1 "$work/live_$i.png"
    [ -s "$work/live_$i.png" ] || { echo "contact-sheet: no frame for ${layer#*|}"; exit 1; }
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
