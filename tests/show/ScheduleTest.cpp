// The show frame in the real GL context: which scene draws with which arguments, point fields,
// pulse overlays and the ending.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "scenes/ClothScene.h"
#include "scenes/RailScene.h"
#include "scenes/Scenes.h"
#include "show/Ending.h"
#include "show/Schedule.h"
#include "show/StarField.h"
#include "support/TestSupport.h"
#include "timeline/BeatClock.h"
#include "timeline/GentleFlashes.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
uint32_t AdvanceSeed(uint32_t seed, int draws) {
  while (draws-- > 0) seed = seed * 134775813u + 1u;
  return seed;
}

float Draw(uint32_t& seed) {
  seed = AdvanceSeed(seed, 1);
  return static_cast<float>(seed / 4294967296.0);
}

// A seed whose next point of a point field lands well inside the view from (4, 0, 0).
uint32_t SeedOfAVisiblePoint() {
  for (uint32_t candidate = 1;; ++candidate) {
    uint32_t seed = candidate;
    const float z = Draw(seed) * 100 - 100 + 50;
    const float y = Draw(seed) * 100 - 100 + 50;
    const float x = Draw(seed) * 100 - 100;
    const float depth = 4 - x;
    if (depth > 20 && std::abs(y) / depth < 0.25f && std::abs(z) / depth < 0.3f) return candidate;
  }
}

struct LitArea {
  int count = 0;
  int width = 0;
  int height = 0;
};

LitArea FindLitPixels(const std::vector<uint8_t>& pixels) {
  LitArea area;
  int minX = 800, maxX = -1, minY = 600, maxY = -1;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * 800 + x) * 4];
      if (p[0] + p[1] + p[2] < 48) continue;
      ++area.count;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  if (area.count) area.width = maxX - minX + 1, area.height = maxY - minY + 1;
  return area;
}

double MeanBrightness(const std::vector<uint8_t>& pixels) {
  double sum = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) sum += pixels[i] + pixels[i + 1] + pixels[i + 2];
  return sum / (pixels.size() / 4 * 3);
}

class Schedule : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGLContext();
    // Every scene the schedule dispatches to, and the ending's logo, from the generated data.
    ASSERT_TRUE(LoadInData([] {
      LoadLightConeScene();
      LoadRailScene();
      LoadDominoScene();
      LoadGreetingsScene();
      LoadWellScene();
      LoadFlowerScene();
      LoadClothScene();
      LogoTexture = LoadTextureWithAlpha("vantrel_a.jpg", "vantrel.jpg");
    })) << "no generated data";
  }

  // Runs load with the generated data set as the data folder, as the program's loader does.
  static bool LoadInData(const std::function<void()>& load) {
    const std::filesystem::path data = GeneratedDataPath("");
    std::error_code error;
    if (!std::filesystem::is_directory(data, error)) return false;
    DataFolderScope folder(data.string());
    load();
    return true;
  }
  void SetUp() override {
    ResetBeatClock();
    RestorePerspective();
    savedSeed = RandomSeed;
  }
  void TearDown() override {
    SetFrameHook(nullptr);
    ResetBeatClock();
    ShowTime = FrameDelta = 0;
    RandomSeed = savedSeed;
  }

  // A run loop's frame at a show time, returning the frame as it was handed to PresentFrame.
  std::vector<uint8_t> ShowFrameAt(float time) {
    ShowTime = time;
    FrameDelta = 1 / 60.0f;
    std::vector<uint8_t> frame;
    SetFrameHook([&frame] { frame = ReadFramePixels(); });
    DrawShowFrame();
    PresentFrame(MainWindow);
    SetFrameHook(nullptr);
    return frame;
  }

  // Scene, star field and overlays from a fixed generator state, without the clock or the swap.
  std::vector<uint8_t> ComposedFrame(uint32_t seed) {
    RandomSeed = seed;
    // The burst keeps whatever point smoothing the previous frame's stars left; start alike.
    glDisable(GL_POINT_SMOOTH);
    glClearColor(0, 0, 0, 1);
    BeginFrame();
    DrawScheduledScene();
    DrawStarField(false, false);
    DrawPulseOverlays();
    return ReadFramePixels();
  }

  // The beat clock run from the first switch to scene up to stepsIn steps later, the last frame
  // lasting frameDelta; then pulse levels as the clock publishes them around a beat, so that every
  // argument that carries one is seen.
  void RunClockInto(int scene, float stepsIn, float frameDelta) {
    int first = 0;
    while (first < SceneTrackLength && SceneTrackAt(first) != scene) ++first;
    ASSERT_LT(first, SceneTrackLength);
    ResetBeatClock();
    const float start = (static_cast<float>(first) + 0.25f) / 12.4f;
    const float target = (static_cast<float>(first) + stepsIn) / 12.4f;
    ShowTime = start;
    FrameDelta = 0;
    RunBeatClock();
    FrameDelta = target - frameDelta - start;
    ShowTime = target - frameDelta;
    RunBeatClock();
    FrameDelta = frameDelta;
    ShowTime = target;
    RunBeatClock();
    ASSERT_EQ(CurrentScene, scene);
    ASSERT_GT(SceneTime, 0.1f);
    Pulse3 = 0.6f;
    Pulse4 = 0.7f;
    Pulse3Random = 0.9f;
  }

  // A frame begun as the show begins every frame, then draw; the picture it leaves.
  static std::vector<uint8_t> FrameOf(const std::function<void()>& draw) {
    glClearColor(0, 0, 0, 1);
    BeginFrame();
    SetPlainColour({1, 1, 1, 1});
    glDisable(GL_LIGHTING);
    draw();
    return ReadFramePixels();
  }

  uint32_t savedSeed = 0;
};

