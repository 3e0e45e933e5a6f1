# Sourced by the end-to-end scripts that listen: free_port tcp|udp prints a loopback port that
# nothing listens on now, picked at random from 20000..59999, so that runs side by side (and
# anyone's live mode on 1024) never meet.
free_port() {
  local table=/proc/net/$1 port
  for _ in $(seq 1 100); do
    port=$((20000 + RANDOM % 40000))
    grep -qi ":$(printf '%04X' $port) " "$table" "${table}6" 2> /dev/null || { echo $port; return; }
  done
  echo "FAIL: no free $1 port found" >&2
  exit 1
}
