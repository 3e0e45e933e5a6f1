// The cloth and the water at every frame rate: the schedule's script run without drawing at a
// fixed frame rate, as the capture mode steps the show, and compared at whole seconds with the
// run at 60 frames a second.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "scenes/ClothScene.h"
#include "scenes/RailScene.h"
#include "scenes/SceneLoading.h"
#include "scenes/Scenes.h"
#include "show/Schedule.h"
#include "support/TestSupport.h"
#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {

// Every coordinate of a simulation, taken at each whole second of show time (every rate below
// has a frame exactly there).
using Samples = std::map<int, std::vector<float>>;

// How far a run may stray from the 60 fps run, as a multiple of the 120 fps run's own distance
// from it. Beyond the step lengths, runs differ where the script changes: the frame that passes
// a scene switch advances the simulation over the whole frame before it, so a part of the script
// starts or ends up to a frame of that rate off the switch: up to 1/13 s at 13 fps, 4.6 times
// the 1/60 s that bounds the shift between the 120 and 60 fps runs. The water's ripples and the
// cloth's bounces carry such a shift on, and the largest distance grows about in proportion to
// it; 6 leaves a margin over 4.6 for that "about". A diverging or buzzing step is hundreds to
// billions of times off.
constexpr double AllowedFactor = 6.0;
// The most the 120 fps run may differ from the 60 fps one, as a share of the largest distance
// the simulation moves from its start.
constexpr double MaxBaselineShare = 0.3;
constexpr int Rates[] = {13, 24, 25, 30, 50, 120, 144};

// Whether a rail scene (1 to 4) runs at the given show time, from the scene track.
bool RailSceneAt(float time) {
  for (int64_t step = static_cast<int64_t>(time * Bpm / 60 * 4); step >= 0; --step)
    if (const int scene = SceneTrackAt(step); scene != 0) return scene >= 1 && scene <= 4;
  return false;
}

// Runs the beat clock at fps from 0 s to the ending. advance(frame) moves the simulation in the
// frames that would draw its scene; coordinates() is taken at every whole second.
template <typename Advance, typename Coordinates>
Samples RunScript(int fps, Advance advance, Coordinates coordinates) {
  ResetBeatClock();
  Samples samples;
  for (long frame = 0;; ++frame) {
    ShowTime = static_cast<float>(static_cast<double>(frame) / fps);
    FrameDelta = 1.0f / static_cast<float>(fps);
    if (ShowTime >= EndingStartTime) break;
    RunBeatClock();
    advance(frame);
    if (frame % fps == 0) samples[static_cast<int>(frame / fps)] = coordinates();
  }
  return samples;
}

bool AllFinite(const Samples& run) {
  for (const auto& [second, values] : run)
    for (float v : values)
      if (!std::isfinite(v)) return false;
  return true;
}

// The largest distance between corresponding points (groups of `dimensions` coordinates) of
// two runs at the same seconds; infinite when either is not finite.
double LargestDistance(const Samples& run, const Samples& reference, int dimensions) {
  double largest = 0;
  for (const auto& [second, values] : reference) {
    const std::vector<float>& other = run.at(second);
    for (size_t i = 0; i + dimensions <= values.size(); i += dimensions) {
      double sum = 0;
      for (int d = 0; d < dimensions; ++d) {
        const double difference = static_cast<double>(other[i + d]) - values[i + d];
        sum += difference * difference;
      }
      const double distance = std::sqrt(sum);
      if (!(distance <= largest)) largest = distance;  // NaN wins
    }
  }
  return std::isnan(largest) ? INFINITY : largest;
}

class FrameRates : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGLContext();
    MessageLog quiet;
    std::error_code error;
    ASSERT_TRUE(std::filesystem::is_directory(GeneratedDataPath(""), error))
        << "the cloth needs the hit surface";
    LoadSceneIn(GeneratedDataPath(""), LoadClothScene);
    FreshCloth() = SceneCloth();
  }
  static TCloth& FreshCloth() {
    static TCloth cloth;
    return cloth;
  }
  void SetUp() override { savedSeed = RandomSeed; }
  void TearDown() override {
    SceneCloth() = FreshCloth();
    ResetBeatClock();
    ShowTime = FrameDelta = 0;
    RandomSeed = savedSeed;
  }

  // The cloth scene's script: held (99), released (11), landed, dragged pinned (12) and free
  // (13), as the schedule runs it; the particle positions at whole seconds.
  static Samples ClothRun(int fps) {
    SceneCloth() = FreshCloth();
    return RunScript(
        fps,
        [](long) {
          const ShowScene* scene = FindShowScene(CurrentScene);
          if (scene && scene->clothCorners) AdvanceSceneCloth(FrameDelta, *scene->clothCorners);
        },
        [] {
          std::vector<float> values;
          for (const TClothParticle& p : SceneCloth().Particles)
            values.insert(values.end(), {p.Position.x, p.Position.y, p.Position.z});
          return values;
        });
  }

  // The water of the rail scenes (1 to 4), moved in their frames, with the same splashes at the
  // same show times in every run (the show's random splashes differ from run to run), each at a
  // whole second at least half a second before its scene ends, so that the runs do not differ
  // most in whether a frame moves a fresh splash just before the water stops; the heights at
  // whole seconds.
  static Samples WaterRun(int fps, TWaterSim& water) {
    water.Create();
    water.Damping = 0.98f;
    return RunScript(
        fps,
        [fps, &water](long frame) {
          if (CurrentScene < 1 || CurrentScene > 4) return;
          MoveRailWater(water, FrameDelta);
          if (frame % fps == 0 && RailSceneAt(ShowTime + 0.5f)) {
            const long second = frame / fps;
            water.Splash(static_cast<int>(5 + second * 7 % 31),
                         static_cast<int>(5 + second * 11 % 31), 1000.0f);
          }
        },
        [&water] {
          return std::vector<float>(&water.Height[0][0], &water.Height[0][0] + 64 * 64);
        });
  }

  uint32_t savedSeed = 0;
};

