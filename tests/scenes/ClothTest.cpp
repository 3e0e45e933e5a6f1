// Cloth simulation: construction, the step, floor and surface collision, normals, the hit-surface
// file and the per-particle force gathering against the whole-list scan.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

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

void Advance(TCloth& cloth, int steps, float dt) {
  for (int n = 0; n < steps; ++n) {
    cloth.Step(dt);
    cloth.ClampMinY(-15.0f);
    cloth.CollideHitSurface();
    cloth.CommitStep();
  }
}

}  // namespace

TEST(ClothCreate, SpringFamiliesStartAtRestAndNarrowGridsDropWhatDoesNotFit) {
  TCloth cloth = ShowCloth();
  EXPECT_EQ(cloth.Springs.size(), 2202u);
  int straight = 0, diagonal = 0, bend = 0;
  for (const TClothSpring& s : cloth.Springs) {
    straight += s.RestLength == 0.6f;
    diagonal += s.RestLength == static_cast<float>(0.6 * std::sqrt(2.0));
    bend += s.RestLength == 1.2f;
    // Every spring spans its rest length, so the sheet starts without tension.
    EXPECT_NEAR(Distance(cloth.Particles[s.A].Position, cloth.Particles[s.B].Position),
                s.RestLength, 1e-5f);
  }
  EXPECT_EQ(straight, 760);
  EXPECT_EQ(diagonal, 722);
  EXPECT_EQ(bend, 720);
  EXPECT_FLOAT_EQ(At(cloth, 0, 0).Position.x, -6.0f);
  EXPECT_FLOAT_EQ(At(cloth, 19, 19).Position.y, 17.4f);
  int pinned = 0;
  for (const TClothParticle& p : cloth.Particles) pinned += p.Pinned;
  EXPECT_EQ(pinned, 4);
  EXPECT_EQ(At(cloth, 19, 0).Pinned + At(cloth, 0, 19).Pinned, 2);

  cloth.Create(2, 2, 1, 1, 200, 1);
  EXPECT_EQ(cloth.Springs.size(), 6u);  // 2 + 2 structural, 1 + 1 shear, no bend
  cloth.Create(1, 4, 1, 1, 200, 1);
  EXPECT_EQ(cloth.Springs.size(), 5u);  // 3 along the row, 2 bend
  cloth.Create(0, 5, 1, 1, 200, 1);     // no particles: every operation does nothing
  cloth.ReleaseCorners();
  cloth.PullFarCorners(1.0f);
  Advance(cloth, 1, 0.1f);
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
    EXPECT_EQ(std::memcmp(&next.Position, &before[p].Position, sizeof(Vector3)), 0) << p;
    const float factor = before[p].Pinned ? 1.0f : 0.8f;
    EXPECT_EQ(next.Velocity.x, before[p].Velocity.x * factor) << p;
    EXPECT_EQ(next.Velocity.z, before[p].Velocity.z * factor) << p;
  }
}

TEST(ClothStep, CoincidentParticlesStayFinite) {
  TCloth cloth;
  cloth.Create(1, 2, 1, 1, 200, 1);
  cloth.ReleaseCorners();
  cloth.Particles[1].Position = cloth.Particles[0].Position;
  cloth.Step(0.01f);
  for (const TClothParticle& p : cloth.NextParticles)
    EXPECT_TRUE(std::isfinite(p.Position.z) && std::isfinite(p.Velocity.x));
}

TEST(ClothCorners, PinnedHoldButAreLiftedByTheFloorReleasedFallPulledAreDragged) {
  TCloth cloth = ShowCloth();
  At(cloth, 0, 0).Position.y = -20.0f;
  const Vector3 held = At(cloth, 0, 0).Position;
  Advance(cloth, 3, 1.0f / 60);
  EXPECT_EQ(At(cloth, 0, 0).Position.x, held.x);
  EXPECT_EQ(At(cloth, 0, 0).Position.y, -15.0f);
  EXPECT_EQ(At(cloth, 0, 0).Position.z, held.z);
  EXPECT_EQ(At(cloth, 19, 0).Position.z, 18.0f);
  EXPECT_LT(At(cloth, 10, 10).Position.z, 18.0f);

  cloth.ReleaseCorners();
  Advance(cloth, 1, 1.0f / 60);
  EXPECT_LT(At(cloth, 19, 0).Position.z, 18.0f);
  const float y = At(cloth, 0, 19).Position.y, z = At(cloth, 0, 19).Position.z;
  cloth.PullFarCorners(0.1f);
  EXPECT_EQ(At(cloth, 0, 19).Pinned + At(cloth, 19, 19).Pinned + At(cloth, 0, 0).Pinned, 2);
  EXPECT_FLOAT_EQ(At(cloth, 0, 19).Position.y, y + 0.1f);
  Advance(cloth, 1, 1.0f / 60);
  EXPECT_EQ(At(cloth, 0, 19).Position.z, z);
}

