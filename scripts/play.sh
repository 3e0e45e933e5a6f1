#!/usr/bin/env bash
# Sets up, builds, generates the data and plays the show. Arguments go to the program (-w, -pds).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$root/build/vantrel" "$@"
fi
mkdir -p "$root/out"
echo "play: no display here, so the show is rendered at 30 frames a second into $root/out/show.mp4 instead."
exec "$root/build/vantrel" --capture "$root/out/show.mp4" --fps 30
