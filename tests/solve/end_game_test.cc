// Known answers of the end game: singular end points to full accuracy with their winding numbers,
// paths to infinity recognised, no path left without a verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "zormix/io.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

SolveResult Solve(const std::string& text, Route route, std::uint64_t seed = 1) {
  SolveOptions options;
  options.route = route;
  options.seed = seed;
  options.reportPath = "";
  options.console = [](std::string_view) {};
  return SolveSystem(ParsePolynomialText(text, "test"), options);
}

double DistanceTo(const SolveResult& result, std::int64_t r, const std::vector<Complex>& point) {
  double distance = 0.0;
  for (int i = 0; i < result.n; ++i)
    distance =
        std::max(distance, std::abs(result.roots(i, r) - point[static_cast<std::size_t>(i)]));
  return distance;
}

// Every path ends with an end point or at infinity, none failed.
void ExpectEveryPathDecided(const SolveResult& result) {
  for (const PathRecord& path : result.lostPaths)
    EXPECT_EQ(path.status, PathStatus::kDiverged)
        << "path " << path.cell << "/" << path.startIndex << ": " << PathStatusName(path.status);
  for (const PathRecord& path : result.records) EXPECT_TRUE(IsSuccess(path.status));
}

// Every end point lies within 1e-10 of one of `points` and has the winding number `winding`;
// point k is reached by expected[k] end points.
void ExpectEndPoints(const SolveResult& result, const std::vector<std::vector<Complex>>& points,
                     const std::vector<int>& expected, int winding) {
  std::vector<int> reached(points.size(), 0);
  for (std::int64_t r = 0; r < result.rootCount; ++r) {
    std::size_t nearest = 0;
    for (std::size_t k = 1; k < points.size(); ++k)
      if (DistanceTo(result, r, points[k]) < DistanceTo(result, r, points[nearest])) nearest = k;
    EXPECT_LT(DistanceTo(result, r, points[nearest]), 1e-10) << "end point " << r;
    EXPECT_EQ(result.records[static_cast<std::size_t>(r)].windingNumber, winding)
        << "end point " << r;
    ++reached[nearest];
  }
  EXPECT_EQ(reached, expected);
}

// The origin is a root of multiplicity 3 at which the Jacobian vanishes in one direction only and
// the paths arrive tangentially (an irregular singularity): Newton's method converges slowly there,
// and the old end game gave all paths up.
TEST(EndGame, GriewankOsborneTripleRootOnBothRoutes) {
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    const SolveResult result = Solve("29/16*x^3 - 2*x*y; y - x^2;", route);
    ExpectEveryPathDecided(result);
    ExpectEndPoints(result, {{0.0, 0.0}}, {3}, 3);
    // One isolated root: probed in units of its end points' size (1e-18), the higher-order term
    // vanished and the origin looked like a point of the line y = 0.
    EXPECT_EQ(result.classes.singular, 1);
    EXPECT_EQ(result.classes.singularEndPoints, 3);
    EXPECT_EQ(result.classes.positiveDimensional, 0);
  }
}

// At (1, 1) the whole Jacobian vanishes: kappa_s of its scaled form stays near 1, and end points
// 1e-8 apart all have residual 0 in double. Each seed's 4 end points must make one root of
// multiplicity 4, none of them regular.
TEST(EndGame, DoubleRootInEveryCoordinateIsOneRootOfMultiplicityFour) {
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
      const SolveResult result = Solve("(x - 1)^2; (y - 1)^2;", route, seed);
      EXPECT_EQ(result.classes.regular, 0) << "seed " << seed;
      EXPECT_EQ(result.classes.singular, 1) << "seed " << seed;
      EXPECT_EQ(result.classes.singularEndPoints, 4) << "seed " << seed;
    }
  }
  // At the origin the end points have no size of their own to be compared in.
  const SolveResult origin = Solve("x^2; y^2;", Route::kPolyhedral);
  EXPECT_EQ(origin.classes.singular, 1);
  EXPECT_EQ(origin.classes.singularEndPoints, 4);
}

// a^2 = 1, b^3 = 0 in the coordinates a = x + 2y - 1/2, b = 3x - y + 1/4: two triple points, each
// the end of a cycle of three paths.
TEST(EndGame, TwoTriplePointsAfterAnAffineChangeOfCoordinates) {
  // x + 2y = 1/2 + a and 3x - y = -1/4 give 7x = 1/2 + a - 1/2.
  auto point = [](double a) {
    const double x = (0.5 + a + 2.0 * -0.25) / 7.0;
    const double y = 3.0 * x + 0.25;
    return std::vector<Complex>{x, y};
  };
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    const SolveResult result = Solve("(x + 2*y - 0.5)^2 - 1; (3*x - y + 0.25)^3;", route);
    ExpectEveryPathDecided(result);
    ExpectEndPoints(result, {point(1.0), point(-1.0)}, {3, 3}, 3);
  }
}

