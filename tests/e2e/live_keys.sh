#!/usr/bin/env bash
# The live mode's keys under Xvfb: f switches the GL window to full screen and back, s saves the
# 800 x 600 frame into the pictures folder and says so, q ends the live mode with exit code 0.
# Usage: live_keys.sh <path-to-vantrel> <build-dir>
set -u
vantrel="$(realpath "${1:?path to vantrel}")"

VANTREL_E2E_TIMEOUT=${VANTREL_E2E_TIMEOUT:-300}
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
for tool in xdotool identify; do
  command -v "$tool" > /dev/null || { echo "SKIP: $tool is missing (scripts/setup.sh installs it)"; exit 77; }
done
source "$(dirname "${BASH_SOURCE[0]}")/support/xserver.sh"
source "$(dirname "${BASH_SOURCE[0]}")/support/free-port.sh"
source "$(dirname "${BASH_SOURCE[0]}")/support/window-keys.sh"
start_xserver 1280x1024x24
port=$(free_port tcp)

work="$(mktemp -d)"
program=""
cleanup() {
  [ -n "$program" ] && kill -KILL "$program" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "live_keys.sh: FAIL: $*"
  [ -f "$work/program.log" ] && tail -20 "$work/program.log"
  exit 1
}
alive() { kill -0 "$program" 2> /dev/null; }

# Screenshots go to the desktop's pictures folder.
mkdir -p "$work/config" "$work/pictures"
echo "XDG_PICTURES_DIR=\"$work/pictures\"" > "$work/config/user-dirs.dirs"
cd "$work" || fail "cannot enter $work"
XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=dummy \
  "$vantrel" -pds -w --listen 127.0.0.1 --port "$port" > "$work/program.log" 2>&1 &
program=$!

# The tool window appears when the server listens, after loading.
for _ in $(seq 1 360); do
  alive || fail "vantrel -pds ended during loading"
  xdotool search --name '^PDSServerObject$' > /dev/null 2>&1 && break
  sleep 0.5
done
window="$(xdotool search --name '^Vantrel Kelvara$' 2> /dev/null | head -1)"
[ -n "$window" ] || fail "no GL window titled Vantrel Kelvara"

resized f 1280x1024
resized f 800x600

tap s
for _ in $(seq 1 150); do
  grep -q "screenshot of" "$work/program.log" && break
  sleep 0.2
done
grep -q "screenshot of" "$work/program.log" || fail "no screenshot line after s"
shot=$(ls "$work"/pictures/vantrel-*.png 2> /dev/null | head -n 1)
[ -n "$shot" ] || fail "no screenshot in the pictures folder"
[ "$(identify -format '%wx%h' "$shot")" = 800x600 ] || fail "the screenshot is $(identify -format '%wx%h' "$shot")"

tap q
for _ in $(seq 1 150); do
  alive || break
  sleep 0.2
done
alive && fail "vantrel -pds still runs 30 s after q"
wait "$program"
status=$?
program=""
[ "$status" -eq 0 ] || fail "vantrel -pds ended with exit code $status after q"
echo "live_keys.sh: ok: f to full screen and back, s saved $(basename "$shot"), q ended with 0"
