// The MIDI clock's tempo by a line through the last four beats of ticks, stray ones left out.
#include "live/MidiClock.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// Up to four beats of ticks: the jitter of the sender's audio period and of thread wake-ups
// averages out over many points; after two beats the line runs through the 48 there are.
constexpr size_t TempoTicks = 4 * TMidiClock::TicksPerBeat;
constexpr double SilentSeconds = 2.0;
constexpr long TicksPerBar = TMidiClock::TicksPerBeat * TMidiClock::BeatsPerBar;
}  // namespace

namespace {
// Least-squares spacing of the kept events' times against their numbers.
double FittedSpacing(const std::deque<double>& times, const std::vector<bool>& keep, double& offset) {
  double n = 0, sumX = 0, sumY = 0, sumXX = 0, sumXY = 0;
  for (size_t i = 0; i < times.size(); ++i) {
    if (!keep[i]) continue;
    const double x = static_cast<double>(i), y = times[i] - times.front();
    n += 1;
    sumX += x;
    sumY += y;
    sumXX += x * x;
    sumXY += x * y;
  }
  const double divisor = n * sumXX - sumX * sumX;
  if (n < 2 || divisor <= 0) return 0;
  const double slope = (n * sumXY - sumX * sumY) / divisor;
  offset = (sumY - slope * sumX) / n;
  return slope;
}
}  // namespace

double BpmOfEvenTimes(const std::deque<double>& times, int ticksPerBeat) {
  if (times.size() < 2) return 0;
  // A line through the times, then again without the events far off it: a busy machine holds a
  // cycle back now and then and hands over several events at once, which would tilt the line.
  std::vector<bool> keep(times.size(), true);
  double offset = 0;
  double spacing = FittedSpacing(times, keep, offset);
  if (spacing <= 0) return 0;
  std::vector<double> misses;
  for (size_t i = 0; i < times.size(); ++i)
    misses.push_back(std::fabs(times[i] - times.front() - offset - spacing * static_cast<double>(i)));
  std::vector<double> sorted = misses;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2), sorted.end());
  const double limit = std::max(3.0 * sorted[sorted.size() / 2], 0.001);
  for (size_t i = 0; i < times.size(); ++i) keep[i] = misses[i] <= limit;
  if (const double refit = FittedSpacing(times, keep, offset); refit > 0) spacing = refit;
  return 60.0 / (spacing * ticksPerBeat);
}

void TMidiClock::Tick(double apiSeconds, double arrivalSeconds) {
  lastArrival_ = arrivalSeconds;
  // A clock that paused starts its tempo afresh rather than averaging over the pause.
  if (!tickTimes_.empty() && (apiSeconds - tickTimes_.back() > 1.0 || apiSeconds < tickTimes_.back()))
    tickTimes_.clear();
  tickTimes_.push_back(apiSeconds);
  while (tickTimes_.size() > TempoTicks + 1) tickTimes_.pop_front();
  if (const double bpm = BpmOfEvenTimes(tickTimes_, TicksPerBeat); bpm > 0) bpm_ = bpm;
  if (!stopped_) ++ticks_;
}

void TMidiClock::Start() {
  stopped_ = false;
  songPosition_ = -1;
  ticks_ = -1;
}

void TMidiClock::Continue() {
  const long from = songPosition_ >= 0 ? songPosition_ : (std::max(ticks_, 0L) + TicksPerBar - 1) / TicksPerBar * TicksPerBar;
  stopped_ = false;
  songPosition_ = -1;
  ticks_ = from - 1;
}

void TMidiClock::Stop() { stopped_ = true; }

void TMidiClock::SongPosition(int sixteenths) { songPosition_ = static_cast<long>(sixteenths) * (TicksPerBeat / 4); }

bool TMidiClock::Governs(double arrivalSeconds) const {
  return stopped_ || arrivalSeconds - lastArrival_ < SilentSeconds;
}

double TMidiClock::Beats(double arrivalSeconds) const {
  const double whole = static_cast<double>(std::max(ticks_, 0L)) / TicksPerBeat;
  if (stopped_ || bpm_ <= 0 || ticks_ < 0) return whole;
  const double since = std::clamp(arrivalSeconds - lastArrival_, 0.0, 60.0 / (bpm_ * TicksPerBeat));
  return whole + since * bpm_ / 60.0;
}
