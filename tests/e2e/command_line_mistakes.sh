#!/usr/bin/env bash
# Mistakes on the command line, typed from a shell as a new user would: each is said in one line
# (and at most a second that points to --help) and ends with status 2 before anything starts: no
# window, no sound, nothing written. The program's times, frame rate, port, scene and switches;
# the MIDI sender's and the stream client's numbers.
# Usage: command_line_mistakes.sh <path-to-vantrel> <build-dir>
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$(realpath "$1")"
build="$(realpath "${2:?build directory}")"
send="$build/tools/vantrel-midi-send"
stream="$build/tools/vantrel-stream"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
  echo "command_line_mistakes.sh: FAIL: $*"
  exit 1
}
[ -x "$send" ] && [ -x "$stream" ] || fail "no MIDI sender or stream client in $build/tools"
# Should a mistake be taken, nothing may appear on a screen or a speaker either.
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

# refused NAME WORDS COMMAND...: COMMAND, run in an empty folder, exits with 2 within seconds,
# says a first line "NAME: ..." that holds WORDS, then at most the pointer to --help, prints
# nothing on standard output and leaves the folder empty.
refused() {
  local name="$1" words="$2"
  shift 2
  local here="$work/here"
  rm -rf "$here"
  mkdir "$here"
  (cd "$here" && timeout -k 5 20 "$@" > "$work/out" 2> "$work/err")
  local status=$? said
  said="$(cat "$work/err")"
  [ $status -eq 2 ] || fail "'${*:2}' gave status $status: $said"
  head -1 "$work/err" | grep -q "^$name: " && head -1 "$work/err" | grep -qF -- "$words" ||
    fail "'${*:2}' did not say '$words': $said"
  case "$(wc -l < "$work/err")" in
    1) ;;
    2) [ "$(sed -n 2p "$work/err")" = "Try '$name --help' for more information." ] || fail "'${*:2}' said more: $said" ;;
    *) fail "'${*:2}' said more than one line and the pointer to --help: $said" ;;
  esac
  [ ! -s "$work/out" ] || fail "'${*:2}' printed: $(cat "$work/out")"
  [ -z "$(ls -A "$here")" ] || fail "'${*:2}' wrote $(ls -A "$here")"
}

refused vantrel "--from: nan" "$program" --frames out --from nan --to 1
refused vantrel "--from: -1" "$program" --frames out --from -1
refused vantrel "--to: 1e30" "$program" --capture out.mp4 --to 1e30
refused vantrel "--fps: 0" "$program" --capture out.mp4 --fps 0
refused vantrel "--fps: 1001" "$program" --frames out --fps 1001
refused vantrel "--port: 70000" "$program" -pds --port 70000
refused vantrel "scene:42" "$program" --start scene:42
refused vantrel "unknown option --foo" "$program" -w --foo
# Sizes whose picture would be smaller or larger than the show draws, and a video of odd width.
refused vantrel "400x300 picture" "$program" --frames out --size 400x300
refused vantrel "5000x3750 picture" "$program" --timedemo --size 5000x3750
refused vantrel "even width and height" "$program" --capture out.mp4 --size 1921x1080

# The sender checks its whole script before it opens a port or waits for one.
refused vantrel-midi-send "--wait: -1" "$send" --wait -1 cc 1 1 64
refused vantrel-midi-send "cc 1 200 64: 200" "$send" --virtual cc 1 200 64
refused vantrel-midi-send "note 17 60 100: 17" "$send" --virtual note 17 60 100
refused vantrel-midi-send "bend 1 16384: 16384" "$send" --virtual bend 1 16384
refused vantrel-midi-send "clock 0 2: 0" "$send" --virtual start , clock 0 2
refused vantrel-midi-send "sleep nan: nan" "$send" --virtual sleep nan

# The stream client checks its numbers before it connects.
refused vantrel-stream "--port: 70000" "$stream" --port 70000 0.5
refused vantrel-stream "--rate: 0" "$stream" --rate 0 0.5

echo "command_line_mistakes.sh: ok: 16 mistakes, each one line and status 2 with nothing started"
