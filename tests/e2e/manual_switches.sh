#!/usr/bin/env bash
# --help and the manual page (docs/vantrel.1) list the same switches: a switch added to one and
# not the other fails here. --help's switch lines start with the switch; the page's with .B, .BI or .BR.
set -u
program="$1"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
help=$("$program" --help) || { echo "FAIL: --help"; exit 1; }
from_help=$(echo "$help" | grep -E '^ +-' | sed -E 's/ {2,}[^-].*$//' |
  grep -oE '(^| )-{1,2}[a-z][a-z-]*' | tr -d ' ' | sort -u)
from_page=$(grep -E '^\.(B|BI|BR) \\-' "$root/docs/vantrel.1" | sed 's/\\-/-/g' |
  grep -oE '(^|[ P])-{1,2}[a-z][a-z-]*' | sed 's/^[ P]//' | sort -u)
[ -n "$from_help" ] && [ -n "$from_page" ] || { echo "FAIL: no switches found"; exit 1; }
if [ "$from_help" != "$from_page" ]; then
  echo "FAIL: --help and docs/vantrel.1 list different switches"
  diff <(echo "$from_help") <(echo "$from_page") | sed 's/^</  only in --help:/; s/^>/  only in the page:/' | grep only
  exit 1
fi
echo "PASS: $(echo "$from_help" | wc -l) switches in both"
