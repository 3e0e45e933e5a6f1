#!/usr/bin/env bash
# Damaged data: a copy of the data set with files of every kind missing, empty, cut short or of
# the wrong kind must still play through (offscreen, one frame a second of show time) with exit
# code 0 and the messages that say what was wrong; so must a program with no data directory.
# Usage: damaged_data.sh <path-to-vantrel> <build-dir>
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
vantrel="$(realpath "${1:?path to vantrel}")"
build="$(realpath "${2:?build directory}")"
if [ ! -d "$build/data" ]; then
  echo "SKIP: $build/data has not been generated"
  exit 77
fi
work="$(mktemp -d /tmp/vantrel-damaged.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail=0
check() { grep -qF -- "$2" "$1" || { echo "FAIL: no message containing: $2"; fail=1; }; }
sane() {
  if grep -qE 'AddressSanitizer|LeakSanitizer|runtime error|Segmentation|Aborted|terminate called' "$1"; then
    echo "FAIL: the run reported a crash or a sanitizer finding"
    fail=1
  fi
}

cp -r "$build/data" "$work/data"
d="$work/data"
cut_to() { head -c "$2" "$d/$1" > "$d/$1.cut" && mv "$d/$1.cut" "$d/$1"; }
# Pictures.
rm "$d/tog.jpg"                                   # missing
: > "$d/notwater.jpg"                             # empty
cut_to tivalen.jpg 300                            # cut short in the middle of the header
cut_to hore1.jpg 4000                             # cut short in the middle of the picture data
echo "This is a note, not a picture." > "$d/conemetal.jpg"   # text
cp "$d/cube.3ds" "$d/wheel.jpg"                   # a model where a picture should be
cp "$d/live_back5.bmp" "$d/loading.jpg"           # a BMP named as a JPEG
rm "$d/vantrel.jpg"                               # the logo's alpha picture missing
# Models.
rm "$d/dame.3ds"                                  # missing
: > "$d/flower.3ds"                               # empty
cut_to roomtug.3ds 50000                          # cut short
cp "$d/load.jpg" "$d/geo3.3ds"                    # a JPEG where a model should be
echo "not a model" > "$d/domino.3ds"              # text
# The cloth's hit surface of the wrong length, and music that is not music.
cut_to surface.hit 1000
echo "not music" > "$d/music.mp3"

cd "$work"
start=$(date +%s)
timeout -k 5 600 "$vantrel" --frames "$work/frames" --fps 1 --from 200 --to 200 > "$work/damaged.log" 2>&1
code=$?
echo "damaged data set: exit code $code after $(( $(date +%s) - start )) s"
cat "$work/damaged.log"
[ $code -eq 0 ] || { echo "FAIL: exit code $code"; fail=1; }
[ -n "$(ls "$work/frames" 2> /dev/null)" ] || { echo "FAIL: no frame was written"; fail=1; }
sane "$work/damaged.log"
check "$work/damaged.log" 'Couldn'"'"'t load JPG - "tog.jpg"'
check "$work/damaged.log" 'Couldn'"'"'t load JPG - "notwater.jpg"'
check "$work/damaged.log" 'Couldn'"'"'t load JPG - "conemetal.jpg"'
check "$work/damaged.log" 'Couldn'"'"'t load JPG - "vantrel.jpg"'
check "$work/damaged.log" 'dame.3ds'
check "$work/damaged.log" 'flower.3ds'
check "$work/damaged.log" 'roomtug.3ds'
check "$work/damaged.log" 'geo3.3ds'
check "$work/damaged.log" 'domino.3ds'
check "$work/damaged.log" 'surface.hit'

# No data directory at all: the program alone in an empty folder, started from another one.
mkdir -p "$work/alone" "$work/elsewhere"
cp "$vantrel" "$work/alone/vantrel"
cd "$work/elsewhere"
timeout -k 5 300 "$work/alone/vantrel" --frames "$work/frames2" --fps 1 --from 0 --to 3 > "$work/nodata.log" 2>&1
code=$?
echo "no data directory: exit code $code"
cat "$work/nodata.log" | head -20
[ $code -eq 0 ] || { echo "FAIL: exit code $code without a data directory"; fail=1; }
sane "$work/nodata.log"
check "$work/nodata.log" 'data directory'

[ $fail -eq 0 ] && echo "PASS" || exit 1
