// Coordinates at the origin: an end point whose coordinate should be 0 carries it at rounding
// noise or at the error of the end game. Its verdict must not depend on which of these sizes the
// coordinate has.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "finish/certify.h"
#include "finish/classify.h"
#include "finish/local_dimension.h"
#include "model/normal_form.h"
#include "support/end_points.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::EndPointsAsResult;

Complex Unit(int k, int m) { return std::polar(1.0, 2.0 * std::numbers::pi * k / m); }

// y - 2 + x^3, y - 2: an isolated triple root at (0, 2) whose first equation has terms of size 2
// while its residual along x is x^3. Slices in units of the point (2) meet no solution; probed in
// units of 1e-3 (the origin scale), they pass where x^3 is below rounding of the terms and look
// like a line. The end point's x, exact 0 or up to the end game's error, changes nothing.
TEST(OriginCoordinates, TripleRootIsNoSetWhateverItsZeroCoordinate) {
  const NormalForm s = BringToNormalForm(testing::BuildSystem({
      {{{0, 1}, 1.0}, {{0, 0}, -2.0}, {{3, 0}, 1.0}},
      {{{0, 1}, 1.0}, {{0, 0}, -2.0}},
  }));
  for (const double x : {0.0, 1e-16, 1e-12, 1e-9, 1e-7}) {
    SCOPED_TRACE(x);
    const std::vector<Complex> point{Complex(x, x), 2.0};
    EXPECT_EQ(LocalDimension(s, point.data()), 0);
  }
}

// The equations of a triple root at (0, 2, z0) with terms of size 1: x^3 + y - 2, y - 2, and the
// third one given (a lone x^3 would be measured against its own vanishing terms).
PolySystem TripleRootSystem(const testing::Equation& third) {
  return testing::BuildSystem({
      {{{3, 0, 0}, 1.0}, {{0, 1, 0}, 1.0}, {{0, 0, 0}, -2.0}},
      {{{0, 1, 0}, 1.0}, {{0, 0, 0}, -2.0}},
      third,
  });
}

// With z - 1 + x: a triple root at (0, 2, 1) reached by three paths with winding number 3 whose
// end points arrive with different accuracies: x at rounding noise on one, at 1e-10 of the point
// on the others, y and z 1e-10 apart. The end game's error is a distance in the size of the
// point, not of each coordinate: one root of multiplicity 3, and no warning (the points had been
// a root of two paths and one of one path, whose winding numbers formed no cycles).
TEST(OriginCoordinates, EndPointsOfATripleRootWithZeroCoordinatesOfAnySizeAreOneRoot) {
  const PolySystem s = TripleRootSystem({{{0, 0, 1}, 1.0}, {{0, 0, 0}, -1.0}, {{1, 0, 0}, 1.0}});
  const SolveResult r = EndPointsAsResult(3,
                                          {{1e-17, 2.0, 1.0},
                                           {2e-10 * Unit(1, 3), 2.0 + 2e-10, 1.0 - 2e-10},
                                           {3e-10 * Unit(2, 3), 2.0 - 1e-10, 1.0 + 1e-10}},
                                          3);
  const Classification c = ClassifyRoots(BringToNormalForm(s), r);
  EXPECT_EQ(c.counts.singular, 1);
  EXPECT_EQ(c.counts.singularEndPoints, 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(c.multiplicity[k], 3);
    EXPECT_EQ(c.groupLeader[k], 0);
  }
  EXPECT_TRUE(c.warnings.empty());
}

// Singular points compare in the size of the point, at their error: with (z - 1) (z - 1 - h),
// h = 2^-20, the end points of the triple roots at z = 1 and z = 1 + h (x at 1e-17 and 1e-10)
// are two roots.
TEST(OriginCoordinates, SingularRootsApartBeyondTheirErrorStayApart) {
  const double h = 0x1p-20;
  const PolySystem s =
      TripleRootSystem({{{0, 0, 2}, 1.0}, {{0, 0, 1}, -2.0 - h}, {{0, 0, 0}, 1.0 + h}});
  const SolveResult r = EndPointsAsResult(
      3, {{1e-17, 2.0, 1.0}, {1e-10, 2.0, 1.0}, {1e-17, 2.0, 1.0 + h}, {1e-10, 2.0, 1.0 + h}}, 3);
  const Classification c = ClassifyRoots(BringToNormalForm(s), r);
  EXPECT_EQ(c.counts.singular, 2);
  EXPECT_EQ(c.groupLeader[1], 0);
  EXPECT_EQ(c.groupLeader[3], 2);
}

