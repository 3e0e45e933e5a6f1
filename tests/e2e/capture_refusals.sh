#!/usr/bin/env bash
# A capture that cannot succeed says why and exits with 1 before it loads anything.
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

PATH=/nonexistent "$program" --capture "$work/x.mp4" 2>"$work/err"; code=$?
[ $code -eq 1 ] || fail "missing ffmpeg gave exit code $code"
grep -q "ffmpeg" "$work/err" || fail "missing ffmpeg was not named: $(cat "$work/err")"

"$program" --capture "$work/no/such/dir/x.mp4" 2>"$work/err"; code=$?
[ $code -eq 1 ] || fail "unwritable output gave exit code $code"
grep -q "cannot write" "$work/err" || fail "unwritable output not reported: $(cat "$work/err")"

"$program" --fps 2>"$work/err"; code=$?
[ $code -ne 0 ] || fail "a malformed option was accepted"
"$program" --help | grep -q -- "--timedemo" || fail "--help does not list --timedemo"
echo "PASS"
