// The clock log's lines: the clocks once a second, every jump, and the frame times of a pass.
#include "app/ClockLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/Audio.h"
#include "platform/ShowFrame.h"
#include "platform/Window.h"
#include "show/Schedule.h"
#include "show/Seeking.h"
#include "timeline/BeatClock.h"
#include "timeline/ShowClock.h"

namespace {
// A frame within a 60 Hz refresh.
constexpr double OnTimeSeconds = 0.017;

double UnixSeconds() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}
}  // namespace

std::string SizesLine(const std::map<std::pair<int, int>, long>& frames, double onTimePercent) {
  long total = 0;
  for (const auto& [size, count] : frames) total += count;
  // Largest first, by area: the sizes a screen's picture shrinks through.
  std::vector<std::pair<std::pair<int, int>, long>> sorted(frames.begin(), frames.end());
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    return static_cast<long>(a.first.first) * a.first.second > static_cast<long>(b.first.first) * b.first.second;
  });
  std::string line = "vantrel: sizes drawn";
  char part[64];
  for (size_t i = 0; i < sorted.size(); ++i) {
    std::snprintf(part, sizeof part, "%s %dx%d %.1f %%", i ? "," : "", sorted[i].first.first, sorted[i].first.second,
                  100.0 * sorted[i].second / static_cast<double>(total));
    line += part;
  }
  if (sorted.empty()) line += " none";
  const std::pair<int, int> highest = sorted.empty() ? std::pair{0, 0} : sorted.front().first;
  const std::pair<int, int> lowest = sorted.empty() ? std::pair{0, 0} : sorted.back().first;
  std::snprintf(part, sizeof part, "; lowest %dx%d, highest %dx%d", lowest.first, lowest.second, highest.first,
                highest.second);
  line += part;
  std::snprintf(part, sizeof part, "; %.1f %% on time", onTimePercent);
  return line + part;
}

ClockLog::ClockLog() : enabled_(std::getenv("VANTREL_CLOCK_LOG") != nullptr) {}

void ClockLog::FrameStarts(double showTime, double heard, double lead, double frameSeconds, double music,
                           const ViewerControls& controls) {
  if (!enabled_) return;
  if (frameSeconds > 0) {
    frameSeconds_.push_back(frameSeconds);
    if (frameSeconds > OnTimeSeconds) ++lateByScene_[lastScene_];
  }
  lastScene_ = showTime >= EndingStartTime ? -1 : CurrentScene;
  lowestScale_ = std::min(lowestScale_, DrawingScale());
  if (!controls.Paused()) ++sizes_[{DrawingWidth(), DrawingHeight()}];
  const double now = UnixSeconds();
  if (now - last_ < 1.0) return;
  last_ = now;
  const OutputLatency latency = CurrentOutputLatency();
  std::fprintf(stderr,
               "vantrel: clock wall %.3f show %.3f heard %.3f stamps %.3f lead %.1f ms scale %.2f music %.3f "
               "paused %d volume %d loop %d display %d cursor %d size %dx%d latency %.1f ms %s reported %.1f ms "
               "underruns %ld\n",
               now, showTime, heard, StampedMusicSeconds(), 1000 * lead, DrawingScale(), music,
               controls.Paused() ? 1 : 0, ListeningVolume(), controls.Loop() ? 1 : 0,
               controls.DisplayOn() ? 1 : 0, CursorShown() ? 1 : 0, DrawingWidth(), DrawingHeight(),
               1000 * latency.seconds, latency.fromServer ? "server" : "estimate", 1000 * latency.reported,
               SoundUnderruns());
}

void ClockLog::Note(const std::string& text) const {
  if (enabled_) std::fprintf(stderr, "vantrel: clock %s\n", text.c_str());
}

void ClockLog::Jumped(double target, double landed, double seconds) {
  if (!enabled_) return;
  std::fprintf(stderr, "vantrel: clock jump wall %.3f to %.3f landed %.6f in %.1f ms (state %.1f ms)\n",
               UnixSeconds(), target, landed, 1000 * seconds, 1000 * LastAdvanceFigures().stateSeconds);
}

void ClockLog::ShowEnds(double showTime, double heardShow) {
  if (!enabled_) return;
  std::fprintf(stderr, "vantrel: clock end wall %.3f show %.6f heard show %.6f\n", UnixSeconds(), showTime, heardShow);
  std::vector<double> times = frameSeconds_;
  std::sort(times.begin(), times.end());
  const auto within = std::upper_bound(times.begin(), times.end(), OnTimeSeconds) - times.begin();
  const auto at = [&times](double share) { return times.empty() ? 0.0 : 1000 * times[static_cast<size_t>(share * (times.size() - 1))]; };
  std::fprintf(stderr, "vantrel: frame times %zu frames, %.1f %% within 17 ms, median %.1f ms, p95 %.1f ms, lowest scale %.2f\n",
               times.size(), times.empty() ? 0.0 : 100.0 * within / times.size(), at(0.5), at(0.95), lowestScale_);
  std::fprintf(stderr, "%s\n", SizesLine(sizes_, times.empty() ? 0.0 : 100.0 * within / times.size()).c_str());
  std::string late = "vantrel: frames over 17 ms by scene:";
  for (const auto& [scene, count] : lateByScene_) {
    const ShowScene* found = FindShowScene(scene);
    late += " " + (scene < 0 ? std::string("ending") : found ? std::string(found->name) : std::to_string(scene)) + " " +
            std::to_string(count);
  }
  std::fprintf(stderr, "%s%s\n", late.c_str(), lateByScene_.empty() ? " none" : "");
  lateByScene_.clear();
  frameSeconds_.clear();
  sizes_.clear();
  lowestScale_ = DrawingScale();
}