// Cycles of 5 and 3 paths in the two coordinates make one cycle of 15 around (1, 2). Its end
// points are the end game's, within 1e-10 of the root on every seed: refinement in double adds
// only noise to them (a Newton step from a residual of rounding moved them 7e-9 on some seeds).
TEST(EndGame, RootOfMultiplicityFifteenIsOneCycleOfFifteenPaths) {
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed);
      const SolveResult result = Solve("(x - 1)^5; (y - 2)^3;", route, seed);
      ExpectEveryPathDecided(result);
      ExpectEndPoints(result, {{1.0, 2.0}}, {15}, 15);
    }
  }
}

// In one unknown the Jacobian is 1 x 1, its condition always 1, and near a multiple root the
// residual is rounding: (x - 1)^3 gave three singular roots, (x - 1)^3 (x + 2)^2 four, and
// (x - 1)^2 a regular root beside a singular one. Each multiple root is one singular root with
// as many end points as its multiplicity, and no end point is regular.
TEST(EndGame, MultipleRootsInOneUnknownAreOneRootEach) {
  struct Case {
    const char* text;
    std::vector<double> roots;
    std::vector<std::int32_t> multiplicity;
  };
  const std::vector<Case> cases{{"(x - 1)^3;", {1.0}, {3}},
                                {"(x - 1)^3*(x + 2)^2;", {1.0, -2.0}, {3, 2}},
                                {"(x - 1)^2;", {1.0}, {2}},
                                // Units of the equation far from 1, subnormal ones included,
                                // change nothing (powers of two keep the coefficients exact:
                                // 1e-300 times them splits each multiple root into simple roots
                                // 1e-8 apart).
                                {"0.5^1070*(x - 1)^3*(x + 2)^2;", {1.0, -2.0}, {3, 2}},
                                {"2^1000*(x - 1)^3*(x + 2)^2;", {1.0, -2.0}, {3, 2}}};
  for (const Case& c : cases) {
    for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
      for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(std::string(c.text) + " seed " + std::to_string(seed) +
                     (route == Route::kPolyhedral ? " polyhedral" : " total degree"));
        const SolveResult result = Solve(c.text, route, seed);
        EXPECT_EQ(result.classes.regular, 0);
        EXPECT_EQ(result.classes.singular, static_cast<std::int64_t>(c.roots.size()));
        for (std::int64_t r = 0; r < result.rootCount; ++r) {
          if (result.groupLeader[r] != r) continue;
          std::size_t k = 0;
          while (k + 1 < c.roots.size() && std::abs(result.roots(0, r) - c.roots[k]) > 1e-3) ++k;
          EXPECT_NEAR(std::abs(result.roots(0, r) - c.roots[k]), 0.0, 1e-10);
          EXPECT_EQ(result.multiplicity[r], c.multiplicity[k]);
        }
      }
    }
  }
}

// y = x - 2 turns x^3 - y^3 + x - 1 into the quadratic 6x^2 - 11x + 7: two roots, and the third of
// the 3 polyhedral paths goes to infinity, with the valuation that proved it. (Divergence is
// decided on the polyhedral route only.)
TEST(EndGame, ADivergingPathIsRecognisedAsSuch) {
  for (const std::uint64_t seed : {1u, 2u}) {
    const SolveResult result = Solve("x^3 - y^3 + x - 1; x - y - 2;", Route::kPolyhedral, seed);
    ExpectEveryPathDecided(result);
    ASSERT_EQ(result.rootCount, 2);
    const double re = 11.0 / 12.0, im = std::sqrt(168.0 - 121.0) / 12.0;
    for (std::int64_t r = 0; r < 2; ++r) {
      const double below = DistanceTo(result, r, {Complex(re, -im), Complex(re - 2.0, -im)});
      const double above = DistanceTo(result, r, {Complex(re, im), Complex(re - 2.0, im)});
      EXPECT_LT(std::min(below, above), 1e-9);
    }
    ASSERT_EQ(result.lostPaths.size(), 1u);
    EXPECT_LT(result.lostPaths[0].valuation, -0.05);
  }
}

// Three equations that share the leading form (x^2 + y^2 + z^2)^2, as the Stewart-Gough
// platform's equations share |n|^2: 24 roots, and 40 of the 64 polyhedral paths go to infinity.
// Their estimates drift for decades of the distance (v from -0.4 to -1/3, or poles beyond any
// root's size whose estimates drift from -1.4 to -1.2) until the step underflows; each must still
// get its verdict, with the valuation that proved it, and no root may be taken for one.
TEST(EndGame, MostPathsDivergeAndEachGetsItsVerdict) {
  const std::string sphere = "(x^2 + y^2 + z^2)^2";
  const std::string text =
      sphere + " + x*y - 1; " + sphere + " + x + 2*y*z - 1.5; " + sphere + " + 3*z^3 - y - 1.3;";
  for (const std::uint64_t seed : {1u, 4u}) {
    const SolveResult result = Solve(text, Route::kPolyhedral, seed);
    ExpectEveryPathDecided(result);
    EXPECT_EQ(result.rootCount, 24) << "seed " << seed;
    EXPECT_EQ(result.lostPaths.size(), 40u) << "seed " << seed;
    for (const PathRecord& path : result.lostPaths)
      EXPECT_LT(path.valuation, -0.05) << "path " << path.cell << "/" << path.startIndex;
  }
}

}  // namespace
}  // namespace zormix
