#!/usr/bin/env bash
# Without a display the show refuses to start with a message that names the window and the
# offscreen options (exit code 1), both when SDL falls back by itself and when x11 is asked for.
# Usage: no_display.sh <path-to-vantrel> <build-dir>
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
vantrel="$(realpath "${1:?path to vantrel}")"
work="$(mktemp -d /tmp/vantrel-nodisplay.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail=0
for driver in "" x11; do
  for switches in "" "-w" "-pds -w"; do
    # shellcheck disable=SC2086
    env -u DISPLAY -u WAYLAND_DISPLAY ${driver:+SDL_VIDEODRIVER=$driver} SDL_AUDIODRIVER=dummy \
      timeout -k 5 60 "$vantrel" $switches > "$work/out.log" 2>&1
    code=$?
    echo "driver '${driver:-default}', switches '$switches': exit code $code"
    [ $code -eq 1 ] || { echo "FAIL: expected exit code 1"; cat "$work/out.log"; fail=1; }
    for text in "no display could be opened" "-w" "--capture" "--timedemo"; do
      grep -qF -- "$text" "$work/out.log" || { echo "FAIL: the message lacks '$text'"; fail=1; }
    done
    if grep -qE 'AddressSanitizer|runtime error|Segmentation' "$work/out.log"; then
      echo "FAIL: crash or sanitizer report"; cat "$work/out.log"; fail=1
    fi
  done
done
[ $fail -eq 0 ] && echo "PASS" || exit 1
