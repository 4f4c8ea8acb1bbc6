// Mixed volumes of classic systems, with the origin appended to every equation.
#include <gtest/gtest.h>

#include "mixedcell/mixed_cells.h"
#include "mixedcell/mixed_volume_util.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::MixedVolume;
using testing::WithOrigin;

std::int64_t MixedVolumeOf(const PolySystem& sys, std::uint64_t seed = 12345) {
  const testing::Supports s = WithOrigin(sys);
  RuntimeUniform runtime(seed);
  const MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime);
  return MixedVolume(s.exponents, r.cells);
}

TEST(KnownMixedVolumeTest, CircleAndLine) { EXPECT_EQ(MixedVolumeOf(testing::CircleAndLine()), 2); }

TEST(KnownMixedVolumeTest, Cyclic5To8) {
  EXPECT_EQ(MixedVolumeOf(testing::Cyclic(5)), 70);
  EXPECT_EQ(MixedVolumeOf(testing::Cyclic(6)), 156);
  EXPECT_EQ(MixedVolumeOf(testing::Cyclic(7)), 924);
  EXPECT_EQ(MixedVolumeOf(testing::Cyclic(8)), 2560);
}

TEST(KnownMixedVolumeTest, HeavyCyclic9) { EXPECT_EQ(MixedVolumeOf(testing::Cyclic(9)), 11016); }

TEST(KnownMixedVolumeTest, Katsura2To7) {
  for (int n = 2; n <= 7; ++n) {
    EXPECT_EQ(MixedVolumeOf(testing::Katsura(n)), std::int64_t{1} << n) << "katsura-" << n;
  }
}

TEST(KnownMixedVolumeTest, Noon3To6) {
  std::int64_t power = 9;
  for (int n = 3; n <= 6; ++n) {
    power *= 3;
    EXPECT_EQ(MixedVolumeOf(testing::Noon(n)), power - 2 * n) << "noon-" << n;
  }
}

TEST(KnownMixedVolumeTest, DifferentLiftingsSameVolume) {
  for (std::uint64_t seed = 1; seed <= 5; ++seed) {
    EXPECT_EQ(MixedVolumeOf(testing::Cyclic(6), seed), 156) << "seed " << seed;
  }
}

}  // namespace
}  // namespace zormix