TEST(ClothCollision, BouncesOnlyInsideTheSampledCellsChosenWithHalvesToEven) {
  TCloth cloth;
  cloth.Create(1, 1, 1, 1, 200, 1);
  // Moves the particle from z 3 to z, falling, and reports whether it bounced.
  auto bounces = [&cloth](float x, float y, float z) {
    cloth.Particles[0].Position = {x, y, 3.0f};
    cloth.NextParticles[0] = cloth.Particles[0];
    cloth.NextParticles[0].Position.z = z;
    cloth.NextParticles[0].Velocity = {0, 0, -4.0f};
    cloth.CollideHitSurface();
    const TClothParticle& next = cloth.NextParticles[0];
    EXPECT_EQ(next.Velocity.z == 4.0f, next.Position.z == 3.01f) << x << "," << y;
    return next.Velocity.z == 4.0f;
  };
  // A surface at z = 85 everywhere, outside the sampled band too.
  for (auto& row : cloth.HitHeights)
    for (float& h : row) h = 100.0f;
  EXPECT_TRUE(bounces(9.8f, 5.0f, 2.0f));
  EXPECT_TRUE(bounces(-9.8f, 5.0f, 2.0f));
  EXPECT_TRUE(bounces(0.0f, 0.2f, 2.0f));
  EXPECT_TRUE(bounces(0.0f, 24.8f, 2.0f));
  EXPECT_FALSE(bounces(10.0f, 5.0f, 2.0f));
  EXPECT_FALSE(bounces(-10.0f, 5.0f, 2.0f));
  EXPECT_FALSE(bounces(0.0f, 0.0f, 2.0f));
  EXPECT_FALSE(bounces(0.0f, 25.0f, 2.0f));
  EXPECT_FALSE(bounces(1e30f, 5.0f, 2.0f));
  EXPECT_FALSE(bounces(NAN, 5.0f, 2.0f));

  std::memset(cloth.HitHeights, 0, sizeof cloth.HitHeights);
  cloth.HitHeights[52][10] = 20.0f;  // a surface at z = 5 over x = 0.4, y = 2.0
  EXPECT_TRUE(bounces(0.5f, 2.0f, 5.0f));   // x * 5 = 2.5 goes down to 2
  EXPECT_FALSE(bounces(0.5f, 2.0f, 5.5f));  // above the surface
  EXPECT_FALSE(bounces(0.6f, 2.0f, 4.0f));  // cell 3 holds 0: no surface
  cloth.HitHeights[57][10] = 20.0f;
  EXPECT_FALSE(bounces(1.5f, 2.0f, 4.0f));  // 7.5 goes up to 8, not down to 7
}

TEST(ClothHitSurface, ReadsTheGridAndReportsMissingOrWrongSizedFiles) {
  TempDir dir;
  std::vector<float> heights(TCloth::HitRows * TCloth::HitColumns);
  for (size_t k = 0; k < heights.size(); ++k) heights[k] = static_cast<float>(k % 97) + 1.0f;
  auto write = [&dir, &heights](const char* name, size_t bytes) {
    std::vector<uint8_t> data(bytes, 0x41);
    std::memcpy(data.data(), heights.data(), std::min(bytes, heights.size() * 4));
    WriteFile(dir.File(name), data);
    return dir.File(name);
  };
  TCloth cloth;
  MessageLog log;
  EXPECT_TRUE(cloth.LoadHitSurface(write("surface.hit", TCloth::HitFileBytes)));
  EXPECT_TRUE(log.messages.empty());
  EXPECT_EQ(cloth.HitHeights[1][0], heights[126]);
  EXPECT_EQ(cloth.HitHeights[100][125], heights.back());

  EXPECT_FALSE(cloth.LoadHitSurface(write("long.hit", TCloth::HitFileBytes + 400)));
  EXPECT_EQ(cloth.HitHeights[100][125], heights.back());
  // Ten whole values and half of an eleventh: only the whole ones count, the rest is cleared.
  EXPECT_FALSE(cloth.LoadHitSurface(write("short.hit", 42)));
  EXPECT_EQ(cloth.HitHeights[0][9], heights[9]);
  EXPECT_EQ(cloth.HitHeights[0][10], 0.0f);
  EXPECT_EQ(cloth.HitHeights[50][50], 0.0f);
  EXPECT_FALSE(cloth.LoadHitSurface(dir.File("missing.hit")));
  ASSERT_EQ(log.messages.size(), 3u);
  EXPECT_NE(log.messages[2].second.find("missing.hit"), std::string::npos);
  EXPECT_EQ(cloth.HitHeights[0][0], 0.0f);
}

TEST(ClothNormals, FlatSheetFacesDownAndRecomputingChangesNothing) {
  TCloth cloth = ShowCloth();
  cloth.ComputeNormals();
  for (const TClothParticle& p : cloth.Particles) {
    EXPECT_EQ(p.Normal.x, 0.0f);
    EXPECT_EQ(p.Normal.y, 0.0f);
    EXPECT_FLOAT_EQ(p.Normal.z, -1.0f);
  }
  cloth.ReleaseCorners();
  cloth_reference::FillDome(cloth);
  Advance(cloth, 60, 1.0f / 60);
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
  EXPECT_LT(fast.Particles[210].Position.z, 15.0f);  // the run really moved the cloth
}
