// Entry of the mixed-cell computation: vertex filter, random draws, numbering of the results, and
// the relation table the search starts from.
#include "mixedcell/mixed_cells.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mixedcell/mixed_volume_util.h"
#include "mixedcell/relation_table.h"
#include "support/systems.h"
#include "zormix/error.h"

namespace zormix {
namespace {

using testing::MixedVolume;

testing::Supports MakeSupports(int n,
                               const std::vector<std::vector<std::vector<std::int32_t>>>& s) {
  testing::Supports out;
  out.n = n;
  std::int64_t m = 0;
  for (const auto& sp : s) m += static_cast<std::int64_t>(sp.size());
  out.exponents.Assign(n, m);
  std::int64_t p = 0;
  for (const auto& sp : s) {
    out.termCount.push_back(static_cast<std::int32_t>(sp.size()));
    for (const auto& e : sp) {
      for (int k = 0; k < n; ++k) out.exponents(k, p) = e[k];
      ++p;
    }
  }
  return out;
}

TEST(ComputeMixedCellsTest, NonVerticesAreRemovedAndLiftedOutOfTheWay) {
  // Equation 0: triangle (0,0), (3,0), (0,3) with (1,1) inside and (1,0), (2,1) on edges.
  // Equation 1: square of side 1 with its centre doubled away: (0,0), (2,0), (0,2), (2,2), (1,1).
  const testing::Supports s = MakeSupports(2, {{{1, 1}, {0, 0}, {1, 0}, {3, 0}, {2, 1}, {0, 3}},
                                               {{0, 0}, {2, 0}, {1, 1}, {0, 2}, {2, 2}}});
  RuntimeUniform runtime(5);
  const MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime);
  const std::vector<int> removed = {0, 2, 4, 8};
  EXPECT_EQ(r.keptCount, 11 - 4);
  for (int p : removed) {
    EXPECT_EQ(r.lifting[p], 2.0) << p;
    for (int q : r.perm) EXPECT_NE(q, p);
  }
  for (std::int64_t c = 0; c < r.cells.size(); ++c) {
    for (int i = 0; i < 2; ++i) {
      for (int p : removed) {
        EXPECT_NE(r.cells.First(c, i), p);
        EXPECT_NE(r.cells.Second(c, i), p);
      }
    }
  }
  EXPECT_EQ(MixedVolume(s.exponents, r.cells), 12);  // MV(3T, 2Q) = 2 * 3 * 2 * area terms
}

TEST(ComputeMixedCellsTest, CubeCornersStayAndItsCentreGoes) {
  std::vector<std::vector<std::int32_t>> cube;
  for (int b = 0; b < 8; ++b)
    cube.push_back({2 * (b & 1), (b >> 1) & 1 ? 2 : 0, (b >> 2) & 1 ? 2 : 0});
  cube.insert(cube.begin() + 3, {1, 1, 1});
  const testing::Supports s = MakeSupports(3, {cube, cube, cube});
  RuntimeUniform runtime(11);
  const MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime);
  EXPECT_EQ(r.keptCount, 24);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(r.lifting[9 * i + 3], 2.0);
  EXPECT_EQ(MixedVolume(s.exponents, r.cells), 48);  // 3! * volume of the cube [0,2]^3
}

TEST(ComputeMixedCellsTest, FilterDrawsBeforeTheReseedAndLiftingAfterItInColumnOrder) {
  const testing::Supports s = testing::WithOrigin(testing::Cyclic(4));
  RuntimeUniform runtime(77);
  const MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime);
  RuntimeUniform expected(77);
  for (int k = 0; k < s.n; ++k) expected.Next();
  expected.Reseed();
  for (int j = 0; j < r.keptCount; ++j) EXPECT_EQ(r.lifting[r.perm[j]], expected.Next()) << j;
  EXPECT_EQ(runtime.Next(), expected.Next());  // exactly n + keptCount draws, one re-seed
}

TEST(ComputeMixedCellsTest, RowsComeBackInEquationOrder) {
  // Linear equation first after ordering, so level order differs from equation order.
  const testing::Supports s = testing::WithOrigin(testing::Katsura(4));
  RuntimeUniform runtime(3);
  const MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime);
  std::vector<int> first(s.n + 1, 0);
  for (int i = 0; i < s.n; ++i) first[i + 1] = first[i] + s.termCount[i];
  ASSERT_GT(r.cells.size(), 0);
  for (std::int64_t c = 0; c < r.cells.size(); ++c) {
    for (int i = 0; i < s.n; ++i) {
      EXPECT_GE(r.cells.First(c, i), first[i]);
      EXPECT_LT(r.cells.First(c, i), first[i + 1]);
      EXPECT_GE(r.cells.Second(c, i), first[i]);
      EXPECT_LT(r.cells.Second(c, i), first[i + 1]);
    }
  }
  EXPECT_EQ(MixedVolume(s.exponents, r.cells), 16);
}

