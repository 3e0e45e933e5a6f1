# Shared by the end-to-end scripts that start the live mode beside a sound or MIDI server of their
# own: a scratch folder removed at the end with both processes, the failure report, and the live
# mode's start (offscreen, a port of its own, an empty configuration folder) and clean end.
# Before sourcing set: name (for messages) and logs (files in $work shown on a failure).
work="$(mktemp -d "/tmp/vantrel-$name-e2e.XXXXXX")"
server="" program=""
cleanup() {
  # $program is timeout(1), which does not pass a KILL on: its child goes first.
  [ -n "$program" ] && pkill -KILL -P "$program" 2> /dev/null && kill -KILL "$program" 2> /dev/null
  [ -n "$server" ] && kill "$server" 2> /dev/null && wait "$server" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$name.sh: FAIL: $*"
  for log in $logs; do
    [ -f "$work/$log" ] && tail -15 "$work/$log" | sed "s/^/  $log: /"
  done
  exit 1
}
note() { echo "$name.sh: ${SECONDS}s: $*"; }

# start_live AUDIO-DRIVER READY-LINE ARGS...: vantrel -pds with ARGS, its stream server on
# 127.0.0.1:$port, output in program.out and program.err, until READY-LINE appears on its
# standard error.
start_live() {
  local driver="$1" ready="$2"
  shift 2
  mkdir -p "$work/config"
  port=$((20000 + RANDOM % 20000))
  XDG_CONFIG_HOME="$work/config" SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER="$driver" timeout -k 5 150 \
    "$vantrel" -pds -w --listen 127.0.0.1 --port "$port" "$@" \
    > "$work/program.out" 2> "$work/program.err" &
  program=$!
  for _ in $(seq 1 600); do
    grep -q "$ready" "$work/program.err" && return 0
    kill -0 "$program" 2> /dev/null || fail "vantrel -pds ended before \"$ready\""
    sleep 0.2
  done
  fail "no \"$ready\" from vantrel -pds within 120 s"
}

# Ends the live mode as a performer's SIGTERM does; it must exit with 0.
end_live() {
  kill -0 "$program" 2> /dev/null || fail "vantrel -pds ended by itself"
  kill -TERM "$program"
  wait "$program"
  local status=$?
  program=""
  [ "$status" -eq 0 ] || fail "vantrel -pds exited with $status"
}

# A JACK server of our own with its dummy back end, under a name of its own so that runs side by
# side (and anyone's JACK) never meet. Synchronous: the server waits for each client's cycle, so a
# client slowed by a busy machine is late rather than losing that cycle's MIDI. Its threads run in
# real time where the system allows it (else it says so in jack.log and runs without).
start_jack() {
  export JACK_DEFAULT_SERVER="vantrel-e2e-$$-$RANDOM"
  export JACK_NO_AUDIO_RESERVATION=1
  timeout -k 5 170 jackd -S -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 > "$work/jack.log" 2>&1 &
  server=$!
}
