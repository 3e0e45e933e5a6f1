// Gentle mode's safety net over the whole picture: counts the changes in brightness (and in
// saturated red) that the frames shown make, the way a flash counter judges a recording, and
// chooses how far a new frame may move away from the last one shown so that no second holds
// more than three flashes. Pure CPU logic over frames and their times; the show draws the blend.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>

// The frame is judged in FlashGuardGrid x FlashGuardGrid cells: fine lines and points moving
// across the picture average out inside a cell, a flash does not.
inline constexpr int FlashGuardGrid = 8;
inline constexpr int FlashGuardCells = FlashGuardGrid * FlashGuardGrid;
// Weight of the new frame in a blend with the last frame shown: BlendWhole shows the new frame
// as drawn, 0 the last frame again.
inline constexpr int BlendWhole = 256;

// Per cell, the mean relative luminance (0 .. 1, from sRGB) and the mean saturated-red measure
// 320 (R - G - B) of the pixels whose red share R / (R + G + B) is at least 0.8 (linear R, G, B).
struct CellMeasures {
  std::array<float, FlashGuardCells> luminance{};
  std::array<float, FlashGuardCells> red{};
};

// The measures of a width x height frame of RGBA rows, bottom row first as GL reads them, with
// the grid laid from the top row down, from every other pixel of every other row (counted from
// the top, so that the same pixels are judged as in a recording of the frame).
CellMeasures MeasureFrame(const uint8_t* rgba, int width, int height);
// The measures of BlendFrames(last, frame, weight) without making it.
CellMeasures MeasureBlend(const uint8_t* last, const uint8_t* frame, int weight, int width, int height);
// out = (last (BlendWhole - weight) + frame weight) / BlendWhole per byte, rounded: exactly last
// at 0 and exactly frame at BlendWhole. out may be last or frame.
void BlendFrames(const uint8_t* last, const uint8_t* frame, int weight, uint8_t* out, size_t bytes);

// The changes of one measure over the frames shown. Per cell, a change is a move of at least
// `step` away from the last extreme, opposite to the cell's previous change, where the darker
// side lies below `darkerLimit`; the frame changes once the cells that changed the same way since
// its previous change, within the gather time, cover `areaCells`. Two opposing changes are a flash.
class FrameChanges {
 public:
  FrameChanges(float step, float darkerLimit, int areaCells, double gatherSeconds);
  // Takes the frame shown at `time` (seconds, rising); +1 or -1 when the frame as a whole
  // changes to brighter or darker with it, else 0. The first frame after a reset sets the start.
  int Update(double time, const std::array<float, FlashGuardCells>& value);
  void Reset();

 private:
  float step_;
  float darkerLimit_;
  int areaCells_;
  double gather_;
  bool started_ = false;
  std::array<float, FlashGuardCells> low_{};
  std::array<float, FlashGuardCells> high_{};
  std::array<int8_t, FlashGuardCells> state_{};
  std::array<double, FlashGuardCells> lastUp_{};
  std::array<double, FlashGuardCells> lastDown_{};
  int direction_ = 0;
  double lastChange_ = 0;
};

// Chooses each frame's weight so that any six changes of the frames shown span more than
// GuardWindowSeconds. A change that fits is shown whole; one that does not is blended
// towards the last frame shown as far as needed to stay below a change, and shown once the
// window has room again (at most about a second later), so a kept flash stays a flash.
class FlashGuard {
 public:
  // A second plus a margin, so that a counter working on whole frames at any rate sees no more.
  static constexpr double GuardWindowSeconds = 1.1;
  // Changes allowed within the window: two flashes and a half. A counter that sees two changes
  // more (cells a little brighter or darker after video compression tip frames over) still
  // counts three flashes.
  static constexpr int MaxChangesInWindow = 5;
  // Changes of the stricter count allowed within the window: a counter that sees some of the
  // changes just below the threshold as changes still counts three flashes.
  static constexpr int MaxStrictChangesInWindow = 6;

  FlashGuard();
  // The weight to show the frame drawn for `time` with, given its measures and a function that
  // measures a blend of it with the last frame shown at a weight. BlendWhole when the frame makes
  // no change, or one that fits; else the largest weight whose blend makes none.
  int Choose(double time, const CellMeasures& frame,
             const std::function<CellMeasures(int weight)>& measureBlend) const;
  // Takes the measures of the frame that was shown at `time`.
  void Shown(double time, const CellMeasures& shown);
  // Forgets every frame shown (a new start of the picture).
  void Reset();
  // Whether a frame has been shown since the last reset, and when.
  bool Started() const { return started_; }
  double LastTime() const { return lastTime_; }

 private:
  // Whether the frame makes no change that a full window cannot take (calm: no change at all).
  bool Fits(double time, const CellMeasures& frame, bool calm) const;

  // Per measure (luminance, red): the changes counted, a stricter count, and the times of the
  // changes of each within the window.
  struct Kind {
    FrameChanges counted;
    FrameChanges strict;
    std::deque<double> times;
    std::deque<double> strictTimes;
  };
  Kind general_;
  Kind red_;
  bool started_ = false;
  double lastTime_ = 0;
};
