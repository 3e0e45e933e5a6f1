#!/usr/bin/env bash
# The stream client against small loopback servers: a server that closes at once is an error,
# numbers that overflow are refused, a set recorded with --record replays the same bytes,
# --osc sends OSC over UDP, and connecting gives up after --timeout.
# Usage: stream_client.sh <path-to-vantrel> <build-dir>
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
build="$(realpath "${2:?build directory}")"
stream="$build/tools/vantrel-stream"
work="$(mktemp -d /tmp/vantrel-stream-e2e.XXXXXX)"
servers=()
cleanup() {
  for pid in "${servers[@]}"; do kill "$pid" 2> /dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "stream_client.sh: FAIL: $*"
  exit 1
}
[ -x "$stream" ] || fail "no stream client at $stream"
command -v python3 > /dev/null || { echo "SKIP: no python3"; exit 77; }

# A one-connection server on an ephemeral loopback port: "close" closes the connection at once,
# "read" keeps every byte in <file> until the client ends; "udp" keeps one datagram; "full" never
# accepts and has its queue filled, so that a new connection gets no answer. It writes its port
# into <port-file> once it listens.
cat > "$work/server.py" << 'EOF'
import socket, sys
mode, port_file, out = sys.argv[1], sys.argv[2], sys.argv[3]
kind = socket.SOCK_DGRAM if mode == "udp" else socket.SOCK_STREAM
s = socket.socket(socket.AF_INET, kind)
s.bind(("127.0.0.1", 0))
if mode != "udp":
    s.listen(0 if mode == "full" else 1)
if mode == "full":
    fillers = []
    for _ in range(3):
        f = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        f.setblocking(False)
        f.connect_ex(s.getsockname())
        fillers.append(f)
    import time; time.sleep(0.5)
open(port_file + ".tmp", "w").write(str(s.getsockname()[1]))
import os; os.rename(port_file + ".tmp", port_file)
s.settimeout(30)
if mode == "full":
    import time; time.sleep(30)
    sys.exit(0)
if mode == "udp":
    data, _ = s.recvfrom(65536)
    open(out, "wb").write(data)
    sys.exit(0)
c, _ = s.accept()
if mode == "close":
    c.close()
    sys.exit(0)
data = b""
while True:
    chunk = c.recv(65536)
    if not chunk:
        break
    data += chunk
open(out, "wb").write(data)
c.close()
EOF
start_server() {  # mode name -> sets port
  rm -f "$work/$2.port"
  python3 "$work/server.py" "$1" "$work/$2.port" "$work/$2.bytes" &
  servers+=($!)
  for _ in $(seq 1 100); do [ -f "$work/$2.port" ] && break; sleep 0.05; done
  port="$(cat "$work/$2.port")"
}

# A server that closes before reading anything: exit 1 and say so.
start_server close closer
"$stream" --port "$port" 0.5 1 2 > "$work/closer.log" 2>&1
status=$?
[ "$status" -eq 1 ] || fail "a server that closed at once gave exit $status: $(cat "$work/closer.log")"
grep -q "closed the connection" "$work/closer.log" || fail "no message about the closed connection: $(cat "$work/closer.log")"

# Overflowing numbers are refused before anything is sent; "inf" written out is allowed.
"$stream" --port 9 1e39 > "$work/overflow.log" 2>&1
[ $? -eq 2 ] && grep -q "1e39" "$work/overflow.log" || fail "1e39 was not refused: $(cat "$work/overflow.log")"

# Record three packets, replay the recording: the same bytes reach the server.
start_server read first
printf '0.25 nan 1\n\n1e-3 -inf 4 5\n' | "$stream" --port "$port" --rate 20 --record "$work/set.txt" - > "$work/record.log" 2>&1 ||
  fail "recording failed: $(cat "$work/record.log")"
wait "${servers[-1]}"
[ "$(grep -vc '^#' "$work/set.txt")" -eq 3 ] || fail "the recording does not hold 3 packets: $(cat "$work/set.txt")"
start_server read second
"$stream" --port "$port" --replay "$work/set.txt" > "$work/replay.log" 2>&1 || fail "replay failed: $(cat "$work/replay.log")"
wait "${servers[-1]}"
cmp -s "$work/first.bytes" "$work/second.bytes" || fail "the replayed bytes differ from the recorded packets"
[ "$(stat -c %s "$work/first.bytes")" -eq $((16 + 4 + 20)) ] || fail "unexpected packet bytes"

# OSC: one /vantrel/packet message with the values as floats.
start_server udp osc
"$stream" --osc "$port" 0.5 nan 2 > "$work/osc.log" 2>&1 || fail "OSC sending failed: $(cat "$work/osc.log")"
wait "${servers[-1]}"
python3 - "$work/osc.bytes" << 'EOF' || fail "the OSC datagram is not /vantrel/packet ,fff 0.5 nan 2"
import math, struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:16] == b"/vantrel/packet\0", data
assert data[16:24] == b",fff\0\0\0\0", data
values = struct.unpack(">fff", data[24:36])
assert values[0] == 0.5 and math.isnan(values[1]) and values[2] == 2.0, values
EOF

# A server that never answers: the connect timeout ends the wait.
start_server full silent
SECONDS=0
"$stream" --port "$port" --timeout 1 1 > "$work/timeout.log" 2>&1
status=$?
[ "$status" -eq 1 ] || fail "a server that never answers gave exit $status: $(cat "$work/timeout.log")"
grep -q "no answer" "$work/timeout.log" || fail "no word of the timeout: $(cat "$work/timeout.log")"
[ "$SECONDS" -le 5 ] || fail "the connect timeout of 1 s took $SECONDS s"

echo "stream_client.sh: ok: closed server reported, overflow refused, record and replay alike, OSC sent, timeout honoured"
