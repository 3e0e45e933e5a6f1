#!/usr/bin/env bash
# Ending the show at a random moment: Escape held, the window's close button, SIGINT or SIGTERM,
# sent at a random time from the program's start (the splash, the loading, the show, a late
# start's advance to its moment, the live mode with a TCP sender and an OSC sender in flight; half
# of the runs of the show and the live mode in a Link session, --link, where the script can run in
# a private network namespace with only loopback up, as it then does: Link's multicast stays in it). Every run must end with status 0, its window gone, without a
# crash report or a sanitizer's; a close request or signal must be honoured within a second
# (held to 5 s here, so that a loaded machine's slow frame does not fail the check; the runs
# slower than 1 s are counted).
# Usage: shutdown_moments.sh PROGRAM BUILD-DIR
#   VANTREL_SHUTDOWN_RUNS   runs (default 8); VANTREL_SHUTDOWN_LANES   runs side by side (1)
#   VANTREL_SHUTDOWN_LATEST the latest moment in seconds (default 20)
#   VANTREL_SHUTDOWN_ACTIONS the requests to choose from (default "escape close int term")
support="$(dirname "${BASH_SOURCE[0]}")/support"
VANTREL_E2E_TIMEOUT=${VANTREL_E2E_TIMEOUT:-$((${VANTREL_SHUTDOWN_RUNS:-8} * 90 / ${VANTREL_SHUTDOWN_LANES:-1} + 60))}
source "$support/outer-timeout.sh"
set -u
if [ -z "${VANTREL_SHUTDOWN_LINK:-}" ]; then
  if command -v unshare > /dev/null && command -v ip > /dev/null && unshare -n true 2> /dev/null; then
    VANTREL_SHUTDOWN_LINK=1 exec unshare -n bash "$0" "$@"
  fi
  VANTREL_SHUTDOWN_LINK=0
  echo "shutdown_moments: no private network namespace here: no runs with --link"
fi
if [ "$VANTREL_SHUTDOWN_LINK" = 1 ]; then
  ip link set lo up || { echo "FAIL: cannot bring loopback up in the namespace"; exit 1; }
  [ "$(ip -o link show | wc -l)" = 1 ] || { echo "FAIL: more than loopback in the namespace"; exit 1; }
fi
program="$(realpath "$1")"
build="$(realpath "$2")"
runs=${VANTREL_SHUTDOWN_RUNS:-8}
lanes=${VANTREL_SHUTDOWN_LANES:-1}
latest=${VANTREL_SHUTDOWN_LATEST:-20}
closer="$build/tests/close_window"
stream="$build/tools/vantrel-stream"
command -v xdotool > /dev/null || { echo "SKIP: xdotool is not installed"; exit 77; }
[ -x "$closer" ] || { echo "SKIP: $closer was not built (no X11 headers)"; exit 77; }
source "$support/xserver.sh"
source "$support/free-port.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# The sanitizers, when built in, report into the run's log and end it with status 99.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}:exitcode=99"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}:halt_on_error=1:exitcode=99"
export TSAN_OPTIONS="${TSAN_OPTIONS:-}:exitcode=99"

now() { date +%s.%N; }

