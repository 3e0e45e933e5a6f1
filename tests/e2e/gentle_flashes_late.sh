#!/usr/bin/env bash
# Gentle mode late in the show, where the scenes flash by themselves rather than through the
# pulse track: the well scene's own pulses, 103 to 113 s, where the frame guard has the most to
# hold. No second holds more than three flashes, and the picture still changes in brightness often
# (the default show has about 120 changes here).
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
exec bash "$(dirname "${BASH_SOURCE[0]}")/gentle_flashes.sh" "$1" "${2:-}" 103 113 20
