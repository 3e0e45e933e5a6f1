// The shared generator's sequence, its [0, 1) range, reseeding and the point field's use of it.
#include <gtest/gtest.h>

#include "timeline/PointField.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// The generator's own step, kept here independently to predict seeds.
uint32_t NextSeed(uint32_t seed) { return seed * 134775813u + 1u; }

class RandomTest : public testing::Test {
 protected:
  void SetUp() override { savedSeed = RandomSeed; }
  void TearDown() override {
    RandomSeed = savedSeed;
    SetShowTimeReseeding(false);
    ShowTime = 0;
  }
  uint32_t savedSeed = 0;
};
}  // namespace

TEST_F(RandomTest, FirstDrawsFromSeedZeroMatchTheHandComputedSequence) {
  RandomSeed = 0;
  // Seeds 1, 134775814, 3698175007, 870078620 divided by 2^32.
  EXPECT_EQ(Random(), 1.0f / 4294967296.0f);
  EXPECT_EQ(RandomSeed, 1u);
  EXPECT_FLOAT_EQ(Random(), 0.0313799395f);
  EXPECT_EQ(RandomSeed, 134775814u);
  EXPECT_FLOAT_EQ(Random(), 0.861048467f);
  EXPECT_EQ(RandomSeed, 3698175007u);
  EXPECT_FLOAT_EQ(Random(), 0.202580965f);
  EXPECT_EQ(RandomSeed, 870078620u);
}

TEST_F(RandomTest, DrawsNearTheTopOfTheRangeStayBelowOne) {
  // The seed whose successor is 2^32 - 1: that draw would round to exactly 1.0 as a float.
  uint32_t inverse = 134775813u;
  for (int i = 0; i < 5; ++i) inverse *= 2u - 134775813u * inverse;
  RandomSeed = (0xFFFFFFFFu - 1u) * inverse;
  const float top = Random();
  EXPECT_EQ(RandomSeed, 0xFFFFFFFFu);
  EXPECT_LT(top, 1.0f);
  EXPECT_GT(top, 0.9999999f);
}

TEST_F(RandomTest, ShowTimeReseedingMakesCapturesReproducible) {
  SetShowTimeReseeding(true);
  ShowTime = 3723.456f;  // 1 h 2 min 3 s 456 ms of show time
  ReseedRandomFromClock();
  EXPECT_EQ(RandomSeed, ((1u * 60 + 2) * 60 + 3) * 1000 + 456);
  ShowTime = 0;
  ReseedRandomFromClock();
  EXPECT_EQ(RandomSeed, 0u);

  SetShowTimeReseeding(false);
  ReseedRandomFromClock();
  EXPECT_LT(RandomSeed, 24u * 60 * 60 * 1000) << "milliseconds of the local day";
}

TEST_F(RandomTest, FillDrawsTwoValuesPerCoordinateInTheOrderXYZ) {
  RandomSeed = 777;
  uint32_t seed = 777;
  auto draw = [&seed] {
    seed = NextSeed(seed);
    return static_cast<float>(seed / 4294967296.0);
  };
  TInterpol field;
  field.Fill(3, 500.0f);
  ASSERT_EQ(field.Points.size(), 3u);
  for (const Vector3& point : field.Points) {
    const float x1 = draw(), x2 = draw(), y1 = draw(), y2 = draw(), z1 = draw(), z2 = draw();
    EXPECT_EQ(point.x, (x1 - x2) * 500.0f);
    EXPECT_EQ(point.y, (y1 - y2) * 500.0f);
    EXPECT_EQ(point.z, (z1 - z2) * 500.0f);
  }
  EXPECT_EQ(RandomSeed, seed) << "exactly six draws per point";

  field.Fill(-4, 500.0f);
  EXPECT_TRUE(field.Points.empty());
  EXPECT_EQ(RandomSeed, seed);
}

TEST(Random, RandomVectorDrawsTwicePerComponentInOrder) {
  RandomSeed = 0;
  float r[6];
  for (float& value : r) value = Random();
  RandomSeed = 0;
  Vector3 v;
  RandomVector(v, 1, 10, 100);
  EXPECT_FLOAT_EQ(v.x, (r[0] - r[1]) * 1);
  EXPECT_FLOAT_EQ(v.y, (r[2] - r[3]) * 10);
  EXPECT_FLOAT_EQ(v.z, (r[4] - r[5]) * 100);
  RandomSeed = 0;
}

TEST(RandomSkip, MovesTheSeedAsFarAsThatManyDraws) {
  for (uint64_t draws : {0ull, 1ull, 2ull, 3ull, 1000ull, 123457ull}) {
    RandomSeed = 987654321u;
    for (uint64_t i = 0; i < draws; ++i) Random();
    const uint32_t expected = RandomSeed;
    RandomSeed = 987654321u;
    SkipRandom(draws);
    EXPECT_EQ(RandomSeed, expected) << draws << " draws";
  }
  RandomSeed = 0;
}
