#!/usr/bin/env bash
# Without input the show ends by itself once 207 s of show time have passed, with exit code 0.
set -u
program="$1"
if ! command -v xvfb-run >/dev/null; then echo "skipped: xvfb-run missing"; exit 0; fi
export SDL_AUDIODRIVER=dummy
start=$(date +%s)
timeout 420 xvfb-run -a -s "-screen 0 1024x768x24" "$program" -w
code=$?
elapsed=$(( $(date +%s) - start ))
echo "exit code $code after ${elapsed} s"
[ $code -eq 0 ] || { echo "FAIL: exit code $code"; exit 1; }
[ $elapsed -ge 207 ] || { echo "FAIL: ended before 207 s of show time"; exit 1; }
echo "PASS"
