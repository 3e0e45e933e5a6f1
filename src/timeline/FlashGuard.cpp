// Gentle mode's frame flash guard: cell measures of a frame, change counting, the blend weight.
#include "timeline/FlashGuard.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// The changes are counted as a counter of recordings counts them: a move of 0.1 in relative
// luminance (20 in the red measure) with the darker side below 0.8, over a quarter of the cells,
// gathered from the cells that changed within the last 0.2 s (0.19 s here, so that the frame 0.2 s
// back is left out at any frame rate despite rounding, as a counter working in whole frames does).
constexpr float LuminanceStep = 0.1f;
constexpr float DarkerLimit = 0.8f;
constexpr float RedStep = 20.0f;
constexpr int AreaCells = FlashGuardCells / 4;
constexpr double GatherSeconds = 0.19;
// A stricter count (a change of 0.08 over 12 cells within 0.25 s) has a window of its own, and a
// frame held back stays clear of it too: video compression moves a cell's luminance by a little
// and can lift a change just below the threshold over it.
constexpr float StrictLuminanceStep = 0.08f;
constexpr float StrictRedStep = 16.0f;
constexpr int StrictAreaCells = 12;
constexpr double StrictGatherSeconds = 0.25;
constexpr float RedShare = 0.8f;

// Linear value of each 8-bit sRGB code, with the constants of the relative luminance definition.
const std::array<float, 256>& LinearTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> values{};
    for (int code = 0; code < 256; ++code) {
      const double c = code / 255.0;
      values[code] = static_cast<float>(c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return values;
  }();
  return table;
}

// Cell means over the sampled pixels of a frame; pixel(offset) gives the RGB codes at a byte offset.
template <typename Pixel>
CellMeasures MeasureSampled(int width, int height, Pixel pixel) {
  const std::array<float, 256>& linear = LinearTable();
  // Every other pixel of every other row once the cells hold enough pixels for that.
  const int stride = width >= 16 * FlashGuardGrid && height >= 16 * FlashGuardGrid ? 2 : 1;
  const int columns = (width + stride - 1) / stride;
  const int rows = (height + stride - 1) / stride;
  const int cellWidth = columns / FlashGuardGrid;
  const int cellHeight = rows / FlashGuardGrid;
  CellMeasures measures;
  if (cellWidth == 0 || cellHeight == 0) return measures;
  std::array<double, FlashGuardCells> luminance{};
  std::array<double, FlashGuardCells> red{};
  for (int row = 0; row < cellHeight * FlashGuardGrid; ++row) {
    // Rows come bottom up; the grid is laid from the top row down, as over a picture file.
    const size_t rowOffset = static_cast<size_t>(height - 1 - row * stride) * width * 4;
    const int cellRow = row / cellHeight * FlashGuardGrid;
    for (int column = 0; column < cellWidth * FlashGuardGrid; ++column) {
      uint8_t rgb[3];
      pixel(rowOffset + static_cast<size_t>(column) * stride * 4, rgb);
      const float r = linear[rgb[0]], g = linear[rgb[1]], b = linear[rgb[2]];
      const int cell = cellRow + column / cellWidth;
      luminance[cell] += 0.2126f * r + 0.7152f * g + 0.0722f * b;
      const float total = r + g + b;
      if (total > 0 && r >= RedShare * total) red[cell] += std::max(r - g - b, 0.0f) * 320.0f;
    }
  }
  const double count = static_cast<double>(cellWidth) * cellHeight;
  for (int cell = 0; cell < FlashGuardCells; ++cell) {
    measures.luminance[cell] = static_cast<float>(luminance[cell] / count);
    measures.red[cell] = static_cast<float>(red[cell] / count);
  }
  return measures;
}

uint8_t BlendByte(uint8_t last, uint8_t frame, int weight) {
  return static_cast<uint8_t>((last * (BlendWhole - weight) + frame * weight + BlendWhole / 2) / BlendWhole);
}

// Drops the times that have left the window ending at time.
void Expire(std::deque<double>& times, double time) {
  while (!times.empty() && times.front() <= time - FlashGuard::GuardWindowSeconds) times.pop_front();
}

int CountInWindow(const std::deque<double>& times, double time) {
  return static_cast<int>(std::count_if(times.begin(), times.end(), [time](double t) {
    return t > time - FlashGuard::GuardWindowSeconds;
  }));
}
}  // namespace

CellMeasures MeasureFrame(const uint8_t* rgba, int width, int height) {
  return MeasureSampled(width, height, [rgba](size_t offset, uint8_t* rgb) {
    rgb[0] = rgba[offset];
    rgb[1] = rgba[offset + 1];
    rgb[2] = rgba[offset + 2];
  });
}

CellMeasures MeasureBlend(const uint8_t* last, const uint8_t* frame, int weight, int width, int height) {
  return MeasureSampled(width, height, [=](size_t offset, uint8_t* rgb) {
    for (int channel = 0; channel < 3; ++channel)
      rgb[channel] = BlendByte(last[offset + channel], frame[offset + channel], weight);
  });
}

