// Gentle mode's table of kept flashes over the steps of the music, and the live flash limiter.
#include "timeline/GentleFlashes.h"

#include <algorithm>
#include <array>
#include <vector>

#include "timeline/BeatClock.h"

bool GentleMode = false;

namespace {
// Steps at which the picture cuts to another scene (scene 7's inverted picture among them). A cut
// can change the brightness of the whole screen as much as a flash and cannot be left out, so
// the cuts take their places in the count before any pulse does.
std::vector<int> SceneCuts() {
  std::vector<int> cuts;
  int32_t scene = 0;
  for (int step = 0; step < SceneTrackLength; ++step) {
    const int32_t next = SceneTrack[step];
    if (next == 0 || next == scene) continue;
    if (scene != 0) cuts.push_back(step);
    scene = next;
  }
  return cuts;
}

// True when step can join the sorted kept steps with every four consecutive ones still at least
// FlashSpacingSteps apart.
bool FitsSpacing(const std::vector<int>& kept, int step) {
  const auto at = std::lower_bound(kept.begin(), kept.end(), step);
  std::vector<int> nearby(at - std::min<std::ptrdiff_t>(3, at - kept.begin()), at);
  nearby.push_back(step);
  nearby.insert(nearby.end(), at, at + std::min<std::ptrdiff_t>(3, kept.end() - at));
  for (size_t i = 0; i + 3 < nearby.size(); ++i)
    if (nearby[i + 3] - nearby[i] < FlashSpacingSteps) return false;
  return true;
}

// Kind-1 and kind-2 events in the order of the music, each kept when it fits: the first flashes
// of a dense run stay, the later ones are softened.
std::array<bool, PulseTrackLength> BuildKeptFlashes() {
  std::array<bool, PulseTrackLength> keeps{};
  std::vector<int> kept = SceneCuts();
  for (int step = 0; step < PulseTrackLength; ++step) {
    if (PulseTrack[step] != 1 && PulseTrack[step] != 2) continue;
    if (!FitsSpacing(kept, step)) continue;
    kept.insert(std::lower_bound(kept.begin(), kept.end(), step), step);
    keeps[step] = true;
  }
  return keeps;
}
}  // namespace

bool GentleKeepsFlash(int64_t step) {
  static const std::array<bool, PulseTrackLength> keeps = BuildKeptFlashes();
  return step >= 0 && step < PulseTrackLength && keeps[step];
}

float FlashOpacity() {
  if (!GentleMode || !(Pulse1 > 0)) return Pulse1;
  // With a kind-1 event next, the level is that event's rise (the look-ahead wins).
  const int64_t owner = PulseTrackAt(static_cast<int64_t>(BeatStep) + 1) == 1 ? BeatStep + 1LL : BeatStep;
  return Pulse1 * (GentleKeepsFlash(owner) ? KeptFlashOpacity : SoftFlashLevel);
}

float InversionLevel() {
  if (!GentleMode || !(Pulse2 > 0)) return Pulse2;
  return Pulse2 * (GentleKeepsFlash(BeatStep) ? KeptInversionLevel : SoftFlashLevel);
}

float SceneInversionLevel() { return GentleMode ? KeptInversionLevel : 1.0f; }

float FlashRateLimiter::Opacity(float requested, double seconds) {
  if (!GentleMode) return requested;
  const float wanted = requested > 0 ? std::min(requested, 1.0f) * KeptFlashOpacity : 0.0f;
  if (rising_) {
    // Inside a counted flash the opacity may go on rising; a fall of more than a soft step ends it.
    high_ = std::max(high_, wanted);
    if (high_ - wanted > SoftFlashLevel) {
      rising_ = false;
      low_ = wanted;
    }
    return wanted;
  }
  low_ = std::min(low_, wanted);
  if (wanted - low_ <= SoftFlashLevel) return wanted;
  if (seconds - onsets_[0] < FlashWindowSeconds) return low_ + SoftFlashLevel;
  std::rotate(onsets_, onsets_ + 1, onsets_ + 3);
  onsets_[2] = seconds;
  rising_ = true;
  high_ = wanted;
  return wanted;
}
