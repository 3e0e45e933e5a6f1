#!/usr/bin/env bash
# Without input the show ends by itself once 207 s of show time have passed, with exit code 0.
# Show time is timed from the line the program writes as the show's clock starts, so loading
# does not count; every line of standard error is stamped as it arrives. The show follows the
# music as the sound device takes it, and SDL's dummy device takes a buffer every whole
# millisecond count plus whatever the sleep overshoots (0.2 % fast or slow of the wall clock);
# the program's clock log gives that rate, and the wall time is counted at it. The time until
# the exit also holds the shutdown, a tenth of a second or more, so the show time heard when the
# program decided to end, from its clock log, must have passed 207 s as well.
# VANTREL_RUNOUT_FROM=T starts the show at T seconds (--start T), for the sanitized builds, where
# the whole show is too slow to wait for; the ending's path is the same.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
export SDL_AUDIODRIVER=dummy VANTREL_CLOCK_LOG=1
stamped=$(mktemp)
trap 'rm -f "$stamped"' EXIT
# An X server on a display number it finds free itself.
start_xserver 1024x768x24
from="${VANTREL_RUNOUT_FROM:-0}"
start=()
[ "$from" = 0 ] || start=(--start "$from")
{
  timeout 420 "$program" -w "${start[@]}" 2>&1 >/dev/null
  echo "exit code $?"
} | while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done >"$stamped"
cat "$stamped"
code=$(awk '/ exit code /{print $NF}' "$stamped")
started=$(awk '/ vantrel: the show starts( at [0-9.]+ s)?$/{print $1; exit}' "$stamped")
ended=$(awk '/ exit code /{print $1}' "$stamped")
[ "$code" = 0 ] || { echo "FAIL: exit code $code"; exit 1; }
[ -n "$started" ] || { echo "FAIL: no line saying the show starts"; exit 1; }
# Heard seconds per wall second, from the first and last clock lines with the music playing.
rate=$(awk '/ vantrel: clock wall / && $9 != "nan" && $9 > 1 {
              if (!n++) { w0 = $5; h0 = $9 } w1 = $5; h1 = $9 }
            END { printf "%.6f", (n > 1 && w1 > w0) ? (h1 - h0) / (w1 - w0) : 1 }' "$stamped")
shown=$(awk -v a="$started" -v b="$ended" -v r="$rate" 'BEGIN{printf "%.2f", (b - a) * r}')
echo "the show ran ${shown} s of the device's time after its clock started (${rate} device s per s)"
awk -v s="$shown" -v f="$from" 'BEGIN{exit !(s >= 207 - f)}' ||
  { echo "FAIL: ended before $(awk -v f="$from" 'BEGIN{print 207 - f}') s of show time"; exit 1; }
decided=$(awk '/ vantrel: clock end /{print $NF}' "$stamped")
[ -n "$decided" ] || { echo "FAIL: no line saying when the show ended"; exit 1; }
echo "the show ended at ${decided} s of show time heard"
awk -v s="$decided" 'BEGIN{exit !(s >= 207)}' || { echo "FAIL: ended before 207 s had been heard"; exit 1; }
echo "PASS"
