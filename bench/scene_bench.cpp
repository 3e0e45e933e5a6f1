// Cost of whole show frames at chosen times, in milliseconds and in full-screen quads of the same run.
//
// Usage: scene_bench [--cpu | --thread] [--frames N] [TIME ...]   (run from the build folder, where
// data/ lies)
// For each show time the show is advanced there at 60 frames a second, then 60 frames from it
// (N with --frames: a short burst, such as a pulse, measured alone) are drawn and finished one by
// one; the median frame is printed beside the median of the timedemo quads (one full-screen
// textured additive quad at 800 x 600) drawn between the frames, every third frame (every frame
// when fewer than 30 are drawn).
// --cpu times frames and quads by the process's CPU time (every thread, the renderer's included)
// instead of the wall clock: on a machine loaded by other work it repeats far better. --thread
// times the drawing thread's CPU alone (its vertex work and the renderer's setup, which the
// rasterizer threads wait for).
#include <SDL2/SDL.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Loading.h"
#include "platform/CommandLine.h"
#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "show/Ending.h"
#include "show/Schedule.h"
#include "show/Seeking.h"
#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

bool CpuTime = false, ThreadTime = false;
long FrameCount = 60;

// Now, in milliseconds: the wall clock, or the process's CPU time with --cpu.
double NowMilliseconds() {
  if (CpuTime || ThreadTime) {
    timespec now{};
    clock_gettime(ThreadTime ? CLOCK_THREAD_CPUTIME_ID : CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
  }
  return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

double QuadMilliseconds() {
  Begin2D();
  glFinish();
  const double start = NowMilliseconds();
  DrawImageAdditive(LogoTexture, {1, 1, 1, 1}, 0, 0, 800, 600);
  glFinish();
  const double ms = NowMilliseconds() - start;
  End2D();
  return ms;
}
}  // namespace

int main(int argc, char** argv) {
  CLI::App app;
  app.set_help_flag();  // --help prints the usage line, written by hand
  // The times are the entries CLI11 does not take as options, in their order.
  app.allow_extras();
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  const CLI::Option* help = app.add_flag("-h,--help");
  app.add_flag("--cpu", CpuTime);
  app.add_flag("--thread", ThreadTime);
  AddNumberOption(app, "--frames", FrameCount, {1, ShowLength * 60, true}, "a number of frames");
  std::string error;
  if (!ParseCommandLine<CLI::ParseError>(app, argc, argv, error)) return ReportCommandLineMistake("scene_bench", error);
  if (help->count() > 0) {
    std::puts("Usage: scene_bench [--cpu | --thread] [--frames N] [TIME ...]   (times from 0 to 207 s)");
    return 0;
  }
  std::vector<float> times;
  const NumberRange showTimes{0, ShowLength};
  for (const std::string& text : app.remaining()) {
    const auto time = ReadNumber(text, showTimes);
    if (!time) return ReportCommandLineMistake("scene_bench", RefuseNumber(text, showTimes));
    times.push_back(static_cast<float>(*time));
  }
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return 1;
  MainWindow = OpenWindow(800, 600, 32, false, "scene bench");
  if (!MainWindow.RenderContext) return 1;
  ChooseDataDirectory(argv[0]);
  SetShowTimeReseeding(true);
  LoadAssets(false);
  RecordShowStart();
  std::printf("%8s %6s %10s %10s %8s\n", "time", "scene", "median ms", "quad ms", "x quad");
  for (float time : times) {
    AdvanceShowTo(time, 60);
    std::vector<double> frames, quads;
    const long first = static_cast<long>(time * 60.0 + 0.5);
    for (long frame = first; frame < first + FrameCount; ++frame) {
      ShowTime = static_cast<float>(static_cast<double>(frame) / 60);
      FrameDelta = 1.0f / 60;
      glFinish();
      const double start = NowMilliseconds();
      DrawShowPicture();
      glFinish();
      frames.push_back(NowMilliseconds() - start);
      if (frame % 3 == 0 || FrameCount < 30) quads.push_back(QuadMilliseconds());
    }
    const double median = Median(frames), quad = Median(quads);
    std::printf("%8.2f %6d %10.2f %10.3f %8.2f\n", time, CurrentScene, median, quad,
                quad > 0 ? median / quad : 0);
    std::fflush(stdout);
  }
  return 0;
}
