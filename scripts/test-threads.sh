#!/usr/bin/env bash
# Builds the program and the tests of its threaded parts with ThreadSanitizer in a build directory
# of its own (build-tsan) and runs them: the unit tests of the audio clock (the mixer's thread
# stamps every buffer), the window and its events, the live server, OSC, the tool window (whose
# event filter runs wherever SDL pushes an event) and the Link session (whose callbacks run on
# Link's threads), then the end-to-end start-and-Escape, run-out, live, Link session and
# random-moment shutdown scripts (the Link ones in a private network namespace of their own) and
# the sound-server-lost script (with the thread that asks the sound server for its latency). Any
# race report fails the run; the
# suppressions in tests/tsan.supp each name a library's own race.
# Usage: scripts/test-threads.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-tsan}"
start=$(date +%s)

# halt_on_error: the first report fails the test that met it, with its stacks in the output.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp"

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_THREADS=ON -DVANTREL_BENCH=OFF \
  "${launcher[@]}" > /dev/null
# Only what is run here. The data set's generator runs no threads, so the data set of the normal
# build beside this one is used where there is one (as in CI, after the README's tests), and made
# here only where there is none.
targets=(vantrel test_platform test_live close_window vantrel-stream vantrel-link-peer)
[ -e "$build/data" ] || [ ! -f "$root/build/data/.stamp" ] || ln -s "$root/build/data" "$build/data"
[ -f "$build/data/.stamp" ] || targets+=(data)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
echo "test-threads: built in $(( $(date +%s) - start )) s"

cd "$build"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy VANTREL_DATA="$build/data" VANTREL_BINARY_DIR="$build"
export VANTREL_TESTDATA="$root/../shared/testdata"
status=0
tests/test_platform --gtest_filter='Audio.*:PlaybackClock.*:Window.*:Keyboard.*' || status=1
tests/test_live --gtest_filter='StreamServer.*:OscInput.*:ClientLimits.*:LiveFrame.AWindowClosed*:LiveShowFrames.*:LiveLink.*' || status=1
unset SDL_VIDEODRIVER SDL_AUDIODRIVER
# The end-to-end scripts side by side (each on an X server and ports of its own). The run-out
# starts at 180 s: the whole show under the sanitizer would take its 207 s for the same ending.
logs=$(mktemp -d)
scripts=(show_escape show_runs_out live link_session shutdown_moments sound_server_lost)
pids=()
for script in "${scripts[@]}"; do
  VANTREL_RUNOUT_FROM=180 VANTREL_LINK_TIMING=loose VANTREL_SHUTDOWN_RUNS=8 VANTREL_SHUTDOWN_LANES=1 bash "$root/tests/e2e/$script.sh" "$build/vantrel" "$build" \
    > "$logs/$script.log" 2>&1 &
  pids+=($!)
done
for i in "${!scripts[@]}"; do
  code=0
  wait "${pids[$i]}" || code=$?
  echo "test-threads: ${scripts[$i]}: $([ $code = 0 ] && echo passed || { [ $code = 77 ] && echo skipped || echo "FAILED ($code)"; })"
  [ $code = 0 ] || [ $code = 77 ] || { status=1; tail -n 80 "$logs/${scripts[$i]}.log"; }
  [ $code = 77 ] && tail -n 1 "$logs/${scripts[$i]}.log"
done
rm -rf "$logs"
echo "test-threads: $(( $(date +%s) - start )) s"
exit $status