// Colour values that differ by more than rounding between two frames; with complement, between
// the first and the complement of the second.
int Mismatches(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
               bool complement = false) {
  int count = 0;
  for (size_t i = 0; i < a.size(); i += 4)
    for (int c = 0; c < 3; ++c) {
      const int other = complement ? 255 - b[i + c] : b[i + c];
      count += std::abs(a[i + c] - other) > 2;
    }
  return count;
}
}  // namespace

TEST_F(Schedule, EachSceneNumberDrawsItsOwnSceneWithItsArguments) {
  const float dt = 1 / 30.0f;
  const auto scheduled = [] { DrawScheduledScene(); };
  // A picture that shows something, and the one drawn directly with the arguments worked out here.
  // The schedule works its arguments out in extended precision, this test in double: the last bit
  // of a float may differ and move the odd edge pixel, where a wrong argument moves thousands.
  const auto expectSame = [](const std::vector<uint8_t>& scheduledFrame,
                             const std::vector<uint8_t>& direct, bool inverted = false) {
    EXPECT_GT(FindLitPixels(direct).count, 10000);
    EXPECT_LE(Mismatches(scheduledFrame, direct, inverted), 20);
  };

  // Rail and water, variant = scene number, with the scene time and the kind-3 pulse. The water is
  // put back before the direct frame; the scene reseeds the generator from show time.
  SetShowTimeReseeding(true);
  for (int scene = 1; scene <= 4; ++scene) {
    SCOPED_TRACE(scene);
    RunClockInto(scene, 3.5f, dt);
    const TWaterSim water = RailWater();
    const std::vector<uint8_t> frame = FrameOf(scheduled);
    RailWater() = water;
    expectSame(frame, FrameOf([&] { DrawRailScene(scene, SceneTime, 0.6f); }));
  }
  SetShowTimeReseeding(false);

  {
    SCOPED_TRACE(5);  // light cones, no arguments
    RunClockInto(5, 3.5f, dt);
    expectSame(FrameOf(scheduled), FrameOf(DrawLightConeScene));
  }
  // Dominoes at 1.17 x scene time; scene 7 from 13 backwards, inverted. Without frame time the
  // rolling camera stays where it is between the two frames.
  for (int scene : {6, 7}) {
    SCOPED_TRACE(scene);
    RunClockInto(scene, 3.5f, 0.0f);
    const double forward = 1.17 * SceneTime;
    const float x = static_cast<float>(scene == 6 ? forward : 13 - forward);
    expectSame(FrameOf(scheduled), FrameOf([x] { DrawDominoScene(x); }), scene == 7);
  }
  {
    SCOPED_TRACE(8);  // greetings: the scene clock runs at 25/32, shaken by the kind-3 pulse
    RunClockInto(8, 3.5f, dt);
    const uint32_t seed = RandomSeed;
    const std::vector<uint8_t> frame = FrameOf(scheduled);
    RandomSeed = seed;
    const float s = static_cast<float>(SceneTime * 25.0 / 32.0);
    expectSame(frame, FrameOf([s] { DrawGreetingsScene(s, 0.6f); }));
  }
  {
    SCOPED_TRACE(9);  // the well and its five values, each from a fresh load of its camera
    RunClockInto(9, 3.5f, dt);
    const double t = ShowTime, sceneTime = SceneTime;
    const float jolt = 0.6f * 10;
    const float spin = static_cast<float>(200 * std::sin(5 * t) * std::sin(2.8 * t) * 0.9);
    const float scroll = static_cast<float>(123 * std::sin(sceneTime) + sceneTime);
    const float bounce = static_cast<float>(20 * std::sin(t * 186 / 60));
    const float spike = static_cast<float>(50 * 0.7 * (std::sin(t) + 1));
    LoadInData(LoadWellScene);
    const std::vector<uint8_t> frame = FrameOf(scheduled);
    LoadInData(LoadWellScene);
    expectSame(frame, FrameOf([=] { DrawWellScene(jolt, spin, scroll, bounce, spike); }));
  }
  {
    SCOPED_TRACE(10);  // flowers, no arguments; without frame time the camera stays put
    RunClockInto(10, 3.5f, 0.0f);
    expectSame(FrameOf(scheduled), FrameOf(DrawFlowerScene));
  }

  // The cloth: scene 99 as it is, 11 lets all corners go, 12 pins the far corners and drags them
  // 6 units a second along y, 13 drags them 4 a second and lets them go (in each of the frame's
  // two steps of 1/60 s). The logo's alpha is sin(20 t) + 0.8 in all four.
  TCloth& cloth = SceneCloth();
  const int far0 = 19 * 20, far1 = 19 * 20 + 19;
  for (int scene : {99, 11, 12, 13}) {
    SCOPED_TRACE(scene);
    RunClockInto(scene, 3.5f, dt);
    const TCloth before = cloth;
    const std::vector<uint8_t> frame = FrameOf(scheduled);
    const TCloth after = cloth;
    cloth = before;
    // The corners are the table's; what they do to the cloth is checked below.
    const ClothCorners corners = FindShowScene(scene)->clothCorners.value();
    const float logoAlpha = static_cast<float>(std::sin(20.0 * ShowTime) + 0.8);
    expectSame(frame, FrameOf([logoAlpha, corners] { DrawClothScene(logoAlpha, corners); }));
    int differentParticles = 0;
    for (size_t p = 0; p < after.Particles.size(); ++p) {
      const TClothParticle &a = after.Particles[p], &b = cloth.Particles[p];
      differentParticles += a.Pinned != b.Pinned || a.Position.y != b.Position.y ||
                            a.Position.z != b.Position.z;
    }
    EXPECT_EQ(differentParticles, 0);
    const int pinnedCorners = after.Particles[0].Pinned + after.Particles[19].Pinned +
                              after.Particles[far0].Pinned + after.Particles[far1].Pinned;
    EXPECT_EQ(pinnedCorners, scene == 99 ? 4 : scene == 12 ? 2 : 0);
    if (scene == 12) {
      EXPECT_NEAR(after.Particles[far0].Position.y, before.Particles[far0].Position.y + dt * 6,
                  1e-5f);
      EXPECT_NEAR(after.Particles[far1].Position.y, before.Particles[far1].Position.y + dt * 6,
                  1e-5f);
    }
  }

  {
    SCOPED_TRACE(14);  // the point burst: round(scene time x 10000) + 1 points, three draws each
    RunClockInto(14, 3.5f, dt);
    const uint32_t seed = RandomSeed;
    FrameOf(scheduled);
    const int points = static_cast<int>(std::nearbyint(SceneTime * 10000.0)) + 1;
    EXPECT_EQ(RandomSeed, AdvanceSeed(seed, 3 * points));
  }
  // Scene 0 and numbers the show does not use draw nothing.
  for (int scene : {0, 15, 100}) {
    SCOPED_TRACE(scene);
    CurrentScene = scene;
    const uint32_t seed = RandomSeed;
    EXPECT_EQ(FindLitPixels(FrameOf(scheduled)).count, 0);
    EXPECT_EQ(RandomSeed, seed);
  }
}

