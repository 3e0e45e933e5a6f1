// Cloth simulation: construction, the step, floor and surface collision, normals, the hit-surface
// file and the per-particle force gathering against the whole-list scan.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "render/GL.h"
#include "scenes/Cloth.h"
#include "scenes/ClothReference.h"
#include "support/TestSupport.h"

namespace {

TCloth ShowCloth() {
  TCloth cloth;
  cloth.Create(20, 20, 1.0f, 1.0f, 200.0f, 0.7f);
  return cloth;
}

TClothParticle& At(TCloth& cloth, int i, int j) { return cloth.Particles[j * cloth.Columns + i]; }

int CountRest(const TCloth& cloth, float restLength) {
  int n = 0;
  for (const TClothSpring& s : cloth.Springs) n += s.RestLength == restLength;
  return n;
}

std::vector<uint8_t> FloatBytes(const std::vector<float>& values) {
  std::vector<uint8_t> bytes(values.size() * 4);
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

}  // namespace

TEST(ClothCreate, ShowGridHasItsSpringFamiliesAtRest) {
  TCloth cloth = ShowCloth();
  ASSERT_EQ(cloth.Particles.size(), 400u);
  EXPECT_EQ(cloth.Springs.size(), 2202u);
  EXPECT_EQ(CountRest(cloth, 0.6f), 760);
  EXPECT_EQ(CountRest(cloth, static_cast<float>(0.6 * std::sqrt(2.0))), 722);
  EXPECT_EQ(CountRest(cloth, 1.2f), 720);
  // Family order: structural along a row first, bend along a column last.
  EXPECT_EQ(cloth.Springs.front().A, 0);
  EXPECT_EQ(cloth.Springs.front().B, 1);
  EXPECT_EQ(cloth.Springs.back().A, 17 * 20 + 19);
  EXPECT_EQ(cloth.Springs.back().B, 19 * 20 + 19);
  // Every spring's rest length is the distance it spans, so the sheet starts without tension.
  for (const TClothSpring& s : cloth.Springs) {
    EXPECT_EQ(s.Stiffness, 200.0f);
    const float d = Distance(cloth.Particles[s.A].Position, cloth.Particles[s.B].Position);
    EXPECT_NEAR(d, s.RestLength, 1e-5f) << s.A << "-" << s.B;
  }
  EXPECT_FLOAT_EQ(At(cloth, 0, 0).Position.x, -6.0f);
  EXPECT_FLOAT_EQ(At(cloth, 0, 0).Position.y, 6.0f);
  EXPECT_FLOAT_EQ(At(cloth, 19, 19).Position.x, 5.4f);
  EXPECT_FLOAT_EQ(At(cloth, 19, 19).Position.y, 17.4f);
  EXPECT_EQ(At(cloth, 19, 19).Position.z, 18.0f);
  EXPECT_FLOAT_EQ(At(cloth, 10, 5).TexU, 0.5f);
  EXPECT_FLOAT_EQ(At(cloth, 10, 5).TexV, 0.25f);
  int pinned = 0;
  for (const TClothParticle& p : cloth.Particles) pinned += p.Pinned;
  EXPECT_EQ(pinned, 4);
  EXPECT_EQ(At(cloth, 0, 0).Pinned + At(cloth, 19, 0).Pinned + At(cloth, 0, 19).Pinned +
                At(cloth, 19, 19).Pinned,
            4);
}

TEST(ClothCreate, NarrowGridsDropTheFamiliesThatDoNotFit) {
  TCloth cloth;
  cloth.Create(2, 2, 1, 1, 200, 1);
  EXPECT_EQ(cloth.Springs.size(), 6u);  // 2 + 2 structural, 1 + 1 shear, no bend
  cloth.Create(1, 4, 1, 1, 200, 1);
  EXPECT_EQ(cloth.Springs.size(), 5u);  // 3 along the row, 2 bend
  cloth.Create(1, 1, 1, 1, 200, 1);
  EXPECT_TRUE(cloth.Springs.empty());
  EXPECT_EQ(cloth.Particles[0].Pinned, 1);
  cloth.Create(0, 5, 1, 1, 200, 1);
  EXPECT_TRUE(cloth.Particles.empty());
  cloth.ReleaseCorners();
  cloth.PullFarCorners(1.0f);
  cloth.Step(0.1f);
  cloth.ComputeNormals();
}

TEST(ClothStep, ZeroTimeStepKeepsPositionsAndDampsFreeVelocities) {
  TCloth cloth = ShowCloth();
  for (size_t p = 0; p < cloth.Particles.size(); ++p) {
    cloth.Particles[p].Position.z += 0.01f * static_cast<float>(p % 7);  // some tension
    cloth.Particles[p].Velocity = {1.5f, -2.0f, 0.25f * static_cast<float>(p % 5)};
  }
  const std::vector<TClothParticle> before = cloth.Particles;
  cloth.Step(0.0f);
  for (size_t p = 0; p < before.size(); ++p) {
    const TClothParticle& next = cloth.NextParticles[p];
    EXPECT_EQ(next.Position.x, before[p].Position.x);
    EXPECT_EQ(next.Position.y, before[p].Position.y);
    EXPECT_EQ(next.Position.z, before[p].Position.z);
    const float factor = before[p].Pinned ? 1.0f : 0.8f;
    EXPECT_EQ(next.Velocity.x, before[p].Velocity.x * factor) << p;
    EXPECT_EQ(next.Velocity.z, before[p].Velocity.z * factor) << p;
  }
}

TEST(ClothStep, FreeParticlesFallUnderGravityOverMass) {
  TCloth cloth;
  cloth.Create(1, 1, 1, 1, 200, 0.7f);
  cloth.ReleaseCorners();
  cloth.Step(0.5f);
  const TClothParticle& p = cloth.NextParticles[0];
  EXPECT_FLOAT_EQ(p.Velocity.z, -37.98f / 0.7f * 0.5f * 0.8f);
  EXPECT_FLOAT_EQ(p.Position.z, 18.0f + p.Velocity.z * 0.5f);
  EXPECT_EQ(p.Velocity.x, 0.0f);
  // A stretched spring pulls its ends together.
  cloth.Create(1, 2, 1, 1, 200, 1);
  cloth.ReleaseCorners();
  cloth.Particles[1].Position.x += 0.6f;
  cloth.Step(0.01f);
  EXPECT_GT(cloth.Springs[0].Tension, 0.0f);
  EXPECT_GT(cloth.NextParticles[0].Velocity.x, 0.0f);
  EXPECT_LT(cloth.NextParticles[1].Velocity.x, 0.0f);
}

TEST(ClothStep, CoincidentParticlesStayFinite) {
  TCloth cloth;
  cloth.Create(1, 2, 1, 1, 200, 1);
  cloth.ReleaseCorners();
  cloth.Particles[1].Position = cloth.Particles[0].Position;
  cloth.Step(0.01f);
  for (const TClothParticle& p : cloth.NextParticles) {
    EXPECT_TRUE(std::isfinite(p.Position.x));
    EXPECT_TRUE(std::isfinite(p.Velocity.z));
  }
}

TEST(ClothCorners, PinnedCornersHoldButTheFloorLiftsThem) {
  TCloth cloth = ShowCloth();
  At(cloth, 0, 0).Position.y = -20.0f;
  const Vector3 held = At(cloth, 0, 0).Position;
  for (int n = 0; n < 3; ++n) {
    cloth.Step(1.0f / 60);
    cloth.ClampMinY(-15.0f);
    cloth.CommitStep();
  }
  EXPECT_EQ(At(cloth, 0, 0).Position.x, held.x);
  EXPECT_EQ(At(cloth, 0, 0).Position.y, -15.0f);
  EXPECT_EQ(At(cloth, 0, 0).Position.z, held.z);
  EXPECT_EQ(At(cloth, 19, 0).Position.z, 18.0f);
  EXPECT_LT(At(cloth, 10, 10).Position.z, 18.0f);
}

TEST(ClothCorners, ReleasedCornersFallAndPulledCornersAreDragged) {
  TCloth cloth = ShowCloth();
  cloth.ReleaseCorners();
  cloth.Step(1.0f / 60);
  cloth.CommitStep();
  EXPECT_LT(At(cloth, 0, 0).Position.z, 18.0f);
  EXPECT_LT(At(cloth, 19, 19).Position.z, 18.0f);

  const float y0 = At(cloth, 0, 19).Position.y, y1 = At(cloth, 19, 19).Position.y;
  const float z0 = At(cloth, 0, 19).Position.z;
  cloth.PullFarCorners(0.1f);
  EXPECT_EQ(At(cloth, 0, 19).Pinned, 1);
  EXPECT_EQ(At(cloth, 19, 19).Pinned, 1);
  EXPECT_EQ(At(cloth, 0, 0).Pinned, 0);
  EXPECT_FLOAT_EQ(At(cloth, 0, 19).Position.y, y0 + 0.1f);
  EXPECT_FLOAT_EQ(At(cloth, 19, 19).Position.y, y1 + 0.1f);
  cloth.Step(1.0f / 60);
  cloth.CommitStep();
  EXPECT_EQ(At(cloth, 0, 19).Position.z, z0);  // held while pinned
}

TEST(ClothCollision, BouncesOnlyInsideTheSampledRowsAndColumns) {
  // A surface everywhere at z = 85, far above the cloth: every particle over a sampled cell
  // is below it. Cells outside the sampled band hold a surface too and must still be ignored.
  TCloth cloth;
  cloth.Create(1, 1, 1, 1, 200, 1);
  for (auto& row : cloth.HitHeights)
    for (float& h : row) h = 100.0f;
  struct Case {
    float x, y;
    bool hit;
  };
  const Case cases[] = {{9.8f, 5.0f, true},   {-9.8f, 5.0f, true},  {10.0f, 5.0f, false},
                        {-10.0f, 5.0f, false}, {0.0f, 0.2f, true},   {0.0f, 0.0f, false},
                        {0.0f, 24.8f, true},   {0.0f, 25.0f, false}, {0.0f, -3.0f, false},
                        {1e30f, 5.0f, false},  {NAN, 5.0f, false}};
  for (const Case& c : cases) {
    cloth.Particles[0].Position = {c.x, c.y, 3.0f};
    cloth.NextParticles[0] = cloth.Particles[0];
    cloth.NextParticles[0].Position.z = 2.0f;
    cloth.NextParticles[0].Velocity = {0.0f, 0.0f, -4.0f};
    cloth.CollideHitSurface();
    const TClothParticle& next = cloth.NextParticles[0];
    if (c.hit) {
      EXPECT_EQ(next.Velocity.z, 4.0f) << c.x << "," << c.y;
      EXPECT_FLOAT_EQ(next.Position.z, 3.01f);
    } else {
      EXPECT_EQ(next.Velocity.z, -4.0f) << c.x << "," << c.y;
      EXPECT_EQ(next.Position.z, 2.0f);
    }
  }
}

TEST(ClothCollision, PicksTheNearestCellWithHalvesToEvenAndSkipsEmptyCells) {
  TCloth cloth;
  cloth.Create(1, 1, 1, 1, 200, 1);
  auto collides = [&cloth](float x, float y, float z) {
    cloth.NextParticles[0].Position = {x, y, z};
    cloth.NextParticles[0].Velocity = {0, 0, -1};
    cloth.CollideHitSurface();
    return cloth.NextParticles[0].Velocity.z > 0;
  };
  cloth.HitHeights[52][10] = 20.0f;  // a surface at z = 5 over x = 0.4, y = 2.0
  EXPECT_TRUE(collides(0.5f, 2.0f, 5.0f));   // x * 5 = 2.5 goes down to 2
  EXPECT_FALSE(collides(0.5f, 2.0f, 5.5f));  // above the surface
  EXPECT_FALSE(collides(0.6f, 2.0f, 4.0f));  // x * 5 = 3: no surface in that cell
  cloth.HitHeights[57][10] = 20.0f;
  EXPECT_FALSE(collides(1.5f, 2.0f, 4.0f));  // 7.5 goes up to 8, not down to 7
  cloth.HitHeights[58][10] = 20.0f;
  EXPECT_TRUE(collides(1.5f, 2.0f, 4.0f));
  cloth.HitHeights[50][2] = 20.0f;
  EXPECT_TRUE(collides(0.0f, 0.5f, 4.0f));  // y * 5 = 2.5 goes down to 2
}

TEST(ClothHitSurface, ReadsTheGridAndReportsMissingOrWrongSizedFiles) {
  TempDir dir;
  std::vector<float> heights(TCloth::HitRows * TCloth::HitColumns);
  for (size_t k = 0; k < heights.size(); ++k) heights[k] = static_cast<float>(k % 97) + 1.0f;
  WriteFile(dir.File("surface.hit"), FloatBytes(heights));
  {
    TCloth cloth;
    MessageLog log;
    EXPECT_TRUE(cloth.LoadHitSurface(dir.File("surface.hit")));
    EXPECT_TRUE(log.messages.empty());
    EXPECT_EQ(cloth.HitHeights[0][0], heights[0]);
    EXPECT_EQ(cloth.HitHeights[1][0], heights[126]);
    EXPECT_EQ(cloth.HitHeights[100][125], heights.back());
  }
  {
    TCloth cloth;
    cloth.Create(20, 20, 1, 1, 200, 0.7f);
    MessageLog log;
    EXPECT_FALSE(cloth.LoadHitSurface(dir.File("missing.hit")));
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_NE(log.messages[0].second.find("missing.hit"), std::string::npos);
    // The cloth runs on without a surface.
    cloth.ReleaseCorners();
    for (int n = 0; n < 30; ++n) {
      cloth.Step(1.0f / 30);
      cloth.CollideHitSurface();
      cloth.CommitStep();
    }
    EXPECT_LT(cloth.Particles[0].Position.z, 15.0f);
  }
  {
    // Ten whole values and half of an eleventh: only the whole ones count.
    std::vector<uint8_t> bytes = FloatBytes(std::vector<float>(heights.begin(), heights.begin() + 11));
    bytes.resize(42);
    WriteFile(dir.File("short.hit"), bytes);
    TCloth cloth;
    cloth.HitHeights[50][50] = 7.0f;
    MessageLog log;
    EXPECT_FALSE(cloth.LoadHitSurface(dir.File("short.hit")));
    EXPECT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(cloth.HitHeights[0][9], heights[9]);
    EXPECT_EQ(cloth.HitHeights[0][10], 0.0f);
    EXPECT_EQ(cloth.HitHeights[50][50], 0.0f);
  }
  {
    std::vector<float> longer = heights;
    longer.resize(heights.size() + 100, 5.0f);
    WriteFile(dir.File("long.hit"), FloatBytes(longer));
    TCloth cloth;
    MessageLog log;
    EXPECT_FALSE(cloth.LoadHitSurface(dir.File("long.hit")));
    EXPECT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(cloth.HitHeights[100][125], heights.back());
  }
}

TEST(ClothNormals, FlatSheetFacesDownAndRecomputingChangesNothing) {
  TCloth cloth = ShowCloth();
  cloth.ComputeNormals();
  for (const TClothParticle& p : cloth.Particles) {
    EXPECT_FLOAT_EQ(p.Normal.x, 0.0f);
    EXPECT_FLOAT_EQ(p.Normal.y, 0.0f);
    EXPECT_FLOAT_EQ(p.Normal.z, -1.0f);
  }
  // A crumpled cloth: normals are unit length and stable under a second computation.
  cloth.ReleaseCorners();
  cloth_reference::FillDome(cloth);
  for (int n = 0; n < 60; ++n) {
    cloth.Step(1.0f / 60);
    cloth.CollideHitSurface();
    cloth.CommitStep();
  }
  cloth.ComputeNormals();
  const std::vector<TClothParticle> first = cloth.Particles;
  cloth.ComputeNormals();
  for (size_t p = 0; p < first.size(); ++p) {
    const Vector3& n = cloth.Particles[p].Normal;
    EXPECT_EQ(std::memcmp(&n, &first[p].Normal, sizeof n), 0);
    EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-5f);
  }
}

