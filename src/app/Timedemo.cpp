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
#include "app/FrameCosts.h"
#include "app/FrameReadback.h"
#include "app/QuadYardstick.h"
#include "app/Version.h"
#include "platform/DynamicResolution.h"
#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "platform/SteadyClock.h"
#include "render/Overlay.h"
#include "show/Ending.h"
#include "show/Schedule.h"
#include "show/Seeking.h"
#include "timeline/BeatClock.h"

namespace {
constexpr int Fps = 60;
constexpr long QuadEveryFrames = 120;
// The frame budget the targets are set in: 7.3 quads, a 60 Hz refresh where a quad takes 2.29 ms.
constexpr double BudgetQuads = 7.3;

struct SceneTimes {
  std::vector<double> milliseconds;
  std::vector<float> scales;  // the drawing scale of each frame
};

// One pass over the whole show: frame times per scene (-1 stands for the ending) and in all.
struct PassTimes {
  std::map<int, SceneTimes> scenes;
  std::vector<double> all;
  std::vector<float> showTimes;  // of each frame in all
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

// Draws the whole show at Fps and times each frame; with a resolution, each frame's time sets the
// drawing scale of the next.
PassTimes TimeShow(QuadYardstick& quad, DynamicResolution* resolution, const FrameCosts* costs) {
  PassTimes pass;
  SteadyClock::time_point frameStart = SteadyClock::now();
  SetFrameHook([] { glFinish(); });
  RunFixedStepShow(Fps, 0.0f, [&](long frame) {
    const double ms = SecondsSince(frameStart) * 1000.0;
    const int scene = ShowTime >= EndingStartTime ? -1 : CurrentScene;
    pass.scenes[scene].milliseconds.push_back(ms);
    pass.scenes[scene].scales.push_back(DrawingScale());
    pass.all.push_back(ms);
    pass.showTimes.push_back(ShowTime);
    // Drawn over the finished frame, which the next frame clears; outside the frame's timing.
    if (frame % QuadEveryFrames == 0) quad.Measure();
    if (resolution && costs)
      SetDrawingScale(resolution->FrameTook(ms / 1000.0, costs->At(ShowTime),
                                            costs->MostAhead(ShowTime, FrameCosts::Lookahead)));
    else if (resolution)
      SetDrawingScale(resolution->FrameTook(ms / 1000.0));
    frameStart = SteadyClock::now();
    return true;
  });
  SetFrameHook({});
  return pass;
}

// Each quarter second's cost in quads: the second-dearest of its frames, so that a stretch's
// heaviest frames count and a lone frame the machine held up does not.
FrameCosts MeasuredCosts(const PassTimes& pass, double quadMs) {
  std::map<long, std::vector<double>> stretches;
  for (size_t i = 0; i < pass.all.size(); ++i)
    stretches[static_cast<long>(std::floor(pass.showTimes[i] / FrameCosts::Step))].push_back(pass.all[i]);
  FrameCosts costs;
  for (auto& [stretch, milliseconds] : stretches) {
    std::sort(milliseconds.rbegin(), milliseconds.rend());
    costs.Set(static_cast<double>(stretch) * FrameCosts::Step, milliseconds[std::min<size_t>(1, milliseconds.size() - 1)] / quadMs);
  }
  return costs;
}

double ShareOver(const std::vector<double>& milliseconds, double limit) {
  if (milliseconds.empty()) return 0;
  const auto over = std::count_if(milliseconds.begin(), milliseconds.end(), [limit](double ms) { return ms > limit; });
  return 100.0 * static_cast<double>(over) / static_cast<double>(milliseconds.size());
}
}  // namespace

int RunTimedemo(double loadSeconds) {
  QuadYardstick quad;
  std::printf("timedemo: %s\n", VersionLine("vantrel").c_str());
  std::printf("timedemo: %d x %d, picture %d x %d (scale %.2f of 800 x 600)\n", OutputWidth(),
              OutputHeight(), ShowFrameWidth(), ShowFrameHeight(), FrameScale());
  const PassTimes pass = TimeShow(quad, nullptr, nullptr);

  const double quadMs = quad.Median();
  // The table the player's dynamic resolution foresees heavy stretches with, measured where it is
  // meant (the design size) and kept for this machine's later runs.
  const FrameCosts costs = MeasuredCosts(pass, quadMs > 0 ? quadMs : 1.0);
  const auto inQuads = [quadMs](double ms) { return quadMs > 0 ? ms / quadMs : 0.0; };
  std::printf("%-22s %8s %12s %12s %14s %14s %12s\n", "scene", "frames", "median ms", "p95 ms",
              "median x quad", "p95 x quad", "% > 7.3 q");
  int worstScene = 0;
  double worstMedian = -1;
  for (const auto& [scene, times] : pass.scenes) {
    const double median = Percentile(times.milliseconds, 0.5);
    const double p95 = Percentile(times.milliseconds, 0.95);
    std::printf("%-22s %8zu %12.2f %12.2f %14.1f %14.1f %12.1f\n", TimedemoRowName(scene).c_str(),
                times.milliseconds.size(), median, p95, inQuads(median), inQuads(p95),
                ShareOver(times.milliseconds, BudgetQuads * quadMs));
    if (median > worstMedian) {
      worstMedian = median;
      worstScene = scene;
    }
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("quad: %.3f ms (median of %zu full-screen textured additive quads at %d x %d)\n",
              quadMs, quad.Count(), DesignWidth, DesignHeight);
  std::printf("loading: %.2f s (without the fixed splash and progress frames)\n", loadSeconds);
  std::printf("peak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
  if (ShowFrameWidth() == DesignWidth && ShowFrameHeight() == DesignHeight && quadMs > 0) {
    if (SaveMachineFrameCosts(costs))
      std::printf("frame costs: %s (the player foresees heavy stretches by them)\n", MachineFrameCostsPath().c_str());
    else
      std::printf("frame costs: not written (no cache folder could be made)\n");
  }
  const double median = Percentile(pass.all, 0.5);
  const double p95 = Percentile(pass.all, 0.95);
  std::printf(
      "timedemo: median %.1f ms (%.1f x quad), p95 %.1f ms (%.1f x quad), worst scene %s "
      "(%.1f ms, %.1f x quad)\n",
      median, inQuads(median), p95, inQuads(p95), TimedemoRowName(worstScene).c_str(), worstMedian,
      inQuads(worstMedian));
  std::fflush(stdout);

  // The same show again as the player draws it with its dynamic resolution, the frame budget
  // being 7.3 quads of the pass above; the quads of this pass are its unit.
  ResetShow();
  QuadYardstick dynamicQuad;
  // From 800 x 600 up to the frame's size, as the player on a screen of the frame's size.
  DynamicResolution resolution(BudgetQuads * quadMs / 1000.0, FrameScale());
  SetDrawingScale(resolution.Scale());
  const PassTimes dynamic = TimeShow(dynamicQuad, &resolution, &costs);
  SetDrawingScale(FrameScale());
  const double dynamicQuadMs = dynamicQuad.Median();
  const auto inDynamicQuads = [dynamicQuadMs](double ms) { return dynamicQuadMs > 0 ? ms / dynamicQuadMs : 0.0; };
  std::printf("\nwith the dynamic resolution (budget %.2f ms, %.1f x quad):\n", BudgetQuads * quadMs, BudgetQuads);
  std::printf("%-22s %8s %12s %12s %14s %14s %12s %11s %11s\n", "scene", "frames", "median ms", "p95 ms",
              "median x quad", "p95 x quad", "% > 7.3 q", "mean scale", "min scale");
  for (const auto& [scene, times] : dynamic.scenes) {
    const double sceneMedian = Percentile(times.milliseconds, 0.5);
    const double sceneP95 = Percentile(times.milliseconds, 0.95);
    double scaleSum = 0;
    for (float scale : times.scales) scaleSum += scale;
    std::printf("%-22s %8zu %12.2f %12.2f %14.1f %14.1f %12.1f %11.2f %11.2f\n",
                TimedemoRowName(scene).c_str(),
                times.milliseconds.size(), sceneMedian, sceneP95, inDynamicQuads(sceneMedian),
                inDynamicQuads(sceneP95), ShareOver(times.milliseconds, BudgetQuads * dynamicQuadMs),
                scaleSum / static_cast<double>(times.scales.size()),
                *std::min_element(times.scales.begin(), times.scales.end()));
  }
  const double dynamicMedian = Percentile(dynamic.all, 0.5);
  const double dynamicP95 = Percentile(dynamic.all, 0.95);
  std::printf(
      "timedemo, dynamic resolution: median %.1f ms (%.1f x quad), p95 %.1f ms (%.1f x quad), "
      "%.1f %% of frames over 7.3 x quad, lowest scale %.2f (quad %.3f ms)\n",
      dynamicMedian, inDynamicQuads(dynamicMedian), dynamicP95, inDynamicQuads(dynamicP95),
      ShareOver(dynamic.all, BudgetQuads * dynamicQuadMs), resolution.LowestScale(), dynamicQuadMs);
  return 0;
}
