#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (fuzz/) and runs each for a bounded time, one after the
# other, seeded from fuzz/seeds and the shared test files. Findings land in build-fuzz/findings.
# Usage: scripts/fuzz.sh [seconds-per-target] [target...]   (targets: 3ds bmp tga jpeg stream osc map)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(3ds bmp tga jpeg stream osc map)
build="${VANTREL_FUZZ_BUILD:-$root/build-fuzz}"
testdata="${VANTREL_TESTDATA:-$root/../shared/testdata}"

for tool in clang-14 clang++-14; do
  command -v "$tool" > /dev/null || { echo "fuzz.sh: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done
CC=clang-14 CXX=clang++-14 cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j"$(nproc)" > "$build/build.log" 2>&1 || { cat "$build/build.log"; exit 1; }

# Where the shared test files of each target live.
declare -A shared=([3ds]=3ds [bmp]=bmp [tga]=tga [jpeg]=jpeg [stream]="" [osc]="" [map]="")
declare -A maxlen=([3ds]=65536 [bmp]=65536 [tga]=65536 [jpeg]=131072 [stream]=4096 [osc]=4096 [map]=8192)

mkdir -p "$build/findings"
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1"
status=0
summary=""
for target in "${targets[@]}"; do
  binary="$build/fuzz_$target"
  [ -x "$binary" ] || { echo "fuzz.sh: no target '$target'"; exit 1; }
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=("$root/fuzz/seeds/$target")
  [ -n "${shared[$target]}" ] && [ -d "$testdata/${shared[$target]}" ] && seeds+=("$testdata/${shared[$target]}")
  log="$build/findings/$target.log"
  echo "fuzz.sh: $target for $seconds s"
  set +e
  "$binary" "$corpus" "${seeds[@]}" -max_total_time="$seconds" \
    -max_len="${maxlen[$target]}" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" > "$log" 2>&1
  code=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  line="$target: ${runs:-?} executions, exit $code"
  if [ $code -ne 0 ]; then
    status=1
    line="$line -- FINDING, see $log and $build/findings/$target-*"
    grep -m3 -E 'ERROR|runtime error|deadly|timeout' "$log" || true
  fi
  echo "$line"
  summary+="$line"$'\n'
done
echo "---"
printf '%s' "$summary"
exit $status