TEST(ClothStep, PerParticleSpringListsMatchTheWholeListScanBitForBit) {
  TCloth fast = ShowCloth();
  cloth_reference::FillDome(fast);
  TCloth reference = fast;
  // The show's script in miniature: held, released, dragged pinned, dragged free; uneven frames.
  for (int n = 0; n < 300; ++n) {
    const float dt = (n % 3 == 0) ? 1.0f / 50 : 1.0f / 70;
    for (TCloth* cloth : {&fast, &reference}) {
      if (n >= 60) cloth->ReleaseCorners();
      if (n >= 150) cloth->PullFarCorners(dt * 6.0f);
      if (n >= 220) cloth->ReleaseCorners();
    }
    fast.Step(dt);
    cloth_reference::ScanningStep(reference, dt);
    for (TCloth* cloth : {&fast, &reference}) {
      cloth->ClampMinY(-15.0f);
      cloth->CollideHitSurface();
      cloth->CommitStep();
    }
  }
  int mismatches = 0;
  for (size_t p = 0; p < fast.Particles.size(); ++p) {
    const TClothParticle& a = fast.Particles[p];
    const TClothParticle& b = reference.Particles[p];
    mismatches += std::memcmp(&a.Position, &b.Position, sizeof a.Position) != 0;
    mismatches += std::memcmp(&a.Velocity, &b.Velocity, sizeof a.Velocity) != 0;
  }
  EXPECT_EQ(mismatches, 0);
  // The run really moved the cloth and touched the dome.
  EXPECT_LT(fast.Particles[210].Position.z, 15.0f);
}

TEST(ClothDraw, CoversTheFrameWithFilledQuads) {
  EnsureGLContext();
  TCloth cloth = ShowCloth();
  cloth.ComputeNormals();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(-6.0, 5.4, 6.0, 17.4, -100, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glColor4f(1, 1, 1, 1);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  cloth.Draw();
  GLint mode[2] = {};
  glGetIntegerv(GL_POLYGON_MODE, mode);
  EXPECT_EQ(mode[0], GL_FILL);
  EXPECT_EQ(mode[1], GL_FILL);
  // Drawn as lines this time; the same cloth drawn filled covers the middle of the frame.
  glClear(GL_COLOR_BUFFER_BIT);
  cloth.Draw();
  EXPECT_EQ(ReadPixel(400, 300).r, 255);
  EXPECT_EQ(ReadPixel(13, 9).g, 255);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_DEPTH_TEST);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
