#!/usr/bin/env bash
# Without input the show ends by itself once 207 s of show time have passed, with exit code 0.
# Show time is timed from the line the program writes as the show's clock starts, so loading
# does not count; every line of standard error is stamped as it arrives.
set -u
program="$1"
if ! command -v xvfb-run >/dev/null; then echo "skipped: xvfb-run missing"; exit 0; fi
export SDL_AUDIODRIVER=dummy
stamped=$(mktemp)
trap 'rm -f "$stamped"' EXIT
{
  timeout 420 xvfb-run -a -s "-screen 0 1024x768x24" "$program" -w 2>&1 >/dev/null
  echo "exit code $?"
} | while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done >"$stamped"
cat "$stamped"
code=$(awk '/ exit code /{print $NF}' "$stamped")
started=$(awk '/ vantrel: the show starts$/{print $1; exit}' "$stamped")
ended=$(awk '/ exit code /{print $1}' "$stamped")
[ "$code" = 0 ] || { echo "FAIL: exit code $code"; exit 1; }
[ -n "$started" ] || { echo "FAIL: no line saying the show starts"; exit 1; }
shown=$(awk -v a="$started" -v b="$ended" 'BEGIN{printf "%.2f", b - a}')
echo "the show ran ${shown} s after its clock started"
awk -v s="$shown" 'BEGIN{exit !(s >= 207)}' || { echo "FAIL: ended before 207 s of show time"; exit 1; }
echo "PASS"