TEST_F(Schedule, InversionPulseGivesTheComplementOfTheSameFrame) {
  ShowTime = 170.0f;  // 30001 stars
  CurrentScene = 14;
  SceneTime = 0.001f;  // 11 burst points
  Pulse2 = 0;
  const std::vector<uint8_t> plain = ComposedFrame(4242);
  ASSERT_GT(FindLitPixels(plain).count, 1000) << "the frame must have something to invert";
  Pulse2 = 1;
  const std::vector<uint8_t> inverted = ComposedFrame(4242);
  int mismatches = 0;
  for (size_t i = 0; i < plain.size(); i += 4)
    for (int c = 0; c < 3; ++c) mismatches += std::abs(255 - plain[i + c] - inverted[i + c]) > 1;
  EXPECT_EQ(mismatches, 0);
}

TEST_F(Schedule, FlashAddsPulse1TimesWhite) {
  CurrentScene = 0;
  Pulse1 = 0.5f;
  const std::vector<uint8_t> frame = ComposedFrame(1);
  EXPECT_NEAR(frame[(300 * 800 + 400) * 4], 128, 2);
  EXPECT_NEAR(MeanBrightness(frame), 128, 2);
  // After the overlays the enables are as the frame left them (the flash restores them).
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

namespace {
// A stand-in scene of two halves, dark (0.1) and light (0.8), with or without the pulse overlays.
std::vector<uint8_t> TwoToneFrame(bool overlays) {
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  Begin2D();
  DrawRect({0.1f, 0.1f, 0.1f, 1}, 0, 0, 400, 600);
  DrawRect({0.8f, 0.8f, 0.8f, 1}, 400, 0, 400, 600);
  End2D();
  if (overlays) DrawPulseOverlays();
  return ReadFramePixels();
}

int LargestChannelChange(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int largest = 0;
  for (size_t i = 0; i < a.size(); i += 4)
    for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a[i + c] - b[i + c]));
  return largest;
}
}  // namespace

