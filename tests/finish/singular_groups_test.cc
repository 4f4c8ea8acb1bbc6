// The local algebra at the singular groups: multiplicities from the dual space against the paths
// grouped there, surplus paths given up, roots deflated to full accuracy and certified.
#include "finish/singular_groups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "finish/classify.h"
#include "model/normal_form.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::Equation;

Complex Unit(int k, int m) { return std::polar(1.0, 2.0 * std::numbers::pi * (k + 0.3) / m); }

// m end points around `root` at distance `radius` in the first coordinate, as the end game's
// cycle of m loops leaves them, with winding number m; `extra` more with winding number 1.
void AddCycle(SolveResult& r, std::vector<Complex> root, int m, double radius, int extra = 0) {
  const std::int64_t before = r.roots.cols();
  ColMajorMatrix<Complex> roots;
  roots.Assign(r.n, before + m + extra);
  for (std::int64_t k = 0; k < before; ++k)
    std::copy(r.roots.col(k), r.roots.col(k) + r.n, roots.col(k));
  for (int k = 0; k < m + extra; ++k) {
    std::vector<Complex> p = root;
    p[0] += radius * Unit(k, m + extra);
    std::copy(p.begin(), p.end(), roots.col(before + k));
    r.isReal.push_back(0);
    PathRecord record;
    record.windingNumber = k < m ? m : 1;
    r.records.push_back(record);
  }
  r.roots = std::move(roots);
  r.rootCount = r.roots.cols();
  r.pathCount = r.rootCount;
}

SolveResult NoEndPoints(int n) {
  SolveResult r;
  r.n = n;
  r.roots.Assign(n, 0);
  return r;
}

double Error(const SolveResult& r, std::int64_t k, const std::vector<Complex>& root) {
  double e = 0.0;
  for (int j = 0; j < r.n; ++j) e = std::max(e, std::abs(r.roots(j, k) - root[j]));
  return e;
}

// x^2 = 0, y^2 + x - 1 = 0: two double roots (0, +-1). Every member gets the deflated root to
// full accuracy, and the deflated system's box proves it; the windings (2, 1) of a broken cycle
// raise no doubt once the dual space has dimension 2. Certified members carry the proof's box.
TEST(SingularGroups, TwoDoubleRootsAreDeflatedAndCertified) {
  const PolySystem s =
      testing::BuildSystem({{{{2, 0}, 1.0}}, {{{0, 2}, 1.0}, {{1, 0}, 1.0}, {{0, 0}, -1.0}}});
  for (const double radius : {1e-11, 1e-9}) {
    SCOPED_TRACE(radius);
    SolveResult r = NoEndPoints(2);
    AddCycle(r, {0.0, 1.0}, 2, radius);
    AddCycle(r, {0.0, -1.0}, 2, radius);
    r.records[1].windingNumber = 1;
    std::vector<SingularProof> proofs;
    Classification c = ClassifyRoots(BringToNormalForm(s), r);
    EXPECT_EQ(c.counts.singular, 2);
    EXPECT_EQ(c.counts.singularEndPoints, 4);
    EXPECT_TRUE(c.warnings.empty());
    TakeClassification(std::move(c), r, &proofs);
    EXPECT_LE(Error(r, 0, {0.0, 1.0}), 1e-12);
    EXPECT_LE(Error(r, 3, {0.0, -1.0}), 1e-12);
    ASSERT_EQ(proofs.size(), 2u);
    EXPECT_EQ(proofs[1].members, (std::vector<std::int64_t>{2, 3}));
    r.certified.assign(4, 0);
    r.boxRadii.assign(4, 0.0);
    r.boxCenters = r.roots;
    ApplySingularProofs(proofs, r);
    EXPECT_EQ(r.certified, (std::vector<std::uint8_t>{1, 1, 1, 1}));
    EXPECT_GT(r.boxRadii[0], 0.0);
  }
}

