// Advancing the show without drawing carries exactly what drawing carries, and a reset brings
// everything back to how loading left it: the ground of --start and --loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/GL.h"
#include "render/RenderState.h"
#include "render/ScrambledState.h"
#include "scenes/ClothScene.h"
#include "scenes/DominoScene.h"
#include "scenes/FlowerScene.h"
#include "scenes/RailScene.h"
#include "scenes/Scenes.h"
#include "scenes/WellScene.h"
#include "show/Schedule.h"
#include "show/Seeking.h"
#include "show/ShowSnapshots.h"
#include "support/TestSupport.h"
#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
constexpr int StepsPerSecond = 60;

// Every value the show carries from frame to frame, as raw bits so that equality is exact.
std::vector<uint32_t> CarriedState() {
  std::vector<uint32_t> bits;
  auto add = [&bits](float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    bits.push_back(word);
  };
  auto addVector = [&add](const Vector3& v) {
    add(v.x);
    add(v.y);
    add(v.z);
  };
  for (const TClothParticle& p : SceneCloth().Particles) {
    addVector(p.Position);
    addVector(p.Velocity);
    bits.push_back(p.Pinned);
  }
  const TWaterSim& water = RailWater();
  for (int i = 0; i < TWaterSim::Size; ++i)
    for (int j = 0; j < TWaterSim::Size; ++j) {
      add(water.Height[i][j]);
      add(water.Velocity[i][j]);
    }
  addVector(DominoRollVector());
  addVector(FlowerSceneEye());
  addVector(WellSceneCamera().eye);
  addVector(WellSceneCamera().up);
  bits.push_back(RandomSeed);
  bits.push_back(static_cast<uint32_t>(CurrentScene));
  for (float value : {SceneTime, Pulse1, Pulse2, Pulse3, Pulse4, Pulse3Random}) add(value);
  return bits;
}

void SetFrameClock(long frame) {
  ShowTime = static_cast<float>(static_cast<double>(frame) / StepsPerSecond);
  FrameDelta = 1.0f / StepsPerSecond;
}

// From a reset show, advanced without drawing through every frame before firstFrame.
void AdvanceUpTo(long firstFrame) {
  ResetShow();
  for (long frame = 0; frame < firstFrame; ++frame) {
    SetFrameClock(frame);
    AdvanceShowFrame();
  }
}

class Advance : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGLContext();
    SetShowTimeReseeding(true);
    const std::filesystem::path data = GeneratedDataPath("");
    std::error_code error;
    ASSERT_TRUE(std::filesystem::is_directory(data, error)) << "no generated data set at " << data;
    DataFolderScope folder(data.string());
    for (SceneStep load : DistinctSceneSteps(&ShowScene::load)) load();
    RecordShowStart();
    Loaded = CarriedState();
  }
  static void TearDownTestSuite() {
    SetShowTimeReseeding(false);
    ResetShow();
    ShowTime = FrameDelta = 0;
  }
  static std::vector<uint32_t> Loaded;
};
std::vector<uint32_t> Advance::Loaded;

// A stretch of frames around something that carries state: a scene's start, the star field, the
// ending. Drawn or only advanced from the same start, the state after it is the same bits.
struct Stretch {
  const char* what;
  float from;
  float to;
};

TEST_F(Advance, AdvancingWithoutDrawingCarriesWhatDrawingCarries) {
  const Stretch stretches[] = {
      {"point burst (14)", 0.0f, 0.3f},       {"rail water (1)", 5.1f, 5.5f},
      {"domino roll (6)", 56.7f, 57.0f},      {"well camera (9)", 98.0f, 98.3f},
      {"flower eye (10)", 118.65f, 119.0f},   {"cloth hung, then freed (99, 11)", 140.5f, 140.8f},
      {"cloth dragged (12)", 149.6f, 149.9f}, {"cloth dragged and freed (13)", 158.65f, 158.9f},
      {"star field", 170.0f, 170.2f},         {"ending", 198.0f, 198.15f}};
  for (const Stretch& stretch : stretches) {
    SCOPED_TRACE(stretch.what);
    const long first = std::lround(stretch.from * StepsPerSecond);
    const long last = std::lround(stretch.to * StepsPerSecond);

    AdvanceUpTo(first);
    for (long frame = first; frame <= last; ++frame) {
      SetFrameClock(frame);
      DrawShowPicture();
    }
    const std::vector<uint32_t> drawn = CarriedState();

    AdvanceUpTo(first);
    for (long frame = first; frame <= last; ++frame) {
      SetFrameClock(frame);
      AdvanceShowFrame();
    }
    EXPECT_TRUE(CarriedState() == drawn) << "advancing left a different state than drawing";
  }
}

// The share of pixels whose largest channel difference is above one level.
double ShareAboveOneLevel(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t above = 0;
  for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
    int largest = 0;
    for (size_t c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a[i + c] - b[i + c]));
    above += largest > 1;
  }
  return static_cast<double>(above) / static_cast<double>(a.size() / 4);
}

// A time in the show and what is drawn there.
struct Start {
  const char* what;
  float time;
};