TEST_F(Schedule, GentleFlashesStayVisibleWhereKeptAndFaintWhereDropped) {
  GentleMode = true;
  CurrentScene = 0;
  const std::vector<uint8_t> scene = TwoToneFrame(false);
  int kept = 0, dropped = 0;
  // The densest stretch of the show: every kind-1 and kind-2 step from 50 s to 60 s, at its peak.
  for (int step = 620; step < 744; ++step) {
    const int kind = PulseTrackAt(step);
    if (kind != 1 && kind != 2) continue;
    ShowTime = static_cast<float>((step + (kind == 1 ? -0.02 : 0.5)) / 12.4);
    FrameDelta = 1 / 30.0f;
    RunBeatClock();
    CurrentScene = 0;
    const int change = LargestChannelChange(scene, TwoToneFrame(true));
    if (GentleKeepsFlash(step)) {
      ++kept;
      EXPECT_GE(change, 100) << "a kept flash at step " << step << " is plainly seen";
    } else {
      ++dropped;
      EXPECT_GE(change, 3) << "step " << step << " still shows the beat";
      EXPECT_LE(change, 11) << "step " << step << " is softened below the flash threshold";
    }
  }
  GentleMode = false;
  // The run of nine flashes at 56 s keeps its first two.
  EXPECT_GE(kept, 3);
  EXPECT_GE(dropped, 6);
}

TEST_F(Schedule, GentleInversionFoldsColoursIntoTheMiddle) {
  CurrentScene = 0;
  Pulse2 = 1;
  GentleMode = true;
  ShowTime = static_cast<float>(340.5 / 12.4);  // step 340, a kind-2 step the table keeps
  RunBeatClock();
  ASSERT_TRUE(GentleKeepsFlash(340));
  const std::vector<uint8_t> gentle = TwoToneFrame(true);
  GentleMode = false;
  const std::vector<uint8_t> full = TwoToneFrame(true);
  const auto at = [](const std::vector<uint8_t>& f, int x) { return f[(300 * 800 + x) * 4]; };
  EXPECT_NEAR(at(full, 100), 255 - 26, 2);
  EXPECT_NEAR(at(full, 700), 255 - 204, 2);
  // g + d (1 - 2 g) with g = 0.75: dark 0.1 becomes 0.7, light 0.8 becomes 0.35.
  EXPECT_NEAR(at(gentle, 100), 0.7 * 255, 3);
  EXPECT_NEAR(at(gentle, 700), 0.35 * 255, 3);
}

TEST_F(Schedule, PointBurstAtTheStartOfItsSceneDrawsExactlyOnePoint) {
  CurrentScene = 14;
  SceneTime = 0;
  const uint32_t seed = SeedOfAVisiblePoint();
  const LitArea one = FindLitPixels(ComposedFrame(seed));
  EXPECT_EQ(RandomSeed, AdvanceSeed(seed, 3)) << "three draws per point";
  EXPECT_GT(one.count, 0);
  EXPECT_LE(one.width, 5);
  EXPECT_LE(one.height, 5);

  SceneTime = 0.0002f;  // rounds to 2: three points
  ComposedFrame(seed);
  EXPECT_EQ(RandomSeed, AdvanceSeed(seed, 9));
}

