#!/usr/bin/env bash
# --start 205 --loop: the show starts late, runs past its end into a second pass from 0 s and
# keeps playing until Escape, which ends it with 0. --list-scenes prints the scene table.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
scenes=$("$program" --list-scenes) || { echo "FAIL: --list-scenes"; exit 1; }
echo "$scenes" | grep -Eq '^ +12 +149\.677 s +193\.145 s +cloth-dragged$' || { echo "FAIL: scene 12 row"; echo "$scenes"; exit 1; }
"$program" --start 208 2>/dev/null && { echo "FAIL: a start past the show's end was taken"; exit 1; }
"$program" --start scene:15 2>/dev/null && { echo "FAIL: an unknown scene was taken"; exit 1; }
command -v xdotool >/dev/null || { echo "SKIP: xdotool missing"; exit 77; }
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy
# An X server on a display number it finds free itself.
start_xserver 1024x768x24
bash -s "$program" "$work" <<'INNER'
set -u
program="$1"; work="$2"
fail() { echo "FAIL: $*"; cat "$work/run.log"; exit 1; }
"$program" -w --start 205 --loop 2>"$work/run.log" &
pid=$!
for _ in $(seq 1 1200); do
  grep -q "the show starts again (pass 2)" "$work/run.log" && break
  kill -0 $pid 2>/dev/null || fail "the program ended instead of starting again"
  sleep 0.1
done
grep -q "the show starts again (pass 2)" "$work/run.log" || { kill $pid; fail "no second pass"; }
sleep 2
kill -0 $pid 2>/dev/null || fail "the second pass ended at once"
window=$(xdotool search --name "^Vantrel Kelvara$" | head -n 1)
[ -n "$window" ] && xdotool windowfocus "$window" 2>/dev/null
for _ in $(seq 1 100); do
  kill -0 $pid 2>/dev/null || break
  xdotool keydown Escape; sleep 0.2; xdotool keyup Escape
done
kill -0 $pid 2>/dev/null && { kill -9 $pid; fail "still running after Escape"; }
wait $pid
code=$?
cat "$work/run.log"
[ $code -eq 0 ] || fail "exit code $code"
echo "PASS"
INNER