# One run in its own folder: prints "PASS|FAIL action moment start latency-seconds", where start
# is the late start (s into the show, 0 for none) or "live".
one_run() {
  local run=$1 dir="$work/run$1"
  mkdir -p "$dir"
  local actions=(${VANTREL_SHUTDOWN_ACTIONS:-escape close int term}) starts=(0 0 0 150 live)
  local action=${actions[RANDOM % ${#actions[@]}]} start=${starts[RANDOM % 5]} linked=nolink
  [ "$start" = live ] && [ ! -x "$stream" ] && start=0
  # Escape is the show's key; the live mode ends by its windows or a signal.
  [ "$start" = live ] && [ $action = escape ] && action=close
  local moment
  moment=$(awk -v r=$RANDOM -v l="$latest" 'BEGIN { printf "%.2f", r / 32767 * l }')
  local args=(-w) port="" osc="" senders=()
  if [ "$start" = live ]; then
    port=$(free_port tcp)
    osc=$(free_port udp)
    args=(-pds -w --listen 127.0.0.1 --port "$port" --osc "$osc")
  elif [ "$start" != 0 ]; then
    args+=(--start "$start")
  fi
  if [ "$VANTREL_SHUTDOWN_LINK" = 1 ] && [ $((RANDOM % 2)) = 0 ]; then
    args+=(--link)
    linked=link
  fi
  local began pid window tries
  # A program that found no X server (a loaded one may refuse a connection for a moment) did not
  # start: it is started again, and the runs that needed it are counted.
  for tries in 1 2 3; do
    began=$(now)
    "$program" "${args[@]}" > /dev/null 2> "$dir/err.log" &
    pid=$!
    window=""
    # The window: the close button and the key need it; it appears before the splash.
    for _ in $(seq 1 300); do
      window=$(xdotool search --pid $pid --name "^Vantrel Kelvara$" 2> /dev/null | head -n 1)
      [ -n "$window" ] && break
      kill -0 $pid 2> /dev/null || break
      sleep 0.1
    done
    [ -n "$window" ] && break
    wait $pid
    grep -q "no display could be opened" "$dir/err.log" || break
    echo "RESTART run $run: no X server connection at the start"
  done
  if [ "$start" = live ]; then
    # Senders that wait for the server through its loading and send until it is gone.
    "$stream" --port "$port" --sweep --rate 100 --count 0 --timeout 120 --quiet > /dev/null 2>&1 &
    senders+=($!)
    "$stream" --osc "$osc" --sweep --rate 100 --count 0 --quiet > /dev/null 2>&1 &
    senders+=($!)
  fi
  local wait_for
  wait_for=$(awk -v b="$began" -v m="$moment" -v n="$(now)" 'BEGIN { w = b + m - n; printf "%.2f", (w > 0 ? w : 0) }')
  sleep "$wait_for"
  local sent
  sent=$(now)
  case $action in
    escape)
      # Escape counts once the show polls the keyboard: it is held until the program ends.
      xdotool windowfocus "$window" 2> /dev/null
      xdotool keydown --window "$window" Escape 2> /dev/null
      xdotool keydown Escape 2> /dev/null ;;
    close) "$closer" "$window" ;;
    int) kill -INT $pid ;;
    term) kill -TERM $pid ;;
  esac
  local limit=300 gone=""
  [ $action = escape ] && limit=1800
  for _ in $(seq 1 $limit); do
    kill -0 $pid 2> /dev/null || { gone=$(now); break; }
    sleep 0.02
  done
  [ $action = escape ] && xdotool keyup Escape 2> /dev/null
  for sender in "${senders[@]}"; do kill $sender 2> /dev/null; wait $sender 2> /dev/null; done
  local verdict=PASS
  if [ -z "$gone" ]; then
    verdict=FAIL
    echo "run $run: still running after $action at $moment s" >> "$dir/why"
    kill -ABRT $pid
    sleep 2
    kill -KILL $pid 2> /dev/null
  fi
  wait $pid
  local status=$?
  [ $status = 0 ] || { verdict=FAIL; echo "run $run: exit status $status" >> "$dir/why"; }
  if grep -q "crashed with signal\|ERROR: AddressSanitizer\|runtime error\|WARNING: ThreadSanitizer\|ERROR: LeakSanitizer" "$dir/err.log"; then
    verdict=FAIL
    echo "run $run: a crash or sanitizer report" >> "$dir/why"
  fi
  if [ -n "$window" ] && xdotool search --pid $pid --name "^Vantrel Kelvara$" > /dev/null 2>&1; then
    verdict=FAIL
    echo "run $run: the window stayed" >> "$dir/why"
  fi
  local latency
  latency=$(awk -v s="$sent" -v g="${gone:-$sent}" 'BEGIN { printf "%.2f", g - s }')
  # Runs that the program's ending deadline cut short (the main thread held by the GL driver past it).
  local cut=-
  grep -q "did not come back to the request to end" "$dir/err.log" && cut=deadline
  echo "$verdict $action $moment $start $latency $cut $linked"
  if [ $verdict = FAIL ]; then
    cat "$dir/why"
    tail -n 60 "$dir/err.log"
  else
    rm -rf "$dir"
  fi
}

# Lanes of runs side by side, each on a display of its own (a held key stays with its lane);
# each lane's runs one after another.
for lane in $(seq 1 "$lanes"); do
  (
    RANDOM=$((lane * 7919 + $$ + 10#$(date +%N) % 10000))
    start_xserver 1024x768x24
    for run in $(seq "$lane" "$lanes" "$runs"); do one_run "$run"; done
  ) 2>&1 | tee "$work/lane$lane.log" | grep --line-buffered "^PASS\|^FAIL" &
done
wait
cat "$work"/lane*.log > "$work/all.log"
# Each run's line (printed as it ends, so that a long batch stopped early keeps them): verdict,
# what ended it, its moment (s from the start), the late start (s into the show, 0 for none, or
# "live"), how long the program took to go, "deadline" where its ending deadline cut it short (else
# "-"), and "link" for a run in a Link session.
# Here the failures' details.
grep -v "^PASS" "$work/all.log" || true
total=$(grep -c "^PASS\|^FAIL" "$work/all.log")
failed=$(grep -c "^FAIL" "$work/all.log")
slow=$(awk '($1 == "PASS" || $1 == "FAIL") && $2 != "escape" && $5 > 1.0' "$work/all.log" | wc -l)
worst=$(awk '($1 == "PASS" || $1 == "FAIL") && $2 != "escape" && $5 > w {w = $5} END {print w + 0}' "$work/all.log")
for action in escape close int term; do
  echo "$action: $(awk -v a=$action '$2 == a' "$work/all.log" | wc -l) runs"
done
echo "live mode: $(awk '$4 == "live"' "$work/all.log" | wc -l) runs; late starts: $(awk '$4 == 150' "$work/all.log" | wc -l) runs; restarted for want of an X server: $(grep -c '^RESTART' "$work/all.log"); ended by the deadline: $(awk '$6 == "deadline"' "$work/all.log" | wc -l); in a Link session: $(awk '$7 == "link"' "$work/all.log" | wc -l) runs"
echo "shutdown_moments: $total runs, $failed failed; close and signals honoured in at most $worst s, $slow runs over 1 s; load $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$total" = "$runs" ] || { echo "FAIL: only $total of $runs runs finished"; exit 1; }
[ "$failed" = 0 ] || { grep "^FAIL" "$work/all.log"; exit 1; }
echo PASS
