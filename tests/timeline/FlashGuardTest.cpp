// Gentle mode's frame flash guard on synthetic pictures: what it lets through, what it holds,
// and that what it shows never puts four flashes into a second.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "timeline/FlashGuard.h"

namespace {
constexpr int Fps = 30;

// Cell luminances of a picture: `level` in the cells for which inPatch is true, `ground` elsewhere.
CellMeasures Picture(float level, float ground = 0.0f, const std::function<bool(int)>& inPatch = nullptr) {
  CellMeasures m;
  for (int cell = 0; cell < FlashGuardCells; ++cell)
    m.luminance[cell] = !inPatch || inPatch(cell) ? level : ground;
  return m;
}

CellMeasures Mix(const CellMeasures& last, const CellMeasures& frame, int weight) {
  CellMeasures m;
  const float w = static_cast<float>(weight) / BlendWhole;
  for (int cell = 0; cell < FlashGuardCells; ++cell) {
    m.luminance[cell] = last.luminance[cell] + w * (frame.luminance[cell] - last.luminance[cell]);
    m.red[cell] = last.red[cell] + w * (frame.red[cell] - last.red[cell]);
  }
  return m;
}

struct GuardRun {
  std::vector<CellMeasures> shown;
  std::vector<int> weights;
  int softened = 0;
};

// Shows the drawn pictures at Fps through a guard, blending in the cells' own measures.
GuardRun Guarded(const std::vector<CellMeasures>& drawn) {
  FlashGuard guard;
  GuardRun run;
  for (size_t i = 0; i < drawn.size(); ++i) {
    const double time = static_cast<double>(i) / Fps;
    const CellMeasures last = run.shown.empty() ? drawn[i] : run.shown.back();
    const int weight = guard.Choose(time, drawn[i], [&](int w) { return Mix(last, drawn[i], w); });
    run.shown.push_back(Mix(last, drawn[i], weight));
    run.weights.push_back(weight);
    run.softened += weight != BlendWhole;
    guard.Shown(time, run.shown.back());
  }
  return run;
}

struct Count {
  int changes = 0;
  int worstSecond = 0;  // flashes in the worst window of Fps frames
  double longestWithoutChange = 0;
};

// Counts the shown pictures as a recording's flash counter does: a change of 0.1 over a quarter
// of the frame within 0.2 s, windows of one second starting at every frame.
Count Flashes(const std::vector<CellMeasures>& shown, bool red = false) {
  FrameChanges changes(red ? 20.0f : 0.1f, red ? INFINITY : 0.8f, FlashGuardCells / 4, 0.2);
  std::vector<int> at;
  for (size_t i = 0; i < shown.size(); ++i)
    if (changes.Update(static_cast<double>(i) / Fps, red ? shown[i].red : shown[i].luminance) != 0)
      at.push_back(static_cast<int>(i));
  Count count;
  count.changes = static_cast<int>(at.size());
  for (size_t start = 0; start < shown.size(); ++start) {
    const int inWindow = static_cast<int>(std::count_if(at.begin(), at.end(), [&](int f) {
      return f >= static_cast<int>(start) && f < static_cast<int>(start) + Fps;
    }));
    count.worstSecond = std::max(count.worstSecond, inWindow / 2);
  }
  for (size_t i = 1; i < at.size(); ++i)
    count.longestWithoutChange = std::max(count.longestWithoutChange, static_cast<double>(at[i] - at[i - 1]) / Fps);
  return count;
}

// Full-frame alternation of black and white at hertz for seconds (a bright and a dark half of
// each period).
std::vector<CellMeasures> Strobe(double hertz, double seconds, const CellMeasures& bright = Picture(1.0f),
                                 const CellMeasures& dark = Picture(0.0f)) {
  std::vector<CellMeasures> frames;
  for (int i = 0; i < seconds * Fps; ++i) frames.push_back(std::fmod(i * hertz / Fps, 1.0) < 0.5 ? bright : dark);
  return frames;
}
}  // namespace

TEST(FlashGuard, TwoFlashesASecondPassUntouched) {
  const GuardRun run = Guarded(Strobe(2, 5));
  EXPECT_EQ(run.softened, 0);
  EXPECT_EQ(Flashes(run.shown).worstSecond, 2);
}

TEST(FlashGuard, SixFlashesASecondAreHeldToThreeAndStillSeen) {
  const std::vector<CellMeasures> drawn = Strobe(6, 5);
  ASSERT_EQ(Flashes(drawn).worstSecond, 6);
  const GuardRun run = Guarded(drawn);
  const Count shown = Flashes(run.shown);
  EXPECT_LE(shown.worstSecond, 3);
  // Not frozen: two flashes a second or more remain, no change more than a second after another.
  EXPECT_GE(shown.changes, 5 * 4);
  EXPECT_LT(shown.longestWithoutChange, 1.0);
  EXPECT_GT(run.softened, 0);
  // A held change is softened below the step, not hidden: the picture moves towards the new one.
  EXPECT_TRUE(std::any_of(run.weights.begin(), run.weights.end(), [](int w) { return w > 0 && w < BlendWhole; }));
}

