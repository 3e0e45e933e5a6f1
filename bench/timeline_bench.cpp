// Cost of the timeline's per-frame work: the beat clock, the wandering path and the point fields.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>

#include "platform/GL.h"
#include "platform/Window.h"
#include "render/RenderState.h"
#include "show/Ending.h"
#include "show/StarField.h"
#include "timeline/BeatClock.h"
#include "timeline/PointField.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// Opens the 800 x 600 context on SDL's offscreen driver once; marks the run skipped without one.
// The renderer allocates and frees tens of megabytes a frame for the largest point fields; in a
// fresh process the C library hands them back to the system every time and each frame pays the
// page faults again (a quarter of the drawing thread's time), which the program, whose heap has
// settled after loading, does not. Freed memory is kept, so the figures are the program's.
bool OpenOffscreenContext(benchmark::State& state) {
  if (!MainWindow.RenderContext) {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0)
      MainWindow = OpenWindow(800, 600, 32, false, "timeline bench");
  }
  if (!MainWindow.RenderContext) state.SkipWithError("no GL context");
  return MainWindow.RenderContext != nullptr;
}

void BM_BeatClockFrame(benchmark::State& state) {
  int frame = 0;
  for (auto _ : state) {
    ShowTime = (frame++ % (198 * 60)) / 60.0f;
    FrameDelta = 1 / 60.0f;
    RunBeatClock();
    benchmark::DoNotOptimize(Pulse1);
  }
}
BENCHMARK(BM_BeatClockFrame);

void BM_WanderOffset(benchmark::State& state) {
  RandomPointField.Fill(500, 500.0f);
  int frame = 0;
  for (auto _ : state) {
    ShowTime = (frame++ % (207 * 60)) / 60.0f;
    benchmark::DoNotOptimize(WanderOffset(100));
  }
}
BENCHMARK(BM_WanderOffset);

// The star field's largest frame (141001 points at 207 s), finished on the GPU side.
void BM_StarFieldAtTheEnd(benchmark::State& state) {
  if (!OpenOffscreenContext(state)) return;
  ShowTime = 207.0f;
  for (auto _ : state) {
    BeginFrame();
    DrawStarField(false, false);
    glFinish();
  }
  state.counters["points/s"] =
      benchmark::Counter(141001.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StarFieldAtTheEnd)->Unit(benchmark::kMillisecond);

// A whole ending frame (flowers, fades, stars, logo), without the swap: at 203.5 s everything is
// seen, at 206.5 s the flowers lie under the opaque black, from 207 s (the live mode's clock)
// everything does.
void BM_EndingFrame(benchmark::State& state) {
  if (!OpenOffscreenContext(state)) return;
  ShowTime = static_cast<float>(state.range(0)) / 10;
  for (auto _ : state) {
    BeginFrame();
    DrawEnding();
    glFinish();
  }
}
BENCHMARK(BM_EndingFrame)->Arg(2035)->Arg(2065)->Arg(2075)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