// Checks every rate against the 60 fps run; prints the table it measured. The 120 fps run's own
// distance must itself be small beside how far the simulation moves in the show, or the
// comparison would say nothing.
void ExpectSameShowAtEveryRate(const char* what, Samples (*run)(int), int dimensions) {
  const Samples reference = run(60);
  ASSERT_TRUE(AllFinite(reference));
  Samples start;
  for (const auto& [second, values] : reference) start[second] = reference.begin()->second;
  const double motion = LargestDistance(reference, start, dimensions);
  std::map<int, double> distance;
  for (int fps : Rates) distance[fps] = LargestDistance(run(fps), reference, dimensions);
  const double baseline = distance[120];
  std::printf("%s: largest distance from where it starts %.4g at 60 fps\n", what, motion);
  EXPECT_LE(baseline, MaxBaselineShare * motion) << what;
  for (int fps : Rates) {
    std::printf("%s at %3d fps: largest distance from 60 fps %.4g (%.2f x the 120 fps run's)\n",
                what, fps, distance[fps], distance[fps] / baseline);
    EXPECT_TRUE(std::isfinite(distance[fps])) << what << " at " << fps << " fps";
    EXPECT_LE(distance[fps], AllowedFactor * baseline) << what << " at " << fps << " fps";
  }
}

}  // namespace

TEST_F(FrameRates, ClothFollowsTheSameScriptAtEveryRate) {
  ExpectSameShowAtEveryRate("cloth", ClothRun, 3);
}

namespace {
// How the cloth lies at 149 s: released at 140.6 s, it has landed before the drag starts at
// 149.7 s.
struct Landing {
  double moved = 0;   // the farthest any particle moved from 148 s to 149 s
  double gap = 0;     // mean height above the surface under each particle over the surface
  double over = 0;    // share of the particles over the surface
};

Landing LandingOf(const Samples& run, const TCloth& cloth) {
  const std::vector<float>& before = run.at(148);
  const std::vector<float>& landed = run.at(149);
  Landing landing;
  int over = 0;
  for (size_t i = 0; i < landed.size(); i += 3) {
    const float x = landed[i], y = landed[i + 1], z = landed[i + 2];
    const float moved = std::hypot(x - before[i], y - before[i + 1], z - before[i + 2]);
    landing.moved = std::max(landing.moved, static_cast<double>(moved));
    const int row = static_cast<int>(std::nearbyint(x * 5)) + 50;
    const int column = static_cast<int>(std::nearbyint(y * 5));
    if (row < 1 || row > TCloth::HitRows - 2 || column < 1 || column > TCloth::HitColumns - 2)
      continue;
    const float h = cloth.HitHeights[row][column];
    if (h == 0.0f) continue;
    ++over;
    landing.gap += z - (h - 15.0f);
  }
  if (over > 0) landing.gap /= over;
  landing.over = over / static_cast<double>(landed.size() / 3);
  return landing;
}
}  // namespace

TEST_F(FrameRates, ClothComesToRestOnTheSurfaceAtTwoFramesASecond) {
  const Samples slow = ClothRun(2);
  const Landing landed = LandingOf(slow, SceneCloth());
  const Landing reference = LandingOf(ClothRun(60), SceneCloth());
  std::printf("cloth at 149 s, 2 fps against 60 fps: moved in the last second %.3g / %.3g, mean "
              "gap over the surface %.3g / %.3g, share over the surface %.3g / %.3g\n",
              landed.moved, reference.moved, landed.gap, reference.gap, landed.over,
              reference.over);
  EXPECT_TRUE(AllFinite(slow));
  EXPECT_GE(landed.over, 0.9) << "the cloth lies over the surface";
  EXPECT_LT(std::fabs(landed.gap), 0.5) << "on it, neither hovering nor sunk";
  // The bounce rule keeps a landed cloth trembling a little at every rate.
  EXPECT_LE(landed.moved, 2 * reference.moved) << "and at rest as at 60 fps";
}

TEST_F(FrameRates, WaterFollowsTheSameScriptAtEveryRate) {
  static TWaterSim water;
  ExpectSameShowAtEveryRate("water", [](int fps) { return WaterRun(fps, water); }, 1);
}

TEST_F(FrameRates, WaterStaysBoundedAtTwoFramesASecond) {
  static TWaterSim water;
  const Samples slow = WaterRun(2, water);
  const Samples reference = WaterRun(60, water);
  EXPECT_TRUE(AllFinite(slow));
  auto largest = [](const Samples& run) {
    double value = 0;
    for (const auto& [second, heights] : run)
      for (float h : heights) value = std::max(value, static_cast<double>(std::fabs(h)));
    return value;
  };
  std::printf("water: largest height %.4g at 2 fps, %.4g at 60 fps\n", largest(slow),
              largest(reference));
  EXPECT_LE(largest(slow), 2 * largest(reference));
}