TEST(FlashGuard, SixFlashesASecondAtOtherRatesOfTheCounter) {
  // The guard works on show time: what it shows at 60 frames a second, seen at 30, still holds.
  FlashGuard guard;
  std::vector<CellMeasures> shown;
  for (int i = 0; i < 5 * 60; ++i) {
    const double time = i / 60.0;
    const CellMeasures drawn = Picture(std::fmod(time * 6, 1.0) < 0.5 ? 1.0f : 0.0f);
    const CellMeasures last = shown.empty() ? drawn : shown.back();
    shown.push_back(Mix(last, drawn, guard.Choose(time, drawn, [&](int w) { return Mix(last, drawn, w); })));
    guard.Shown(time, shown.back());
  }
  std::vector<CellMeasures> everyOther;
  for (size_t i = 0; i < shown.size(); i += 2) everyOther.push_back(shown[i]);
  EXPECT_LE(Flashes(everyOther).worstSecond, 3);
}

TEST(FlashGuard, CutPairAfterThreeFlashesComesLateButComes) {
  // Three flashes and the first change of a fourth, then a cut to a bright scene that lasts two
  // thirds of a second and a cut back.
  std::vector<CellMeasures> drawn = Strobe(6, 0.6);
  for (int i = 0; i < 3; ++i) drawn.push_back(Picture(0.0f));
  const size_t cut = drawn.size();
  for (int i = 0; i < Fps * 2 / 3; ++i) drawn.push_back(Picture(0.7f));
  for (int i = 0; i < Fps; ++i) drawn.push_back(Picture(0.02f));
  const GuardRun run = Guarded(drawn);
  EXPECT_LE(Flashes(run.shown).worstSecond, 3);
  EXPECT_LT(run.weights[cut], BlendWhole) << "the cut would be the fourth flash";
  const auto bright = std::find_if(run.shown.begin() + cut, run.shown.end(),
                                   [](const CellMeasures& m) { return m.luminance[0] > 0.6f; });
  ASSERT_NE(bright, run.shown.end()) << "the bright scene is shown once the second has room";
  EXPECT_LT(bright - run.shown.begin() - cut, Fps * 2 / 3);
  // And alone, the same cut pair passes untouched.
  const GuardRun alone = Guarded(std::vector<CellMeasures>(drawn.begin() + cut - 3, drawn.end()));
  EXPECT_EQ(alone.softened, 0);
}

TEST(FlashGuard, SmallFlashingPatchIsLeftAlone) {
  // Ten cells of 64 strobing at 10 Hz cover less than a quarter of the frame.
  const auto patch = [](int cell) { return cell < 10; };
  const GuardRun run = Guarded(Strobe(10, 3, Picture(1.0f, 0.1f, patch), Picture(0.0f, 0.1f, patch)));
  EXPECT_EQ(run.softened, 0);
}

TEST(FlashGuard, RedFlashesAreHeldToo) {
  CellMeasures red = Picture(0.2126f);
  red.red.fill(320.0f);
  const GuardRun run = Guarded(Strobe(6, 3, red, Picture(0.0f)));
  EXPECT_LE(Flashes(run.shown, true).worstSecond, 3);
  EXPECT_LE(Flashes(run.shown).worstSecond, 3);
}

TEST(FlashGuard, MeasuresAndBlendsOfRealPixels) {
  constexpr int Width = 160, Height = 120;
  std::vector<uint8_t> white(Width * Height * 4, 255), black(Width * Height * 4, 0), red(Width * Height * 4, 0);
  for (size_t i = 0; i < red.size(); i += 4) red[i] = 255;
  // The first half of the rows (the lower half of the picture) white, the rest black.
  std::vector<uint8_t> half(black);
  std::fill(half.begin(), half.begin() + half.size() / 2, 255);
  EXPECT_FLOAT_EQ(MeasureFrame(white.data(), Width, Height).luminance[10], 1.0f);
  EXPECT_FLOAT_EQ(MeasureFrame(black.data(), Width, Height).luminance[10], 0.0f);
  const CellMeasures redCells = MeasureFrame(red.data(), Width, Height);
  EXPECT_NEAR(redCells.luminance[0], 0.2126f, 1e-6);
  EXPECT_NEAR(redCells.red[0], 320.0f, 1e-3);
  const CellMeasures halves = MeasureFrame(half.data(), Width, Height);
  EXPECT_FLOAT_EQ(halves.luminance[0], 0.0f);
  EXPECT_FLOAT_EQ(halves.luminance[FlashGuardCells - 1], 1.0f);

  std::vector<uint8_t> out(white.size());
  BlendFrames(black.data(), white.data(), 0, out.data(), out.size());
  EXPECT_EQ(out, black);
  BlendFrames(black.data(), white.data(), BlendWhole, out.data(), out.size());
  EXPECT_EQ(out, white);
  BlendFrames(black.data(), white.data(), BlendWhole / 2, out.data(), out.size());
  EXPECT_EQ(out[0], 128);
  // The measure of a blend is the measure of the blended pixels.
  const CellMeasures blended = MeasureBlend(black.data(), white.data(), BlendWhole / 2, Width, Height);
  EXPECT_FLOAT_EQ(blended.luminance[5], MeasureFrame(out.data(), Width, Height).luminance[5]);
}
