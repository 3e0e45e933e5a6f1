// Cloth scene: the circling eye, the bars' range, the scene's script on its cloth and the drawn
// frame in the real GL context.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/GL.h"
#include "scenes/ClothScene.h"
#include "scenes/SceneLoading.h"
#include "scenes/Scenes.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

TEST(ClothSceneValues, EyeCirclesEveryNineSecondsAndBarsStayOnScreen) {
  const Vector3 start = ClothEyePoint(0.0f);
  EXPECT_FLOAT_EQ(start.x, -2.0f);
  EXPECT_FLOAT_EQ(start.y, 2.0f);
  EXPECT_EQ(start.z, 27.5f);
  const Vector3 back = ClothEyePoint(9.0f);
  EXPECT_NEAR(back.x, -2.0f, 1e-4f);
  EXPECT_NEAR(back.y, 2.0f, 1e-4f);
  const Vector3 quarter = ClothEyePoint(2.25f);  // 90 degrees about z
  EXPECT_NEAR(quarter.x, -2.0f, 1e-4f);
  EXPECT_NEAR(quarter.y, -2.0f, 1e-4f);
  for (float t = 0; t < 30; t += 0.37f) {
    for (int i = 0; i <= 10; ++i) {
      EXPECT_GE(ClothBarY(i, t), 50.0f);
      EXPECT_LE(ClothBarY(i, t) + 25.0f, 575.0f);
    }
  }
  EXPECT_FLOAT_EQ(ClothBarY(0, 1.0f) + 12.5f, 312.5f + 250.0f * std::sin(1.0f));
}

class ClothSceneFrame : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGLContext();
    MessageLog log;
    std::error_code error;
    const bool haveData = std::filesystem::is_directory(GeneratedDataPath(""), error);
    LoadSceneIn(GeneratedDataPath(""), LoadClothScene);
    // Without a data set the missing surface is reported and the scene goes on without it.
    bool reported = false;
    for (const auto& message : log.messages)
      reported |= message.second.find("surface.hit") != std::string::npos;
    EXPECT_EQ(reported, !haveData);
    EXPECT_EQ(ClothModelMeshesDrawn(), haveData ? 4 : 0);
  }
  void TearDown() override { ShowTime = FrameDelta = 0; }
};

TEST_F(ClothSceneFrame, DrawsTheClothOverTheMiddleOfTheFrame) {
  TCloth& cloth = SceneCloth();
  const TCloth saved = cloth;
  ShowTime = 0.0f;
  FrameDelta = 1.0f / 60;
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  DrawClothScene(-0.5f, ClothCorners::Held);
  // Scene 99's frame stepped the held cloth: corners stay, the middle sags. A free particle of
  // the sheet at rest falls by gravity alone in the first step: velocity -37.98 / 0.7 x dt,
  // damped by 0.8, times dt.
  ASSERT_EQ(saved.Particles[210].Position.z, 18.0f) << "the sheet starts flat and at rest";
  EXPECT_EQ(cloth.Particles[0].Position.z, 18.0f);
  const double fall = 37.98 / 0.7 / 60 * 0.8 / 60;
  EXPECT_NEAR(cloth.Particles[210].Position.z, 18.0 - fall, 1e-5);
  EXPECT_LT(cloth.Particles[210].Position.z, 18.0f);
  // Seen from above, the sheet fills a large part of the middle of the picture.
  const std::vector<uint8_t> pixels = ReadFramePixels();
  int lit = 0;
  for (int y = 200; y < 400; ++y)
    for (int x = 300; x < 500; ++x) lit += pixels[(static_cast<size_t>(y) * 800 + x) * 4] > 100;
  EXPECT_GT(lit, 200 * 200 / 2);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  cloth = saved;
}

// The four parts of the cloth's script, a number of frames each.
constexpr ClothCorners Script[] = {ClothCorners::Held, ClothCorners::Released,
                                   ClothCorners::DraggedPinned, ClothCorners::DraggedFree};

bool SameParticles(const TCloth& a, const TCloth& b) {
  for (size_t p = 0; p < a.Particles.size(); ++p) {
    const TClothParticle& x = a.Particles[p];
    const TClothParticle& y = b.Particles[p];
    if (std::memcmp(&x.Position, &y.Position, sizeof x.Position) != 0 ||
        std::memcmp(&x.Velocity, &y.Velocity, sizeof x.Velocity) != 0 ||
        std::memcmp(&x.Normal, &y.Normal, sizeof x.Normal) != 0 || x.Pinned != y.Pinned)
      return false;
  }
  return true;
}

TEST_F(ClothSceneFrame, SixtyFramesASecondTakeOneStepOfTheWholeFrameAsAlways) {
  TCloth& cloth = SceneCloth();
  const TCloth saved = cloth;
  TCloth single = cloth;
  const float frame = 1.0f / 60;  // as the capture mode sets FrameDelta
  for (ClothCorners corners : Script) {
    for (int n = 0; n < 45; ++n) {
      // The frame as the scene has always run it: the script once, then one step of the frame.
      if (corners == ClothCorners::DraggedPinned) single.PullFarCorners(frame * 6);
      if (corners == ClothCorners::DraggedFree) single.PullFarCorners(frame * 4);
      if (corners == ClothCorners::Released || corners == ClothCorners::DraggedFree)
        single.ReleaseCorners();
      single.Step(frame);
      single.ClampMinY(-15.0f);
      single.CollideHitSurface();
      single.CommitStep();
      single.ComputeNormals();
      AdvanceSceneCloth(frame, corners);
    }
  }
  EXPECT_TRUE(SameParticles(cloth, single));
  EXPECT_LT(cloth.Particles[210].Position.z, 17.0f) << "the script moved the cloth";
  cloth = saved;
}

TEST_F(ClothSceneFrame, LongFramesAreShortStepsAndAStallIsCutToHalfASecond) {
  TCloth& cloth = SceneCloth();
  const TCloth saved = cloth;
  // Half a second in one frame, in 15 frames of 1/30 s and in 30 of 1/60 s: the same steps of
  // 1/60 s, with the corners dragged a little in each.
  TCloth reference;
  for (ClothCorners corners : Script)
    for (int n = 0; n < 30; ++n) AdvanceSceneCloth(1.0f / 60, corners);
  reference = cloth;
  for (float frame : {0.5f, 1.0f / 30}) {
    cloth = saved;
    for (ClothCorners corners : Script)
      for (int n = 0; n < static_cast<int>(std::lround(0.5f / frame)); ++n)
        AdvanceSceneCloth(frame, corners);
    EXPECT_TRUE(SameParticles(cloth, reference)) << "frames of " << frame << " s";
  }
  cloth = saved;
  for (ClothCorners corners : Script) AdvanceSceneCloth(4.0f, corners);
  EXPECT_TRUE(SameParticles(cloth, reference)) << "a stall of 4 s advances 0.5 s";
  cloth = saved;
}
