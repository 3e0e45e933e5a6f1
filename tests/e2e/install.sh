#!/usr/bin/env bash
# cmake --install into a fresh prefix: the installed program, started from another folder, finds
# its installed data set and renders a range of frames without a message; the manual page renders;
# the menu entry and its icon are in place.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
build="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
for file in bin/vantrel bin/vantrel-stream bin/vantrel-datagen share/vantrel/music.mp3 \
            share/vantrel/load.jpg share/man/man1/vantrel.1.gz share/applications/vantrel.desktop \
            share/icons/hicolor/256x256/apps/vantrel.png; do
  [ -e "$work/prefix/$file" ] || fail "$file was not installed"
done
if command -v identify >/dev/null; then
  [ "$(identify -format %wx%h "$work/prefix/share/icons/hicolor/256x256/apps/vantrel.png")" = 256x256 ] ||
    fail "the icon is not 256 x 256"
fi
grep -q '^Exec=vantrel$' "$work/prefix/share/applications/vantrel.desktop" || fail "menu entry"
mkdir "$work/elsewhere"
cd "$work/elsewhere"
"$work/prefix/bin/vantrel" --frames frames --fps 15 --from 1 --to 1.2 2>"$work/run.log" || { cat "$work/run.log"; fail "installed program"; }
# Only the progress and the closing lines: no message about missing data.
if grep -v -e '^frames:' -e '^vantrel: wrote ' -e '^vantrel: made by ' -e '^vantrel: [0-9]* frames of .* of wall time: ' "$work/run.log" | tr '\r' '\n' | grep -v -e '^frames:' -e '^ *$' | grep -q .; then
  cat "$work/run.log"; fail "the installed program printed a message"
fi
[ "$(ls frames | wc -l)" -eq 4 ] || fail "expected 4 frames, got $(ls frames)"
if command -v man >/dev/null; then
  MANWIDTH=80 man -l "$work/prefix/share/man/man1/vantrel.1.gz" >"$work/man.txt" 2>"$work/man.err" || fail "man -l"
  [ -s "$work/man.err" ] && { cat "$work/man.err"; fail "man -l complained"; }
  for section in SYNOPSIS OPTIONS "LIVE WIRE FORMAT" FILES "EXIT STATUS"; do
    grep -q "^$section" "$work/man.txt" || fail "the manual page has no $section"
  done
  for option in -w -pds --loop --start --list-scenes --capture --frames --fps --from --timedemo --help; do
    grep -q -- "$option" "$work/man.txt" || fail "the manual page does not mention $option"
  done
fi
echo "PASS"