TEST_F(Schedule, StarFieldStartsWithOnePointJustAfter160Seconds) {
  CurrentScene = 0;
  ShowTime = 160.0f;
  ComposedFrame(99);
  EXPECT_EQ(RandomSeed, 99u) << "no star at exactly 160 s";
  ShowTime = 160.0001f;  // (t - 160) * 3000 = 0.32: one point
  ComposedFrame(99);
  EXPECT_EQ(RandomSeed, AdvanceSeed(99, 3));
  ShowTime = 161.0f;
  ComposedFrame(99);
  EXPECT_EQ(RandomSeed, AdvanceSeed(99, 3 * 3001));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "the star field turns the depth test back on";
}

TEST_F(Schedule, EndingTakesOverAt198SecondsAndLeavesTheClockAlone) {
  ShowFrameAt(2416.5f / 12.4f);  // the last switch, to the flowers
  ShowFrameAt(197.99f);
  EXPECT_EQ(BeatStep, 2455);
  EXPECT_EQ(CurrentScene, 10);

  StepPosition = -1;
  CurrentScene = 77;
  const std::vector<uint8_t> ending = ShowFrameAt(198.0f);
  EXPECT_EQ(StepPosition, -1) << "the clock does not run during the ending";
  EXPECT_EQ(CurrentScene, 77);
  EXPECT_GT(FindLitPixels(ending).count, 1000) << "the ending's stars";
}

TEST_F(Schedule, EndingFadesToBlack) {
  const double beforeFade = MeanBrightness(ShowFrameAt(203.5f));
  const double lastSecond = MeanBrightness(ShowFrameAt(206.5f));
  const double afterEnd = MeanBrightness(ShowFrameAt(207.0f));
  EXPECT_GT(beforeFade, 0);
  EXPECT_LT(lastSecond, beforeFade * 0.75);
  EXPECT_LT(afterEnd, 0.5);
}

TEST_F(Schedule, EndingShowsTheLogoInBlackOverTheStarsFrom204Seconds) {
  // The same stars in every frame: with one seed the later frames only add points.
  const auto frameAt = [this](float t) {
    RandomSeed = 4711;
    return ShowFrameAt(t);
  };
  const std::vector<uint8_t> none = frameAt(204.0f), half = frameAt(204.5f), full = frameAt(205.0f),
                             last = frameAt(206.0f);
  // Star pixels that the logo covers: lit at 204 s, black once the logo is opaque.
  int covered = 0, coveredOutside = 0, minX = 800, maxX = -1, minY = 600, maxY = -1;
  double litBefore = 0, litHalf = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const size_t at = (static_cast<size_t>(y) * 800 + x) * 4;
      const auto brightness = [at](const std::vector<uint8_t>& f) {
        return f[at] + f[at + 1] + f[at + 2];
      };
      if (brightness(none) < 150 || brightness(full) > 6) continue;
      ++covered;
      const bool inside = x >= 144 && x < 656 && y >= 44 && y < 556;
      coveredOutside += !inside;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
      litBefore += brightness(none);
      litHalf += brightness(half);
      EXPECT_LE(brightness(last), 6) << "the logo is still shown at 206 s: " << x << ", " << y;
    }
  EXPECT_GT(covered, 2000);
  EXPECT_EQ(coveredOutside, 0) << "the logo lies at (144, 44), 512 x 512";
  // The covered stars span the opaque part of the logo's picture, stretched over that square.
  GLint width = 0, height = 0;
  glBindTexture(GL_TEXTURE_2D, LogoTexture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  ASSERT_GT(width * height, 0);
  std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  int firstColumn = width, lastColumn = -1, firstRow = height, lastRow = -1;
  for (int row = 0; row < height; ++row)
    for (int column = 0; column < width; ++column) {
      if (texels[(static_cast<size_t>(row) * width + column) * 4 + 3] < 200) continue;
      firstColumn = std::min(firstColumn, column), lastColumn = std::max(lastColumn, column);
      firstRow = std::min(firstRow, row), lastRow = std::max(lastRow, row);
    }
  const auto screenX = [width](double column) { return 144 + 512 * (column + 0.5) / width; };
  const auto screenY = [height](double row) { return 44 + 512 * (row + 0.5) / height; };
  EXPECT_NEAR(minX, screenX(firstColumn), 8);
  EXPECT_NEAR(maxX, screenX(lastColumn), 8);
  EXPECT_NEAR(minY, screenY(firstRow), 8);
  EXPECT_NEAR(maxY, screenY(lastRow), 8);
  // Half way in, the logo takes half of what lies beneath it.
  EXPECT_NEAR(litHalf / litBefore, 0.5, 0.06);
  // Beside the logo the stars stay until the last fade.
  EXPECT_GT(FindLitPixels(last).count, covered);
}

