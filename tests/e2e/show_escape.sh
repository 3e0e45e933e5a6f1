#!/usr/bin/env bash
# The real program in a real X window: it opens "Vantrel Kelvara", runs, and Escape ends it with 0;
# a terminate request (SIGTERM, as a session manager or `kill` sends) ends it with 0 as well, and
# in both cases the window is gone; a crash reports its signal and call stack.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
command -v xdotool >/dev/null || { echo "SKIP: xdotool missing"; exit 77; }
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
export SDL_AUDIODRIVER=dummy
TMPDIR_SHOW=$(mktemp -d)
export TMPDIR_SHOW
trap 'rm -rf "$TMPDIR_SHOW"' EXIT
# An X server on a display number it finds free itself.
start_xserver 1024x768x24
bash -s "$program" <<'INNER'
set -u
program="$1"
"$program" -w &
pid=$!
window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --name "^Vantrel Kelvara$" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then echo "FAIL: no window titled Vantrel Kelvara"; kill $pid; exit 1; fi
echo "window $window: $(xdotool getwindowname "$window")"
xdotool windowfocus "$window" 2>/dev/null
# Escape counts only when held during a keyboard poll of the show loop (after loading).
for _ in $(seq 1 240); do
  kill -0 $pid 2>/dev/null || break
  xdotool keydown Escape; sleep 0.25; xdotool keyup Escape
done
if kill -0 $pid 2>/dev/null; then echo "FAIL: still running after Escape"; kill -9 $pid; exit 1; fi
wait $pid
code=$?
echo "exit code $code"
[ $code -eq 0 ] || { echo "FAIL: exit code $code"; exit 1; }
[ -z "$(xdotool search --name "^Vantrel Kelvara$" 2>/dev/null)" ] || { echo "FAIL: the window stayed after Escape"; exit 1; }

# Starts the program with standard error into $1 and waits until the show runs (its start line).
start_show() {
  "$program" -w 2> "$1" &
  pid=$!
  for _ in $(seq 1 1200); do
    grep -q "the show starts" "$1" && return 0
    kill -0 $pid 2>/dev/null || { echo "FAIL: ended before the show"; cat "$1"; exit 1; }
    sleep 0.1
  done
  echo "FAIL: the show did not start"; kill -9 $pid; exit 1
}

# A terminate request once the show runs ends it within 5 s.
start_show "$TMPDIR_SHOW/term.log"
sleep 1
kill -TERM $pid
for _ in $(seq 1 50); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if kill -0 $pid 2>/dev/null; then echo "FAIL: still running 5 s after SIGTERM"; kill -9 $pid; exit 1; fi
wait $pid
code=$?
echo "exit code after SIGTERM $code"
[ $code -eq 0 ] || { echo "FAIL: exit code $code after SIGTERM"; exit 1; }
[ -z "$(xdotool search --name "^Vantrel Kelvara$" 2>/dev/null)" ] || { echo "FAIL: the window stayed after SIGTERM"; exit 1; }

# A crash (here a SIGSEGV sent from outside) leaves its signal and call stack on standard error
# and still ends the program with that signal. The stack starts in the program's handler (under
# ThreadSanitizer behind the sanitizer's own backtrace).
start_show "$TMPDIR_SHOW/crash.log"
kill -SEGV $pid
wait $pid
code=$?
echo "exit code after SIGSEGV $code"
[ $code -eq 139 ] || { echo "FAIL: exit code $code after SIGSEGV"; cat "$TMPDIR_SHOW/crash.log"; exit 1; }
grep -q "vantrel: crashed with signal 11" "$TMPDIR_SHOW/crash.log" &&
  grep -A2 "vantrel: call stack:" "$TMPDIR_SHOW/crash.log" | tail -n 2 | grep -q "vantrel(" ||
  { echo "FAIL: no crash report"; cat "$TMPDIR_SHOW/crash.log"; exit 1; }
echo "PASS"
INNER
