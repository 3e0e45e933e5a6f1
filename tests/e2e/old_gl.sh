#!/usr/bin/env bash
# A driver that offers less than OpenGL 2.1 (Mesa told to claim 2.0) is refused at start-up with
# a message that names the version needed, and exit code 1.
# Usage: old_gl.sh <path-to-vantrel> <build-dir>
set -u
vantrel="$(realpath "${1:?path to vantrel}")"
work="$(mktemp -d /tmp/vantrel-oldgl.XXXXXX)"
trap 'rm -rf "$work"' EXIT
(cd "$work" && MESA_GL_VERSION_OVERRIDE=2.0 SDL_AUDIODRIVER=dummy timeout -k 5 60 "$vantrel" --timedemo > out.log 2>&1)
code=$?
echo "exit code $code"
cat "$work/out.log"
[ $code -eq 1 ] || { echo "FAIL: expected exit code 1"; exit 1; }
grep -qF "OpenGL 2.1" "$work/out.log" || { echo "FAIL: the message does not name OpenGL 2.1"; exit 1; }
echo "PASS"