// A late start (--start, and --from of the offscreen modes) shows the frame a whole run shows:
// one whole run drawn at a low rate past the starts of the well, the flowers, the dragged cloth
// and the star field, against AdvanceShowTo each of those times at the same rate.
TEST_F(Advance, LateStartShowsTheFrameAWholeRunShows) {
  constexpr int Rate = 5;
  const Start starts[] = {{"well (9)", 98.2f},
                          {"flowers (10)", 118.8f},
                          {"dragged cloth (12)", 149.8f},
                          {"star field over the rail (1)", 191.4f}};
  std::vector<std::vector<uint8_t>> whole;
  ResetShow();
  size_t next = 0;
  for (long frame = 0; next < std::size(starts); ++frame) {
    ShowTime = static_cast<float>(static_cast<double>(frame) / Rate);
    FrameDelta = 1.0f / Rate;
    DrawShowPicture();
    if (ShowTime >= starts[next].time) {
      whole.push_back(ReadFramePixels());
      ++next;
    }
  }
  for (size_t i = 0; i < std::size(starts); ++i) {
    SCOPED_TRACE(starts[i].what);
    const long first = AdvanceShowTo(starts[i].time, Rate);
    EXPECT_EQ(first, std::lround(std::ceil(starts[i].time * Rate)));
    ShowTime = static_cast<float>(static_cast<double>(first) / Rate);
    FrameDelta = 1.0f / Rate;
    DrawShowPicture();
    const std::vector<uint8_t> late = ReadFramePixels();
    EXPECT_LE(ShareAboveOneLevel(late, whole[i]), 0.001);
    EXPECT_GT(ShareAboveOneLevel(late, std::vector<uint8_t>(late.size(), 0)), 0.01)
        << "the frame is black";
  }
}

// Each scene sets the GL state it draws with: its frame is the same bytes whatever was drawn
// before it, even after state no scene of the show leaves behind.
TEST_F(Advance, SceneDrawsTheSameWhateverStateItFinds) {
  constexpr int Rate = 10;
  const Start cases[] = {{"rail (1)", 6.0f},       {"light cones (5)", 27.0f},
                         {"greetings (8)", 48.0f}, {"dominoes (6)", 58.0f},
                         {"inverted dominoes (7)", 68.0f}, {"well (9)", 99.0f},
                         {"flowers (10)", 120.0f}, {"dragged cloth (12)", 150.0f},
                         {"point burst (14)", 178.7f}, {"ending", 200.0f}};
  auto drawAfter = [](float time, bool scramble) {
    ResetShow();
    long frame = 0;
    for (; static_cast<float>(static_cast<double>(frame) / Rate) < time; ++frame) {
      ShowTime = static_cast<float>(static_cast<double>(frame) / Rate);
      FrameDelta = 1.0f / Rate;
      AdvanceShowFrame();
    }
    ShowTime = static_cast<float>(static_cast<double>(frame) / Rate);
    if (scramble) ScrambleDrawingState();
    DrawShowPicture();
    return ReadFramePixels();
  };
  for (const Start& start : cases) {
    SCOPED_TRACE(start.what);
    const std::vector<uint8_t> normal = drawAfter(start.time, false);
    EXPECT_TRUE(drawAfter(start.time, true) == normal);
  }
}

// A jump in a show that has been playing shows the frame a late start shows, byte for byte,
// with the same carried state: from the snapshots (taken in any order), whatever the frames
// drawn before the jump left.
TEST_F(Advance, AJumpShowsTheFrameALateStartShows) {
  RememberRenderState();
  const auto landingFrame = [](float target, bool jump) {
    const long first = jump ? SeekShowTo(target, StepsPerSecond) : AdvanceShowTo(target, StepsPerSecond);
    SetFrameClock(first);
    DrawShowPicture();
    return std::make_pair(CarriedState(), ReadFramePixels());
  };
  const float targets[] = {150.2f, 75.5f, 203.9f, 20.0f, 100.0f};
  std::vector<std::pair<std::vector<uint32_t>, std::vector<uint8_t>>> late;
  for (float target : targets) {
    ForgetShowSnapshots();
    late.push_back(landingFrame(target, false));
  }
  // Played elsewhere first: the dominoes drawn for a second, then the jumps in another order.
  AdvanceShowTo(60.0f, StepsPerSecond);
  for (long frame = 60 * StepsPerSecond; frame < 61 * StepsPerSecond; ++frame) {
    SetFrameClock(frame);
    DrawShowPicture();
  }
  for (size_t i : {2u, 0u, 4u, 1u, 3u}) {
    SCOPED_TRACE(targets[i]);
    const auto jumped = landingFrame(targets[i], true);
    EXPECT_TRUE(jumped.first == late[i].first) << "the carried state differs";
    EXPECT_TRUE(jumped.second == late[i].second) << "the frame differs";
  }
  // The snapshots carry what advancing from a reset carries.
  RestoreShowFrameState(130 * StepsPerSecond + 7, StepsPerSecond);
  const std::vector<uint32_t> restored = CarriedState();
  AdvanceUpTo(130 * StepsPerSecond + 7);
  EXPECT_TRUE(restored == CarriedState());
}

TEST_F(Advance, ResetBringsBackWhatLoadingLeft) {
  AdvanceUpTo(StepsPerSecond * 200);
  ASSERT_FALSE(CarriedState() == Loaded) << "the show should have moved its state";
  ExitRequested = true;
  ResetShow();
  EXPECT_TRUE(CarriedState() == Loaded);
  EXPECT_FALSE(ExitRequested);
}

TEST_F(Advance, SecondPassDrawsTheFirstPassAgain) {
  // The first frames of the show after a whole pass and a reset: the same pictures.
  auto drawOpening = [] {
    std::vector<std::vector<uint8_t>> frames;
    for (long frame = 0; frame < 5; ++frame) {
      SetFrameClock(frame);
      DrawShowPicture();
      frames.push_back(ReadFramePixels());
    }
    return frames;
  };
  ResetShow();
  const auto first = drawOpening();
  AdvanceUpTo(StepsPerSecond * 207);
  ResetShow();
  EXPECT_TRUE(drawOpening() == first);
}
}  // namespace
