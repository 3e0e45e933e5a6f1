#!/usr/bin/env bash
# Soak of the live mode: vantrel -pds -w offscreen, 32 loopback clients sending packets as fast as
# it takes them for the given time while its timer draws show frames, and an OSC sender over UDP
# beside them. Checks that it stays up, that its memory stays flat, that every whole packet sent
# was drawn and that every OSC message was drawn or counted (malformed, unknown, dropped).
# Usage: scripts/soak.sh [seconds (120)] [build-dir (build)]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-120}"
build="$(realpath "${2:-$root/build}")"
vantrel="$build/vantrel"
# Ports of its own on loopback only, free ones chosen by the system, so that no other live
# session, client or soak can meet this one.
free_port() {
  python3 -c 'import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM if sys.argv[1] == "udp" else socket.SOCK_STREAM)
s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' "$1"
}
port=$(free_port tcp)
osc_port=$(free_port udp)
clients=32
# Time for the server to draw what is still queued when the clients stop; generous, since a
# loaded 2-core machine may draw only a frame or two a second.
drain=600
[ -x "$vantrel" ] || { echo "soak.sh: $vantrel is missing: build it first"; exit 1; }

work="$(mktemp -d /tmp/vantrel-soak.XXXXXX)"
# A copy of the program and its data, so that rebuilding during a long soak does not touch it.
cp "$vantrel" "$work/vantrel"
cp -r "$build/data" "$work/data"
vantrel="$work/vantrel"
program=""
cleanup() {
  [ -n "$program" ] && kill -KILL "$program" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Built by CMake with the other tools; brought up to date here for a build made before.
client="$build/tools/soak-client"
cmake --build "$build" --target soak-client > /dev/null || { echo "soak: the soak client does not build"; exit 1; }

listening() { grep -q ":$(printf '%04X' $port) 00000000:0000 0A" /proc/net/tcp; }
if listening; then
  echo "soak.sh: port $port is already in use; stop the other live mode first"
  exit 1
fi
if grep -q ":$(printf '%04X' $osc_port) " /proc/net/udp; then
  echo "soak.sh: UDP port $osc_port is already in use"
  exit 1
fi
rss() { awk '/^VmRSS/ {print $2}' "/proc/$program/status" 2> /dev/null || echo 0; }

# The program finds its data beside itself; offscreen GL and a silent audio device.
cd "$work"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "$vantrel" -pds -w --listen 127.0.0.1 --port $port --osc $osc_port > "$work/out.log" 2>&1 &
program=$!
for _ in $(seq 1 600); do
  listening && break
  kill -0 "$program" 2> /dev/null || { echo "soak.sh: vantrel ended during start-up"; cat "$work/out.log"; exit 1; }
  sleep 0.2
done
listening || { echo "soak.sh: vantrel did not start listening on port $port"; exit 1; }
rss_idle=$(rss)
echo "soak.sh: vantrel $program listening; resident $rss_idle kB; $clients clients for $seconds s"

"$client" $port $clients "$seconds" $drain $osc_port > "$work/client.log" 2>&1 &
driver=$!
# The software renderer's memory settles once it has met the heaviest frames, which takes a
# while when frames are slow: growth is measured from a quarter of the run (at least 5 s) on.
sleep 5
rss_start=$(rss)
samples="$rss_start"
warm=$(( seconds / 4 > 5 ? seconds / 4 : 5 ))
elapsed=5
while kill -0 $driver 2> /dev/null; do
  sleep 10
  elapsed=$((elapsed + 10))
  kill -0 "$program" 2> /dev/null || break
  samples="$samples $(rss)"
  [ $elapsed -le $warm ] && rss_start=$(rss)
done
client_status=0
wait $driver || client_status=$?
rss_end=$(rss)
cat "$work/client.log"

# The OSC messages still queued are drawn within moments.
sleep 3
alive=1
kill -0 "$program" 2> /dev/null || alive=0
kill -TERM "$program" 2> /dev/null || true
for _ in $(seq 1 150); do kill -0 "$program" 2> /dev/null || break; sleep 0.2; done
exit_status=0
wait "$program" || exit_status=$?
program=""
grep -v '^$' "$work/out.log" | tail -5

sent=$(sed -n 's/.* \([0-9]*\) packets sent.*/\1/p' "$work/client.log")
sent_bad=$(sed -n 's/.* \([0-9]*\) out-of-sync counts sent.*/\1/p' "$work/client.log")
drawn=$(sed -n 's/.*live mode drew \([0-9]*\) packets.*/\1/p' "$work/out.log")
timer=$(sed -n 's/.* and \([0-9]*\) timer frames.*/\1/p' "$work/out.log")
drawn_bad=$(sed -n 's/.*; \([0-9]*\) out-of-sync counts.*/\1/p' "$work/out.log")
osc_sent=$(sed -n 's/.* \([0-9]*\) OSC messages sent.*/\1/p' "$work/client.log")
osc_line=$(grep 'OSC drew' "$work/out.log" || true)
osc_drawn=$(sed -n 's/.*OSC drew \([0-9]*\) messages.*/\1/p' <<< "$osc_line")
osc_malformed=$(sed -n 's/.* \([0-9]*\) malformed.*/\1/p' <<< "$osc_line")
osc_unknown=$(sed -n 's/.* \([0-9]*\) unknown.*/\1/p' <<< "$osc_line")
osc_dropped=$(sed -n 's/.* \([0-9]*\) datagrams dropped.*/\1/p' <<< "$osc_line")
osc_waiting=$(sed -n 's/.* \([0-9]*\) waiting at the close.*/\1/p' <<< "$osc_line")
osc_counted=$(( ${osc_drawn:-0} + ${osc_malformed:-0} + ${osc_unknown:-0} + ${osc_dropped:-0} + ${osc_waiting:-0} ))
echo "soak.sh: resident kB: idle $rss_idle, after $warm s of load $rss_start, end $rss_end (samples every 10 s: $samples)"
echo "soak.sh: packets sent ${sent:-?}, drawn ${drawn:-?}; out-of-sync sent ${sent_bad:-?}, seen ${drawn_bad:-?}; timer frames ${timer:-?}; exit $exit_status"
echo "soak.sh: OSC messages sent ${osc_sent:-?}: drawn ${osc_drawn:-?} + malformed ${osc_malformed:-?} + unknown ${osc_unknown:-?} + dropped by the system ${osc_dropped:-?} + waiting ${osc_waiting:-?} = $osc_counted"

ok=1
[ $alive = 1 ] || { echo "soak.sh: FAIL: vantrel died during the soak"; ok=0; }
[ $client_status = 0 ] || { echo "soak.sh: FAIL: the clients did not finish cleanly"; ok=0; }
[ $exit_status = 0 ] || { echo "soak.sh: FAIL: vantrel exited with $exit_status"; ok=0; }
[ -n "$sent" ] && [ "$sent" = "$drawn" ] || { echo "soak.sh: FAIL: not every packet sent was drawn"; ok=0; }
[ -n "$sent_bad" ] && [ "$sent_bad" = "$drawn_bad" ] || { echo "soak.sh: FAIL: out-of-sync counts differ"; ok=0; }
[ -n "$osc_sent" ] && [ "$osc_sent" = "$osc_counted" ] || { echo "soak.sh: FAIL: OSC messages unaccounted for"; ok=0; }
# Flat memory: no more than 16 MB of growth from the warmed-up start to the end.
[ $((rss_end - rss_start)) -le 16384 ] || { echo "soak.sh: FAIL: resident size grew by $((rss_end - rss_start)) kB"; ok=0; }
[ $ok = 1 ] && echo "soak.sh: passed" || exit 1
