// The cloth and the water at every frame rate: the schedule's script run without drawing at a
// fixed frame rate, as the capture mode steps the show, and compared at whole seconds with the
// run at 60 frames a second.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "scenes/ClothScene.h"
#include "scenes/RailScene.h"
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
// from it. Runs at other rates differ from the 60 fps one by more than their step lengths: a
// scene switch falls between two frames, so the script's next part starts up to one frame late
// (77 ms at 13 fps against 8 ms at 120), and the bounces on the hit surface and the splashes
// amplify such differences. A diverging or buzzing step is hundreds to billions of times off.
constexpr double AllowedFactor = 3.0;
constexpr int Rates[] = {13, 24, 25, 30, 50, 120, 144};

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
    const std::filesystem::path here = std::filesystem::current_path(error);
    const std::filesystem::path data = GeneratedDataPath("");
    ASSERT_TRUE(std::filesystem::is_directory(data, error)) << "the cloth needs the hit surface";
    ASSERT_EQ(chdir(data.c_str()), 0);
    LoadClothScene();
    ASSERT_EQ(chdir(here.c_str()), 0);
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
          if (const auto corners = ClothCornersOf(CurrentScene))
            AdvanceSceneCloth(FrameDelta, *corners);
        },
        [] {
          std::vector<float> values;
          for (const TClothParticle& p : SceneCloth().Particles)
            values.insert(values.end(), {p.Position.x, p.Position.y, p.Position.z});
          return values;
        });
  }

  // The water of the rail scenes (1 to 4), moved in their frames, with the same splashes at the
  // same show times in every run (the show's random splashes differ from run to run); the
  // heights at whole seconds.
  static Samples WaterRun(int fps, TWaterSim& water) {
    water.Create();
    water.Damping = 0.98f;
    return RunScript(
        fps,
        [fps, &water](long frame) {
          if (CurrentScene < 1 || CurrentScene > 4) return;
          MoveRailWater(water, FrameDelta);
          if (frame % fps == 0) {
            const long second = frame / fps;
            water.Splash(static_cast<int>(5 + second * 7 % 31), static_cast<int>(5 + second * 11 % 31),
                         1000.0f);
          }
        },
        [&water] {
          return std::vector<float>(&water.Height[0][0], &water.Height[0][0] + 64 * 64);
        });
  }

  uint32_t savedSeed = 0;
};

// Checks every rate against the 60 fps run; prints the table it measured.
void ExpectSameShowAtEveryRate(const char* what, Samples (*run)(int), int dimensions) {
  const Samples reference = run(60);
  ASSERT_TRUE(AllFinite(reference));
  std::map<int, double> distance;
  for (int fps : Rates) distance[fps] = LargestDistance(run(fps), reference, dimensions);
  const double baseline = distance[120];
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

TEST_F(FrameRates, ClothComesToRestOnTheSurfaceAtTwoFramesASecond) {
  const Samples run = ClothRun(2);
  EXPECT_TRUE(AllFinite(run));
  const TCloth& cloth = SceneCloth();
  double speed = 0, height = 0;
  int below = 0;
  for (const TClothParticle& p : cloth.Particles) {
    speed += std::sqrt(p.Velocity.x * p.Velocity.x + p.Velocity.y * p.Velocity.y +
                       p.Velocity.z * p.Velocity.z);
    height += p.Position.z;
    const int row = static_cast<int>(std::nearbyint(p.Position.x * 5)) + 50;
    const int column = static_cast<int>(std::nearbyint(p.Position.y * 5));
    if (row > 0 && row < TCloth::HitRows - 1 && column > 0 && column < TCloth::HitColumns - 1) {
      const float h = cloth.HitHeights[row][column];
      below += h != 0.0f && p.Position.z < h - 15.0f - 0.5f;
    }
  }
  speed /= static_cast<double>(cloth.Particles.size());
  height /= static_cast<double>(cloth.Particles.size());
  std::printf("cloth at 2 fps after the script: mean speed %.3g, mean height %.3g, %d below\n",
              speed, height, below);
  EXPECT_LT(speed, 1.0);
  EXPECT_LT(height, 0.0) << "it fell from z = 18 onto the surface";
  EXPECT_EQ(below, 0) << "no particle sank into the surface";
}

TEST_F(FrameRates, WaterFollowsTheSameScriptAtEveryRate) {
  static TWaterSim water;
  ExpectSameShowAtEveryRate("water", [](int fps) { return WaterRun(fps, water); }, 1);
}

TEST_F(FrameRates, WaterStaysBoundedAndSettlesAtTwoFramesASecond) {
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