// Ojika's x^2 + y - 3 = 0, x + y^2 / 8 - 3 / 2 = 0: a triple root at (1, 2). Three paths: one
// root of multiplicity 3. A fourth path that jumped onto it is given up (surplus_at_root), the
// three nearest keep the root, and every path is still counted once.
TEST(SingularGroups, SurplusPathAtATripleRootIsGivenUp) {
  const PolySystem s = testing::BuildSystem({{{{2, 0}, 1.0}, {{0, 1}, 1.0}, {{0, 0}, -3.0}},
                                             {{{1, 0}, 1.0}, {{0, 2}, 0.125}, {{0, 0}, -1.5}}});
  for (const int extra : {0, 1}) {
    SCOPED_TRACE(extra);
    SolveResult r = NoEndPoints(2);
    AddCycle(r, {1.0, 2.0}, 3, 1e-9, extra);
    if (extra) r.roots(0, 3) = 1.0 + 3e-9;  // the jumped path, farther off
    const Classification c = ClassifyRoots(BringToNormalForm(s), r);
    EXPECT_EQ(c.counts.singular, 1);
    EXPECT_EQ(c.counts.singularEndPoints, 3);
    EXPECT_EQ(c.counts.failed, extra);
    if (extra) {
      ASSERT_EQ(c.dropped.size(), 1u);
      EXPECT_EQ(c.dropped[0].column, 3);
      EXPECT_EQ(c.dropped[0].status, PathStatus::kSurplusAtRoot);
    }
    EXPECT_EQ(c.multiplicity[0], 3);
    EXPECT_EQ(c.rootRule[2], RootRule::kDualSpace);
  }
}

// (x - 1)^4 = 0, (y - 2)^5 = 0: a root of multiplicity 20 at (1, 2), its end points `radius`
// from it. The dual space has dimension 20; twenty-one paths leave one surplus.
TEST(SingularGroups, RootOfMultiplicityTwentyFromItsDualSpace) {
  const PolySystem s = testing::BuildSystem(
      {{{{4, 0}, 1.0}, {{3, 0}, -4.0}, {{2, 0}, 6.0}, {{1, 0}, -4.0}, {{0, 0}, 1.0}},
       {{{0, 5}, 1.0},
        {{0, 4}, -10.0},
        {{0, 3}, 40.0},
        {{0, 2}, -80.0},
        {{0, 1}, 80.0},
        {{0, 0}, -32.0}}});
  for (const double radius : {1e-10, 1e-9}) {
    for (const int extra : {0, 1}) {
      SCOPED_TRACE(::testing::Message() << radius << " " << extra);
      SolveResult r = NoEndPoints(2);
      AddCycle(r, {1.0, 2.0}, 20, radius, extra);
      const Classification c = ClassifyRoots(BringToNormalForm(s), r);
      EXPECT_EQ(c.counts.singular, 1);
      EXPECT_EQ(c.counts.singularEndPoints, 20);
      EXPECT_EQ(c.counts.failed, extra);
    }
  }
}

// A double root with a simple root beside it that its group swallowed: (x - 1)^2 = 0 and y = 0
// have one double root; two end points there and a third, the keeper of nothing, make a root of
// multiplicity 2 and one surplus path, never a root of multiplicity 3.
TEST(SingularGroups, DoubleRootKeepsTwoOfThreePaths) {
  const PolySystem s =
      testing::BuildSystem({{{{2, 0}, 1.0}, {{1, 0}, -2.0}, {{0, 0}, 1.0}}, {{{0, 1}, 1.0}}});
  SolveResult r = NoEndPoints(2);
  AddCycle(r, {1.0, 0.0}, 2, 1e-8, 1);
  const Classification c = ClassifyRoots(BringToNormalForm(s), r);
  EXPECT_EQ(c.counts.singularEndPoints, 2);
  EXPECT_EQ(c.counts.failed, 1);
}

}  // namespace
}  // namespace zormix
