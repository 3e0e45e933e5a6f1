// The MIDI clock's tempo by a least-squares line through the last two beats of ticks.
#include "live/MidiClock.h"

#include <algorithm>
#include <cmath>

namespace {
// Up to four beats of ticks: the jitter of the sender's audio period and of thread wake-ups
// averages out over many points; after two beats the line runs through the 48 there are.
constexpr size_t TempoTicks = 4 * TMidiClock::TicksPerBeat;
constexpr double SilentSeconds = 2.0;
constexpr long TicksPerBar = TMidiClock::TicksPerBeat * TMidiClock::BeatsPerBar;
}  // namespace

void TMidiClock::Tick(double apiSeconds, double arrivalSeconds) {
  lastArrival_ = arrivalSeconds;
  // A clock that paused starts its tempo afresh rather than averaging over the pause.
  if (!tickTimes_.empty() && (apiSeconds - tickTimes_.back() > 1.0 || apiSeconds < tickTimes_.back()))
    tickTimes_.clear();
  tickTimes_.push_back(apiSeconds);
  while (tickTimes_.size() > TempoTicks + 1) tickTimes_.pop_front();
  if (tickTimes_.size() >= 2) {
    // Slope of time against tick number.
    const double n = static_cast<double>(tickTimes_.size());
    double sumX = 0, sumY = 0, sumXX = 0, sumXY = 0;
    for (size_t i = 0; i < tickTimes_.size(); ++i) {
      const double x = static_cast<double>(i), y = tickTimes_[i] - tickTimes_.front();
      sumX += x;
      sumY += y;
      sumXX += x * x;
      sumXY += x * y;
    }
    const double slope = (n * sumXY - sumX * sumY) / (n * sumXX - sumX * sumX);
    if (slope > 0) bpm_ = 60.0 / (slope * TicksPerBeat);
  }
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