void BlendFrames(const uint8_t* last, const uint8_t* frame, int weight, uint8_t* out, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out[i] = BlendByte(last[i], frame[i], weight);
}

FrameChanges::FrameChanges(float step, float darkerLimit, int areaCells, double gatherSeconds)
    : step_(step), darkerLimit_(darkerLimit), areaCells_(areaCells), gather_(gatherSeconds) {}

void FrameChanges::Reset() { started_ = false; }

int FrameChanges::Update(double time, const std::array<float, FlashGuardCells>& value) {
  if (!started_) {
    started_ = true;
    low_ = high_ = value;
    state_.fill(0);
    lastUp_.fill(-std::numeric_limits<double>::infinity());
    lastDown_.fill(-std::numeric_limits<double>::infinity());
    direction_ = 0;
    lastChange_ = -std::numeric_limits<double>::infinity();
    return 0;
  }
  for (int cell = 0; cell < FlashGuardCells; ++cell) {
    const float v = value[cell];
    low_[cell] = std::min(low_[cell], v);
    high_[cell] = std::max(high_[cell], v);
    const bool up = state_[cell] != 1 && v - low_[cell] >= step_ && low_[cell] < darkerLimit_;
    const bool down = state_[cell] != -1 && high_[cell] - v >= step_ && v < darkerLimit_;
    if (!up && !down) continue;
    state_[cell] = up ? 1 : -1;
    (up ? lastUp_ : lastDown_)[cell] = time;
    low_[cell] = high_[cell] = v;
  }
  // Cells count towards a change of the frame when they changed after its previous change and
  // within the gather time (a fade crosses the step in bright and dark parts a little apart).
  const double since = std::max(lastChange_, time - gather_);
  for (int direction : {1, -1}) {
    if (direction_ == direction) continue;
    const std::array<double, FlashGuardCells>& last = direction == 1 ? lastUp_ : lastDown_;
    const int cells = static_cast<int>(std::count_if(last.begin(), last.end(), [since](double t) { return t > since; }));
    if (cells >= areaCells_) {
      direction_ = direction;
      lastChange_ = time;
      return direction;
    }
  }
  return 0;
}

FlashGuard::FlashGuard()
    : general_{{LuminanceStep, DarkerLimit, AreaCells, GatherSeconds},
               {StrictLuminanceStep, DarkerLimit, StrictAreaCells, StrictGatherSeconds},
               {},
               {}},
      red_{{RedStep, std::numeric_limits<float>::infinity(), AreaCells, GatherSeconds},
           {StrictRedStep, std::numeric_limits<float>::infinity(), StrictAreaCells, StrictGatherSeconds},
           {},
           {}} {}

void FlashGuard::Reset() {
  for (Kind* kind : {&general_, &red_}) {
    kind->counted.Reset();
    kind->strict.Reset();
    kind->times.clear();
    kind->strictTimes.clear();
  }
  started_ = false;
}

bool FlashGuard::Fits(double time, const CellMeasures& frame, bool calm) const {
  for (const auto& [kind, value] : {std::pair{&general_, &frame.luminance}, std::pair{&red_, &frame.red}}) {
    FrameChanges counted = kind->counted;
    FrameChanges strict = kind->strict;
    const bool countedRoom = !calm && CountInWindow(kind->times, time) < MaxChangesInWindow;
    const bool strictRoom = !calm && CountInWindow(kind->strictTimes, time) < MaxStrictChangesInWindow;
    if (counted.Update(time, *value) != 0 && !countedRoom) return false;
    if (strict.Update(time, *value) != 0 && !strictRoom) return false;
  }
  return true;
}

int FlashGuard::Choose(double time, const CellMeasures& frame,
                       const std::function<CellMeasures(int weight)>& measureBlend) const {
  if (!started_ || Fits(time, frame, false)) return BlendWhole;
  // The last frame again (weight 0) never makes a change; search the largest weight that makes
  // none by either count, every candidate checked on its own measures.
  int safe = 0;
  int unsafe = BlendWhole;
  while (unsafe - safe > 1) {
    const int middle = (safe + unsafe) / 2;
    (Fits(time, measureBlend(middle), true) ? safe : unsafe) = middle;
  }
  return safe;
}

void FlashGuard::Shown(double time, const CellMeasures& shown) {
  for (const auto& [kind, value] : {std::pair{&general_, &shown.luminance}, std::pair{&red_, &shown.red}}) {
    if (kind->counted.Update(time, *value) != 0) kind->times.push_back(time);
    if (kind->strict.Update(time, *value) != 0) kind->strictTimes.push_back(time);
    Expire(kind->times, time);
    Expire(kind->strictTimes, time);
  }
  started_ = true;
  lastTime_ = time;
}
