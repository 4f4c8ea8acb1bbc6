#include "local/analyze.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "local/local_test_support.h"

namespace zormix {
namespace {

// m end points around `root`, each `offset` (relative to the largest coordinate) off in a random
// direction: what tracking leaves at a root of multiplicity m.
// With `ownScale`, each coordinate is off by `offset` of its own modulus.
std::vector<std::vector<Complex>> EndPointsAround(const std::vector<Complex>& root, int m,
                                                  double offset, bool ownScale = false,
                                                  unsigned seed = 1) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> angle(0.0, 2.0 * M_PI);
  double size = 1.0;
  for (const Complex& v : root) size = std::max(size, std::abs(v));
  std::vector<std::vector<Complex>> points;
  for (int p = 0; p < m; ++p) {
    std::vector<Complex> x = root;
    for (Complex& v : x)
      v += offset * (ownScale ? std::abs(v) : size) * std::polar(1.0, angle(random));
    points.push_back(std::move(x));
  }
  return points;
}

double RelativeError(const std::vector<Complex>& x, const std::vector<Complex>& root) {
  double size = 0.0, error = 0.0;
  for (std::size_t k = 0; k < x.size(); ++k) {
    size = std::max(size, std::abs(root[k]));
    error = std::max(error, std::abs(x[k] - root[k]));
  }
  return error / std::max(size, 1.0);
}

struct Singular {
  std::string text;
  std::vector<Complex> root;
  int multiplicity;
  double offset;  // of the end points
};

// Known multiple roots from end points 1e-8 to eps^(1/m) off: the multiplicity from the dual space,
// the value within 1e-12 of the exact point after deflation, and a Krawczyk certificate.
TEST(AnalyzeTest, SingularRootsDeflatedToFullAccuracyAndCertified) {
  const std::vector<Singular> cases = {
      {"x^2; y^2 + x - 1", {0.0, 1.0}, 2, 1e-8},
      {"x^2; y^2 + x - 1", {0.0, -1.0}, 2, 1e-8},
      {"29/16 x^3 - 2 x y; y - x^2", {0.0, 0.0}, 3, 1e-6},
      {"x^2 + y - 3; x + 0.125 y^2 - 1.5", {1.0, 2.0}, 3, 1e-5},
      {"(x-1)^4; (y-2)^5", {1.0, 2.0}, 20, 1e-3},
  };
  for (const Singular& c : cases) {
    const PolySystem system = Parse(c.text);
    const PointAnalysis a = AnalyzeSingularPoint(
        system, EndPointsAround(c.root, c.multiplicity, c.offset), c.multiplicity);
    ASSERT_EQ(a.verdict, PointVerdict::kIsolatedRoot) << c.text;
    EXPECT_EQ(a.multiplicity, c.multiplicity) << c.text;
    EXPECT_TRUE(a.deflated) << c.text;
    EXPECT_LE(RelativeError(a.point, c.root), 1e-12) << c.text;
    EXPECT_TRUE(a.certificate.certified) << c.text;
  }
}

// The same root with a variable rescaled by 1e8 and the equations by 1e-8 and 1: the same
// multiplicity, the small coordinate to full relative accuracy.
// Disabled: fails today (a set verdict for the rescaled root); see the open faults of the local
// analysis in docs/architecture.md.
TEST(AnalyzeTest, DISABLED_VerdictsIndependentOfCoordinatesAndUnits) {
  // Ojika's root with y rescaled by 2^27 (y = 2^27 w) and the second equation by 2^-27, exact
  // in binary: w = 2^-26.
  const double w = std::ldexp(1.0, -26);
  const PointAnalysis b =
      AnalyzeSingularPoint(Parse("x^2 + 134217728 w - 3; 0.000000007450580596923828125 (x + "
                                 "2251799813685248 w^2 - 1.5)"),
                           EndPointsAround({1.0, w}, 3, 1e-6, true), 3);
  ASSERT_EQ(b.verdict, PointVerdict::kIsolatedRoot);
  EXPECT_EQ(b.multiplicity, 3);
  EXPECT_LE(std::abs(b.point[1] - w), 1e-12 * w);
}

// Sets: a plane and a line crossing (z = 0 and x = y = 0), a double line (x^2 = 0), a line with an
// embedded point at the origin (x^2, x y); and points beside them, which are no roots.
TEST(AnalyzeTest, LocalDimensionOfSetsAndPointsBesideThem) {
  struct Case {
    std::string text;
    std::vector<Complex> point;
    int paths;
    PointVerdict verdict;
    int dimension;
  };
  const std::string crossing = "variables x, y, z; x z; y z; x z + 2 y z";
  const std::vector<Case> cases = {
      {crossing, {1.0, 2.0, 0.0}, 1, PointVerdict::kPositiveDimensional, 2},
      {crossing, {0.0, 0.0, 3.0}, 1, PointVerdict::kPositiveDimensional, 1},
      {crossing, {0.0, 0.0, 0.0}, 2, PointVerdict::kPositiveDimensional, 2},
      {"x^2; x^2 y - x^2", {0.0, 3.0}, 2, PointVerdict::kPositiveDimensional, 1},
      {"x^2; x y", {0.0, 0.0}, 2, PointVerdict::kPositiveDimensional, 1},
      {"x^2; x y", {0.0, 5.0}, 1, PointVerdict::kPositiveDimensional, 1},
      // beside: 1e-4 off the double line, 1e-3 off the plane, and no root near (0.5, 0.5)
      {"x^2; x^2 y - x^2", {1e-4, 3.0}, 1, PointVerdict::kNotARoot, 0},
      {crossing, {1.0, 2.0, 1e-3}, 1, PointVerdict::kNotARoot, 0},
      {"x^2; y^2 + x - 1", {0.5, 0.5}, 1, PointVerdict::kNotARoot, 0},
  };
  for (const Case& c : cases) {
    const PointAnalysis a = AnalyzeSingularPoint(Parse(c.text), {c.point}, c.paths);
    EXPECT_EQ(a.verdict, c.verdict) << c.text << " at " << c.point[0] << c.point[1];
    EXPECT_EQ(a.localDimension, c.dimension) << c.text << " at " << c.point[0] << c.point[1];
  }
}

// End points of a set reach it only up to the end game's accuracy: 1e-9 off the plane is on it.
TEST(AnalyzeTest, EndPointsCloseToASetAreOnIt) {
  const PointAnalysis a = AnalyzeSingularPoint(Parse("variables x, y, z; x z; y z; x z + 2 y z"),
                                               {{1.0, 2.0, 1e-9}}, 1);
  EXPECT_EQ(a.verdict, PointVerdict::kPositiveDimensional);
  EXPECT_EQ(a.localDimension, 2);
}

// Several multiple roots in one system: (x - 1)^2 (x + 2)^3 = 0, y^2 = x - 1 + ... each its own.
TEST(AnalyzeTest, SeveralMultipleRootsInOneSystem) {
  const PolySystem system = Parse("(x - 1)^2 (x + 2)^3; (y - x)^2");
  const PointAnalysis at1 = AnalyzeSingularPoint(system, EndPointsAround({1.0, 1.0}, 4, 1e-7), 4);
  const PointAnalysis at2 = AnalyzeSingularPoint(system, EndPointsAround({-2.0, -2.0}, 6, 1e-5), 6);
  EXPECT_EQ(at1.multiplicity, 4);
  EXPECT_EQ(at2.multiplicity, 6);
  EXPECT_TRUE(at1.certificate.certified);
  EXPECT_TRUE(at2.certificate.certified);
  EXPECT_LE(RelativeError(at2.point, {-2.0, -2.0}), 1e-12);
}

// A regular root: multiplicity 1, certified by the same test on f.
TEST(AnalyzeTest, RegularRootIsMultiplicityOne) {
  const PointAnalysis a =
      AnalyzeSingularPoint(Parse("x^2 - 2 y; y - 2"), EndPointsAround({2.0, 2.0}, 1, 1e-9), 1);
  ASSERT_EQ(a.verdict, PointVerdict::kIsolatedRoot);
  EXPECT_EQ(a.multiplicity, 1);
  EXPECT_TRUE(a.certificate.certified);
}

}  // namespace
}  // namespace zormix