TEST(ComputeMixedCellsTest, SystemWithoutCellsStillGetsItsLifting) {
  // Both equations in x alone: mixed volume 0.
  const testing::Supports s = MakeSupports(2, {{{1, 0}, {0, 0}}, {{2, 0}, {1, 0}, {0, 0}}});
  RuntimeUniform runtime(1);
  const MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime);
  EXPECT_EQ(r.cells.size(), 0);
  ASSERT_EQ(r.lifting.size(), 5u);
  for (int p : {0, 1, 2, 4}) EXPECT_TRUE(r.lifting[p] >= 0.0 && r.lifting[p] < 1.0) << p;
  EXPECT_EQ(r.lifting[3], 2.0);  // (1, 0) lies between (2, 0) and the origin
}

TEST(ComputeMixedCellsTest, OneVariableCellsAreTheLowerEdges) {
  const testing::Supports s = MakeSupports(1, {{{5}, {2}, {0}, {1}}});
  RuntimeUniform runtime(8);
  const MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime);
  EXPECT_EQ(MixedVolume(s.exponents, r.cells), 5);
}

TEST(ComputeMixedCellsTest, InconsistentInputIsRejected) {
  testing::Supports s = MakeSupports(2, {{{1, 0}, {0, 0}}, {{0, 1}, {0, 0}}});
  RuntimeUniform runtime(1);
  s.termCount = {2, 3};
  EXPECT_THROW(ComputeMixedCells(s.n, s.termCount, s.exponents, runtime), Error);
  s.termCount = {4, 0};
  EXPECT_THROW(ComputeMixedCells(s.n, s.termCount, s.exponents, runtime), Error);
}

// Reduced supports of a classic system with a random lifting, all points kept.
ReducedSupports Reduced(const PolySystem& sys, std::uint64_t seed) {
  const testing::Supports s = testing::WithOrigin(sys);
  ReducedSupports r;
  r.n = s.n;
  r.m = static_cast<int>(s.exponents.cols());
  r.counts.assign(s.termCount.begin(), s.termCount.end());
  r.exponents = s.exponents;
  r.ComputeColumnRanges();
  RuntimeUniform runtime(seed);
  for (int p = 0; p < r.m; ++p) r.w.push_back(runtime.Next());
  return r;
}

TEST(RelationTableTest, DecidedSymmetricAndEdgeRecordsHoldTheirPairTight) {
  for (const PolySystem& sys : {testing::Cyclic(5), testing::Katsura(4), testing::Noon(4)}) {
    const ReducedSupports sup = Reduced(sys, 42);
    RelationTable rel;
    EdgeRecords edges;
    int lowerEdgeCount = 0;
    BuildRelationTable(sup, rel, lowerEdgeCount, edges);
    EXPECT_EQ(lowerEdgeCount, sup.n + 1);
    for (int p = 0; p < sup.m; ++p) {
      for (int q = 0; q < sup.m; ++q) {
        if (p == q) continue;
        EXPECT_EQ(rel(p, q), rel(q, p));
        EXPECT_TRUE(rel(p, q) == 0 || rel(p, q) == 1) << p << " " << q;
      }
    }
    const int d = sup.n + 1;
    int related = 0;
    for (int i = 0; i < sup.counts[0]; ++i) {
      for (int j = i + 1; j < sup.counts[0]; ++j) {
        if (rel(i, j) != 1) continue;
        ++related;
        const int k = edges.Index(i, j);
        ASSERT_GE(k, 0);
        const double* y = &edges.y[static_cast<std::size_t>(k) * d];
        int inBasis = 0;
        for (int pos = 0; pos < d; ++pos) {
          const int b = edges.basis[static_cast<std::size_t>(k) * d + pos];
          inBasis += b == i || b == j;
        }
        EXPECT_EQ(inBasis, 2);
        for (int p : {i, j}) {
          double v = -y[sup.n];
          for (int a = 0; a < sup.n; ++a) v += sup.Point(p)[a] * y[a];
          EXPECT_NEAR(v, -sup.w[p], 1e-9);
        }
      }
    }
    EXPECT_GT(related, 0);
  }
}

}  // namespace
}  // namespace zormix
