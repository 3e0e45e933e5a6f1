#!/usr/bin/env bash
# The X server going away (during the loading, then during the show) ends the program with one
# line that says so and status 1: no crash, no core, no hang.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
export SDL_AUDIODRIVER=dummy
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for when in loading show; do
  start_xserver 1024x768x24
  "$program" -w 2> "$log" &
  pid=$!
  if [ $when = loading ]; then
    sleep 3
  else
    for _ in $(seq 1 600); do grep -q "the show starts" "$log" && break; sleep 0.1; done
    sleep 1
  fi
  kill $XSERVER_PID
  for _ in $(seq 1 100); do kill -0 $pid 2> /dev/null || break; sleep 0.1; done
  kill -0 $pid 2> /dev/null && { kill -KILL $pid; echo "FAIL: still running 10 s after the X server ended ($when)"; exit 1; }
  wait $pid
  code=$?
  echo "X server ended during the $when: exit status $code; $(tail -n 1 "$log")"
  [ $code = 1 ] || { cat "$log"; echo "FAIL: exit status $code"; exit 1; }
  grep -q "connection to the X server was lost" "$log" || { cat "$log"; echo "FAIL: no message"; exit 1; }
done
echo PASS
