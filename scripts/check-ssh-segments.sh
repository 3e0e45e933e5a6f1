#!/usr/bin/env bash
# Farms segments of the show out over ssh to a second host on the loopback and checks the joined
# file: an sshd of its own (a spare port, a host key and a client key made for the run, nothing
# of the system's configuration used) receives render-segments' jobs, and the joined video must
# equal, byte for byte, the one the same segments give when rendered here.
#
# Usage: scripts/check-ssh-segments.sh [BUILD-DIR] [--to T] [--segments N]
# Exits 0 when the files match, 1 when they do not, 77 when sshd, ssh, rsync, GNU parallel or
# ffmpeg is missing (nothing to check with).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build" length=2 segments=2
while [ $# -gt 0 ]; do
  case "$1" in
    --to) length="$2"; shift 2 ;;
    --segments) segments="$2"; shift 2 ;;
    *) build="$(cd "$1" && pwd)"; shift ;;
  esac
done
sshd=/usr/sbin/sshd
for tool in ssh ssh-keygen rsync parallel ffmpeg; do
  command -v "$tool" > /dev/null || { echo "check-ssh-segments: $tool is missing; skipped"; exit 77; }
done
[ -x "$sshd" ] || { echo "check-ssh-segments: $sshd is missing (apt-get install openssh-server); skipped"; exit 77; }
[ -x "$build/vantrel" ] || { echo "check-ssh-segments: no program in $build" >&2; exit 2; }

work="$(mktemp -d)"
sshd_pid=""
cleanup() {
  [ -n "$sshd_pid" ] && kill "$sshd_pid" 2> /dev/null && wait "$sshd_pid" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A port nobody listens on: the first of a few random ones that ss does not list.
port=""
for _ in $(seq 20); do
  candidate=$((20000 + RANDOM % 20000))
  if ! ss -Hltn "sport = :$candidate" 2> /dev/null | grep -q .; then port=$candidate; break; fi
done
[ -n "$port" ] || { echo "check-ssh-segments: no free port found" >&2; exit 1; }

ssh-keygen -q -t ed25519 -N "" -C "segment host" -f "$work/host_key"
ssh-keygen -q -t ed25519 -N "" -C "segment client" -f "$work/client_key"
cp "$work/client_key.pub" "$work/authorized_keys"
echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$work/host_key.pub")" > "$work/known_hosts"
user="$(id -un)"
cat > "$work/sshd_config" << CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PidFile $work/sshd.pid
AllowUsers $user
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
UsePAM no
StrictModes no
MaxStartups 20
CONFIG
# sshd as root wants its privilege-separation folder, which only the system's service makes.
[ "$(id -u)" -eq 0 ] && mkdir -p /run/sshd
"$sshd" -D -e -f "$work/sshd_config" 2> "$work/sshd.log" &
sshd_pid=$!

ssh_command="ssh -F /dev/null -p $port -i $work/client_key -o IdentitiesOnly=yes -o BatchMode=yes \
-o UserKnownHostsFile=$work/known_hosts -o StrictHostKeyChecking=yes -o ConnectTimeout=10"
login="$ssh_command $user@127.0.0.1"
for _ in $(seq 50); do
  $login true 2> /dev/null && break
  kill -0 "$sshd_pid" 2> /dev/null || { echo "FAIL: sshd did not start"; cat "$work/sshd.log"; exit 1; }
  sleep 0.2
done
[ "$($login echo reached 2> "$work/ssh.log")" = reached ] || {
  echo "FAIL: the loopback host could not be reached over ssh"; cat "$work/ssh.log" "$work/sshd.log"; exit 1; }
echo "check-ssh-segments: sshd on 127.0.0.1:$port with a key of its own"

# Every segment goes to the ssh host (no ":"), so each one travels over ssh and back with rsync.
start=$SECONDS
timeout 900 "$root/scripts/render-segments.sh" "$segments" "$work/remote.mp4" --build "$build" --to "$length" \
  --jobs "$segments" --sshlogin "$login" > "$work/remote.log" 2>&1 || {
  echo "FAIL: render-segments over ssh failed"; cat "$work/remote.log"; exit 1; }
remote_seconds=$((SECONDS - start))
connections=$(grep -c "Accepted publickey" "$work/sshd.log" || true)
timeout 900 "$root/scripts/render-segments.sh" "$segments" "$work/local.mp4" --build "$build" --to "$length" \
  --jobs "$segments" > "$work/local.log" 2>&1 || { echo "FAIL: render-segments here failed"; cat "$work/local.log"; exit 1; }

frames=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$work/remote.mp4")
expected=$(awk -v t="$length" 'BEGIN { printf "%d", int(t * 30 + 1e-9) + 1 }')
echo "check-ssh-segments: $segments segments over ssh in $remote_seconds s ($connections ssh logins); $frames frames joined"
[ "$frames" = "$expected" ] || { echo "FAIL: the joined file has $frames frames, not $expected"; exit 1; }
[ "$connections" -ge "$segments" ] || { echo "FAIL: only $connections ssh logins for $segments segments"; exit 1; }
cmp -s "$work/remote.mp4" "$work/local.mp4" || { echo "FAIL: the file joined over ssh differs from the one rendered here"; exit 1; }
echo "PASS: the joined file is byte-identical to the same segments rendered here"
