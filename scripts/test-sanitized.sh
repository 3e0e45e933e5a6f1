#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and UndefinedBehaviorSanitizer in a second
# build directory (build-asan) and runs the test suite there with LeakSanitizer on.
# Usage: scripts/test-sanitized.sh [build-dir]   (VANTREL_ASAN_E2E=0 skips the end-to-end scripts)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-asan}"
start=$(date +%s)

# Leaks are reported only from our own code: the suppressions name third-party libraries alone.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/tests/ubsan.supp"

# The build runs the data generator, so the options hold for it too.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_SANITIZE=ON \
  -DVANTREL_BENCH=OFF > /dev/null
cmake --build "$build" -j"$(nproc)"

exclude=()
[ "${VANTREL_ASAN_E2E:-1}" = 0 ] && exclude=(-E '^e2e_')
cd "$build"
status=0
ctest --output-on-failure -j"$(nproc)" "${exclude[@]}" || status=$?
echo "test-sanitized: $(( $(date +%s) - start )) s"
exit $status