// What the ending's opaque blacks cover is drawn hidden (from 204 s the flowers, from 207 s, which
// the live mode's clock passes, everything): against the same ending drawn in full, every frame,
// the frames after it and the generator's draws are the same.
TEST_F(Schedule, EndingDrawsWhatItsBlacksCoverHiddenWithTheSameFrames) {
  const auto drawnInFull = [](float time) {
    ShowTime = time;
    FrameDelta = 1 / 60.0f;
    glClearColor(0, 0, 0, 1);
    BeginFrame();
    SetPlainColour({1, 1, 1, 1});
    glDisable(GL_LIGHTING);
    DrawFlowerScene();
    Begin2D();
    DrawRect({0, 0, 0, std::clamp(time - 203.0f, 0.0f, 1.0f)}, 0, 0, 800, 600);
    End2D();
    DrawStarField(true, false);
    Begin2D();
    DrawImage(LogoTexture, {0, 0, 0, std::clamp(time - 204.0f, 0.0f, 1.0f)}, 144, 44, 512, 512);
    DrawRect({0, 0, 0, std::clamp(time - 206.0f, 0.0f, 1.0f)}, 0, 0, 800, 600);
    End2D();
    return ReadFramePixels();
  };
  // Each time is followed by one the blacks do not cover, which would show any state left behind.
  const std::vector<float> times = {203.0f, 203.2f, 204.0f, 203.98f, 205.3f, 203.5f,
                                    206.9f, 207.0f, 203.7f, 212.0f, 28800.0f, 203.9f};
  struct Run {
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint32_t> seeds;
  };
  const auto run = [&](const std::function<std::vector<uint8_t>(float)>& frameAt) {
    Run result;
    ResetFlowerScene();
    RandomSeed = 4711;
    for (const float time : times) {
      result.frames.push_back(frameAt(time));
      result.seeds.push_back(RandomSeed);
    }
    return result;
  };
  const Run full = run(drawnInFull);
  const Run shown = run([this](float time) { return ShowFrameAt(time); });
  for (size_t i = 0; i < times.size(); ++i) {
    EXPECT_EQ(shown.seeds[i], full.seeds[i]) << "generator after the frame at " << times[i] << " s";
    EXPECT_TRUE(shown.frames[i] == full.frames[i]) << "frame at " << times[i] << " s";
  }
  EXPECT_GT(FindLitPixels(full.frames[3]).count, 1000) << "the stars over the black at 203.98 s";
  EXPECT_EQ(FindLitPixels(full.frames[10]).count, 0) << "all black after 207 s";
}


// A scene the track starts but the table lacks would draw nothing: every one has an entry. Its
// first start (where --start scene:N and the listing put it) is where the beat clock, run through
// the show, first switches to it.
TEST(SceneTable, EveryScheduledSceneHasAnEntryThatDrawsItFromWhereTheClockFirstShowsIt) {
  ResetBeatClock();
  std::map<int, float> firstSeen;
  for (long frame = 0; frame < static_cast<long>(EndingStartTime * 100); ++frame) {
    ShowTime = frame / 100.0f;
    RunBeatClock();
    firstSeen.try_emplace(CurrentScene, ShowTime);
  }
  ResetBeatClock();
  ShowTime = 0;
  for (const SceneStartSpan& span : SceneStartSpans()) {
    SCOPED_TRACE(span.scene);
    const ShowScene* scene = FindShowScene(span.scene);
    ASSERT_NE(scene, nullptr);
    EXPECT_NE(scene->draw, nullptr);
    ASSERT_TRUE(firstSeen.count(span.scene)) << "never shown";
    EXPECT_GE(firstSeen[span.scene], scene->firstStart);
    EXPECT_LT(firstSeen[span.scene], scene->firstStart + 0.01f);
  }
  EXPECT_EQ(ShowScenes().size(), SceneStartSpans().size()) << "an entry for a scene never started";
}
