// Tie rules and tolerance borders of the search program's kernels, and the support order.
#include <gtest/gtest.h>

#include "base/random.h"
#include "mixedcell/search_lp.h"
#include "mixedcell/supports.h"

namespace zormix {
namespace {

// Supports given as lists of exponent vectors; lifting values w in column order.
ReducedSupports MakeSupports(const std::vector<std::vector<std::vector<std::int32_t>>>& sups,
                             const std::vector<double>& w) {
  ReducedSupports s;
  s.n = static_cast<int>(sups.size());
  for (const auto& sp : sups) {
    s.counts.push_back(static_cast<int>(sp.size()));
    s.m += static_cast<int>(sp.size());
  }
  s.exponents.Assign(s.n, s.m);
  int p = 0;
  for (const auto& sp : sups) {
    for (const auto& e : sp) {
      for (int k = 0; k < s.n; ++k) s.exponents(k, p) = e[k];
      ++p;
    }
  }
  s.w = w;
  s.ComputeColumnRanges();
  return s;
}

// Program at level 1 of a two-dimensional system: identity inverse, y = 0, plain columns for
// support 1 (points 2, 3, 4), point 2 in position 1, points 3 and 4 candidates.
struct LevelOneProgram {
  ReducedSupports sup;
  SearchLp lp;
  explicit LevelOneProgram(std::vector<double> w)
      : sup(MakeSupports({{{0, 0}, {1, 0}}, {{0, 0}, {1, 0}, {0, 1}}}, w)) {
    lp.Init(sup);
    lp.level = 1;
    for (int p = 0; p < sup.m; ++p) lp.SetPlainColumn(p);
    for (int k = 0; k < 3; ++k) lp.st.Column(k)[k] = 1.0;
    lp.st.marker = {kExcluded, kExcluded, kInBasis, kCandidate, kCandidate};
    lp.st.basis = {kFreePosition, 2, kFreePosition};
    lp.st.filled = 1;
  }
};

TEST(PivotToOptimumTest, EqualRatiosLetTheSmallerPointEnterAndListedPairsAreRecorded) {
  LevelOneProgram prog({0.1, 0.2, 0.3, 0.5, 0.5});
  SearchLp& lp = prog.lp;
  lp.st.Column(0)[2] = 1.0;  // column 0 = (0, 0, 1): t_3 = -1, t_4 = -1, equal ratios 0.5
  lp.st.Column(0)[0] = 0.0;
  lp.st.Column(2)[2] = 0.0;
  lp.st.Column(2)[0] = 1.0;
  lp.positions = {0, 1};
  lp.pairs(2, 3) = -1;
  lp.pairs(2, 4) = -1;
  const double objective[3] = {0.0, 0.0, -1.0};
  PivotToOptimum(lp, objective);
  EXPECT_EQ(lp.st.basis[0], 3);
  EXPECT_EQ(lp.st.marker[3], kInBasis);
  EXPECT_EQ(lp.st.marker[4], kCandidate);
  EXPECT_NEAR(lp.st.y[2], 0.5, 1e-15);
  EXPECT_EQ(lp.pairs(2, 3), 1);  // point 2 sits in listed position 1
  EXPECT_EQ(lp.pairs(2, 4), -1);
}

TEST(PivotToOptimumTest, SmallerRatioWinsAndUnlistedPartnersAreNotRecorded) {
  LevelOneProgram prog({0.1, 0.2, 0.3, 0.5, 0.4});
  SearchLp& lp = prog.lp;
  lp.st.Column(0)[0] = 0.0;
  lp.st.Column(0)[2] = 1.0;
  lp.positions = {0};
  lp.pairs(2, 4) = -1;
  const double objective[3] = {0.0, 0.0, -1.0};
  PivotToOptimum(lp, objective);
  EXPECT_EQ(lp.st.basis[0], 4);
  EXPECT_EQ(lp.pairs(2, 4), -1);
}

TEST(PivotToOptimumTest, UnblockedDirectionStopsWithoutPivoting) {
  LevelOneProgram prog({0.1, 0.2, 0.3, 0.5, 0.4});
  SearchLp& lp = prog.lp;
  lp.st.Column(0)[0] = 0.0;
  lp.st.Column(0)[2] = -1.0;  // t_p = +1 for every point: nothing blocks
  lp.positions = {0};
  const double objective[3] = {0.0, 0.0, 1.0};
  const LpState before = lp.st;
  PivotToOptimum(lp, objective);
  EXPECT_EQ(lp.st.basis, before.basis);
  EXPECT_EQ(lp.st.y, before.y);
}

TEST(FillBasisTest, ProductsInsideTheToleranceBandAreIgnored) {
  LevelOneProgram prog({0.1, 0.2, 0.3, 0.5, 0.4});
  SearchLp& lp = prog.lp;
  // Column 0 = (5e-7, 0, 0): t_3 = 5e-7 (ignored); column 2 = (0, 0, 1) as before but both free.
  lp.st.Column(0)[0] = 5e-7;
  lp.st.Column(2)[2] = 0.0;
  lp.st.Column(2)[1] = -5e-7;  // t_4 = -5e-7, ignored as well
  lp.positions.clear();
  EXPECT_EQ(FillBasis(lp), 0);
  EXPECT_EQ(lp.st.basis[0], kFreePosition);
  EXPECT_EQ(lp.st.basis[2], kFreePosition);
  EXPECT_TRUE(lp.positions.empty());
}

TEST(FillBasisTest, ChoosesTheSmallerSideAndAppendsPositions) {
  LevelOneProgram prog({0.1, 0.2, 0.3, 0.5, 0.4});
  SearchLp& lp = prog.lp;
  // Column 0 = (1, 0, 0): t_3 = +1, t_4 = 0 -> positive side {3}; theta = slack_3 / 1 = 0.5.
  lp.positions = {1};
  EXPECT_EQ(FillBasis(lp), 2);
  EXPECT_EQ(lp.st.basis[0], 3);
  EXPECT_EQ(lp.st.basis[2], 4);
  for (int p : {3, 4}) EXPECT_NEAR(Dot(lp.A(p), lp.st.y.data(), 3), lp.rhs[p], 1e-15) << p;
  EXPECT_EQ(lp.positions, (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(lp.st.filled, 3);
}

TEST(FillBasisTest, CompleteBasisBringsInNothing) {
  LevelOneProgram prog({0.1, 0.2, 0.3, 0.5, 0.4});
  prog.lp.st.filled = 3;
  EXPECT_EQ(FillBasis(prog.lp), 0);
  EXPECT_EQ(prog.lp.st.basis[0], kFreePosition);
}

// Three unplaced supports of a three-dimensional system, alpha = 0 so h_k = w_k.
struct PruneSetup {
  ReducedSupports sup;
  SearchLp lp;
  std::vector<std::int8_t> flags;
  PruneSetup()
      : sup(MakeSupports({{{0, 0, 0}, {1, 0, 0}},
                          {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}},
                          {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
                         {0.0, 0.0, 0.3, 0.1, 0.2, 0.5, 0.6, 0.7})) {
    lp.Init(sup);
    lp.level = 1;
    for (int k = 0; k < 4; ++k) lp.st.Column(k)[k] = 1.0;
    flags.assign(sup.m, 1);
  }
};

TEST(PruneAndChooseSupportTest, TiedColumnsRemoveOnlyCandidatesThatCannotGetLower) {
  PruneSetup s;
  // Tied column e_0: values = first exponent. Support 1 sorted by h: point 3 (1,0,0) h 0.1,
  // point 4 (2,0,0) h 0.2, point 2 (0,0,0) h 0.3. Point 4 has 2 >= 1: dominated by point 3;
  // point 2 has 0 < 1 and stays. Support 2 has first exponent 0 everywhere: all but its lowest go.
  s.lp.tied = {0};
  EXPECT_EQ(PruneAndChooseSupport(s.lp, s.flags), 5);
  EXPECT_EQ(s.flags[4], 0);
  EXPECT_EQ(s.flags[2] + s.flags[3], 2);
  EXPECT_EQ(s.flags[5] + s.flags[6] + s.flags[7], 1);
  EXPECT_EQ(s.lp.order[1], 2);
  EXPECT_EQ(s.lp.order[2], 1);
  EXPECT_DOUBLE_EQ(s.lp.st.y[3], 0.5);
}

TEST(PruneAndChooseSupportTest, FreeColumnsNeedEquality) {
  PruneSetup s;
  s.lp.freeGroup = {1};  // second exponent: 0 on support 1; 0, 1, 0 on support 2
  EXPECT_EQ(PruneAndChooseSupport(s.lp, s.flags), 3);
  EXPECT_EQ(s.flags[2] + s.flags[3] + s.flags[4], 1);
  EXPECT_EQ(s.flags[6], 1);  // differs from the lowest point on the free column
  EXPECT_EQ(s.flags[7], 0);
  EXPECT_EQ(s.lp.order[1], 1);
}

TEST(PruneAndChooseSupportTest, EqualCountsGoToTheEarlierPosition) {
  PruneSetup s;  // no groups: every support keeps only its lowest point
  EXPECT_EQ(PruneAndChooseSupport(s.lp, s.flags), 3);
  EXPECT_EQ(s.lp.order[1], 1);
  PruneSetup t;
  t.lp.order = {0, 2, 1};
  EXPECT_EQ(PruneAndChooseSupport(t.lp, t.flags), 5);
  EXPECT_EQ(t.lp.order[1], 2);
}

TEST(ReorderSupportsTest, LinearSupportFirstUnlessOneOtherSupportHasTwoPoints) {
  auto run = [](std::vector<std::vector<std::vector<std::int32_t>>> sups) {
    ReducedSupports s = MakeSupports(sups, {});
    std::vector<int> perm(s.m);
    for (int p = 0; p < s.m; ++p) perm[p] = p;
    ReorderSupports(s.n, s.counts, s.exponents, perm, s.startCol, s.endCol);
    return std::make_pair(perm, s);
  };
  const std::vector<std::vector<std::int32_t>> linear = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const std::vector<std::vector<std::int32_t>> three = {{2, 0, 0}, {0, 1, 1}, {0, 0, 0}};
  // One support with a count other than n, and that count is 2: plain sort by count.
  auto [perm1, s1] = run({{{1, 1, 1}, {0, 0, 0}}, three, linear});
  EXPECT_EQ(perm1, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  // With four points instead the linear support leads, the rest sorted by count.
  auto [perm2, s2] = run({{{1, 1, 1}, {0, 0, 0}, {3, 0, 0}, {0, 3, 0}}, three, linear});
  EXPECT_EQ(perm2, (std::vector<int>{7, 8, 9, 4, 5, 6, 0, 1, 2, 3}));
  EXPECT_EQ(s2.counts, (std::vector<int>{3, 3, 4}));
  EXPECT_EQ(s2.startCol, (std::vector<int>{0, 3, 6}));
  EXPECT_EQ(s2.endCol, (std::vector<int>{2, 5, 9}));
  EXPECT_EQ(s2.exponents(0, 0), 1);
  // A doubled unit support takes the lead from the linear one.
  const std::vector<std::vector<std::int32_t>> doubled = {{2, 0, 0}, {0, 2, 0}, {0, 0, 0}};
  auto [perm3, s3] = run({{{1, 1, 1}, {0, 0, 0}, {3, 0, 0}, {0, 3, 0}}, linear, doubled});
  EXPECT_EQ(perm3[0], 7);
  EXPECT_EQ(s3.counts, (std::vector<int>{3, 3, 4}));
}

// Supports A, B, A: the repeated A takes A's vertex flags, for its own columns. The point (1, 0, 0)
// of A lies on an edge and goes in both copies; the point (1, 1, 0) of B is a vertex and stays.
TEST(FilterSupportVerticesTest, AnEqualSupportTakesTheFlagsForItsOwnColumns) {
  const std::vector<std::vector<std::int32_t>> a = {
      {0, 0, 0}, {2, 0, 0}, {1, 0, 0}, {0, 2, 0}, {0, 0, 2}};
  const std::vector<std::vector<std::int32_t>> b = {{0, 0, 0}, {1, 1, 0}, {0, 0, 1}};
  ColMajorMatrix<std::int32_t> exponents(3, 13);
  std::vector<std::int32_t> counts;
  int column = 0;
  for (const auto& support : {a, b, a}) {
    counts.push_back(static_cast<std::int32_t>(support.size()));
    for (const auto& point : support) {
      for (int k = 0; k < 3; ++k) exponents(k, column) = point[k];
      ++column;
    }
  }
  RuntimeUniform runtime(7);
  ColMajorMatrix<std::int32_t> kept;
  std::vector<int> keptCounts, perm;
  ASSERT_EQ(FilterSupportVertices(3, exponents, counts, runtime, kept, keptCounts, perm), 11);
  EXPECT_EQ(keptCounts, (std::vector<int>{4, 3, 4}));
  EXPECT_EQ(perm, (std::vector<int>{0, 1, 3, 4, 5, 6, 7, 8, 9, 11, 12}));
}

}  // namespace
}  // namespace zormix
