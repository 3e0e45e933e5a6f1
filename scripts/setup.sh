#!/usr/bin/env bash
# Installs what the build, the tests and the program need (Debian 12), then configures and builds.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
shift || true

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev fonts-dejavu-core
  libgl-dev libglu1-mesa-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  libjpeg-dev libpng-dev libmp3lame-dev liblo-dev
  libgtest-dev libbenchmark-dev libcli11-dev
  librtmidi-dev libaubio-dev libpulse-dev jackd2 libjack-jackd2-dev ableton-link-dev libasio-dev
  xvfb xauth xdotool x11-xserver-utils imagemagick ffmpeg sox parallel iproute2 man-db groff-base
  openssh-server openssh-client rsync
  pulseaudio pulseaudio-utils x11-utils python3 python3-numpy python3-pil
  clang-14 libfuzzer-14-dev libclang-rt-14-dev
  dpkg-dev lintian desktop-file-utils appstream file
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  # The whole list in one transaction: libsdl2-mixer-dev alone pulls in JACK 1's libjack-dev,
  # which jackd2 (installed later) would then replace by removing libsdl2-mixer-dev. Naming
  # libjack-jackd2-dev beside it settles JACK 2 from the start. jackd2 asks about realtime
  # priority through debconf; noninteractive takes the default.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi
# One package's dependencies can remove another's: check that every one is still there.
gone=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || gone+=("$p")
done
if [ ${#gone[@]} -gt 0 ]; then
  echo "setup: FAILED: not installed after setup: ${gone[*]}" >&2
  exit 1
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > /dev/null
cmake --build "$build" -j"$(nproc)"