// A witness point of the line x = y, cut by the slice x + y/2 + z/4 = 3/2, on an embedding whose
// slack z is off 0 by the error of the data, zeta = 2^-30, with a = 2^-10 (every coefficient
// exact):
//   x^2 - y^2 + a (z - zeta),  2 x^2 y - 2 x y^2 + s a (z - zeta),  x + y/2 + z/4 - 3/2 - zeta/4.
// The point (1, 1, zeta) is a root; with s = -1 a regular one (det J = 4 a (1 + 1/2)), with s = 1
// a double one where the curve x + y = 2 x y crosses the line (det J = 0).
PolySystem SlackSystem(double s) {
  const double a = 0x1p-10, zeta = 0x1p-30;
  return testing::BuildSystem({
      {{{2, 0, 0}, 1.0}, {{0, 2, 0}, -1.0}, {{0, 0, 1}, a}, {{0, 0, 0}, -a * zeta}},
      {{{2, 1, 0}, 2.0}, {{1, 2, 0}, -2.0}, {{0, 0, 1}, s * a}, {{0, 0, 0}, -s * a * zeta}},
      {{{1, 0, 0}, 1.0}, {{0, 1, 0}, 0.5}, {{0, 0, 1}, 0.25}, {{0, 0, 0}, -1.5 - 0.25 * zeta}},
  });
}

// The regular root, as double leaves it: its slack column, in units of 1e-9, makes kappa_s 1e13;
// with the slack taken as a zero it is 8e3, and Krawczyk's box proves the root simple: regular,
// measured in the units of the proof. Its well-separated partner stays a root of its own, and the
// certificates prove both.
TEST(OriginCoordinates, RootWithAGenuineSlackOfOneBillionthIsRegular) {
  const NormalForm s = BringToNormalForm(SlackSystem(-1.0));
  SolveResult r =
      EndPointsAsResult(3, {{Complex(1.0, 3e-16), 1.0 - 2e-16, 0x1p-30},
                            {-0.9970803294013169, -1.002936819690912, 11.99419495791841}});
  const Classification c = ClassifyRoots(s, r);
  EXPECT_EQ(c.counts.regular, 2);
  EXPECT_EQ(c.pointRule[0], PointRule::kProvenInOriginUnits);
  EXPECT_GT(c.scaledConditionNumbers[0], 1e3);
  EXPECT_LT(c.scaledConditionNumbers[0], 1e5);
  r.rootStatus = c.status;
  const Certification proofs = CertifyRoots(s, r);
  EXPECT_EQ(proofs.counts.distinct, 2);
  EXPECT_LE(proofs.boxRadii[0], 1e-8);
  // A second end point 1e-7 off, proven too: its box holds the first, so they are one root of two
  // paths, not two regular roots.
  const Classification two = ClassifyRoots(
      s, EndPointsAsResult(3, {{1.0, 1.0, 0x1p-30}, {1.0 + 1e-7, 1.0, 0x1p-30 * (1.0 + 1e-7)}}));
  EXPECT_EQ(two.counts.regular, 0);
  EXPECT_EQ(two.multiplicity[0], 2);
}

// The double root with the same sizes: with the slack taken as a zero its end points measure a
// condition double resolves, but no box proves a root simple there. On it or up to 1e-8 off, an
// end point is singular; two of them are one root of multiplicity 2.
TEST(OriginCoordinates, DoubleRootWithASlackOfOneBillionthIsNoRegularRoot) {
  const NormalForm s = BringToNormalForm(SlackSystem(1.0));
  for (const double off : {0.0, 1e-13, 1e-8}) {
    SCOPED_TRACE(off);
    const std::vector<Complex> point{1.0 + off, Complex(1.0, off), 0x1p-30};
    const std::vector<Complex> twin{1.0 - off, Complex(1.0, -off), 0x1p-30};
    const Classification c = ClassifyRoots(s, EndPointsAsResult(3, {point, twin}));
    EXPECT_EQ(c.counts.regular, 0);
    EXPECT_EQ(c.multiplicity[0], 2);
    EXPECT_EQ(ClassifyRoots(s, EndPointsAsResult(3, {point})).status[0], RootStatus::kSingular);
  }
}

}  // namespace
}  // namespace zormix
