#!/usr/bin/env bash
# Gentle mode late in the show, where the scenes flash by themselves rather than through the
# pulse track: the well scene's own pulses and the quick cuts around it, 103 to 113 s (the
# stretch with the most flashes a second left before the frame guard held them). No second holds
# more than three flashes, and the picture still changes in brightness often.
exec bash "$(dirname "${BASH_SOURCE[0]}")/gentle_flashes.sh" "$1" "${2:-}" 103 113 20
