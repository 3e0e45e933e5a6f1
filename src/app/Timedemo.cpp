// The timedemo: per-scene frame times and the full-screen quad they are measured against.
#include "app/Timedemo.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/FixedStepShow.h"
#include "app/Stopwatch.h"
#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "render/Overlay.h"
#include "show/Schedule.h"
#include "timeline/BeatClock.h"

namespace {
struct SceneTimes {
  std::vector<double> milliseconds;
};

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t index = static_cast<size_t>(std::ceil(fraction * values.size())) - 1;
  return values[std::min(index, values.size() - 1)];
}

// A row of the timedemo: the scene's number and name from the scene table; -1 is the ending.
std::string TimedemoRowName(int scene) {
  if (scene < 0) return "ending";
  const ShowScene* found = FindShowScene(scene);
  return std::to_string(scene) + " " + (found ? found->name : "-");
}

// The yardstick that makes figures from different machines comparable: one full-screen
// (800 x 600) textured, additively blended quad, each timed alone between two glFinish calls.
class QuadYardstick {
 public:
  // A handful of quads every few seconds of the show, so the unit follows the machine's load
  // through the run just as the frames do.
  void Measure() {
    Begin2D();
    for (int i = 0; i < 4; ++i) {
      glFinish();
      const StopwatchClock::time_point start = StopwatchClock::now();
      DrawImageAdditive(LogoTexture, {1, 1, 1, 1}, 0, 0, ShowFrameWidth, ShowFrameHeight);
      glFinish();
      milliseconds_.push_back(SecondsSince(start) * 1000.0);
    }
    End2D();
  }
  double Median() const { return Percentile(milliseconds_, 0.5); }
  size_t Count() const { return milliseconds_.size(); }

 private:
  std::vector<double> milliseconds_;
};
}  // namespace

int RunTimedemo(double loadSeconds) {
  constexpr int Fps = 60;
  constexpr long QuadEveryFrames = 120;
  std::map<int, SceneTimes> scenes;  // scene number; -1 stands for the ending
  std::vector<double> all;
  QuadYardstick quad;
  StopwatchClock::time_point frameStart = StopwatchClock::now();
  SetFrameHook([] { glFinish(); });
  RunFixedStepShow(Fps, 0.0f, [&](long frame) {
    const double ms = SecondsSince(frameStart) * 1000.0;
    const int scene = ShowTime >= EndingStartTime ? -1 : CurrentScene;
    scenes[scene].milliseconds.push_back(ms);
    all.push_back(ms);
    // Drawn over the finished frame, which the next frame clears; outside the frame's timing.
    if (frame % QuadEveryFrames == 0) quad.Measure();
    frameStart = StopwatchClock::now();
    return true;
  });
  SetFrameHook({});

  const double quadMs = quad.Median();
  const auto inQuads = [quadMs](double ms) { return quadMs > 0 ? ms / quadMs : 0.0; };
  std::printf("%-22s %8s %12s %12s %14s %14s\n", "scene", "frames", "median ms", "p95 ms",
              "median x quad", "p95 x quad");
  int worstScene = 0;
  double worstMedian = -1;
  for (const auto& [scene, times] : scenes) {
    const double median = Percentile(times.milliseconds, 0.5);
    const double p95 = Percentile(times.milliseconds, 0.95);
    const std::string name = TimedemoRowName(scene);
    std::printf("%-22s %8zu %12.2f %12.2f %14.1f %14.1f\n", name.c_str(), times.milliseconds.size(),
                median, p95, inQuads(median), inQuads(p95));
    if (median > worstMedian) {
      worstMedian = median;
      worstScene = scene;
    }
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("quad: %.3f ms (median of %zu full-screen textured additive quads at %d x %d)\n",
              quadMs, quad.Count(), ShowFrameWidth, ShowFrameHeight);
  std::printf("loading: %.2f s (without the fixed splash and progress frames)\n", loadSeconds);
  std::printf("peak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
  const std::string worstName = TimedemoRowName(worstScene);
  const double median = Percentile(all, 0.5);
  const double p95 = Percentile(all, 0.95);
  std::printf(
      "timedemo: median %.1f ms (%.1f x quad), p95 %.1f ms (%.1f x quad), worst scene %s "
      "(%.1f ms, %.1f x quad)\n",
      median, inQuads(median), p95, inQuads(p95), worstName.c_str(), worstMedian,
      inQuads(worstMedian));
  return 0;
}
