#include "local/analyze.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "local/local_test_support.h"

namespace zormix {
namespace {

const double kEps = std::numeric_limits<double>::epsilon();

// max_k |x_k - root_k| / max(|root_k|, scale_k): each coordinate relative to its own size, or to
// the size its variable is measured in where the root's coordinate is 0.
double RelativeError(const std::vector<Complex>& x, const std::vector<Complex>& root,
                     const std::vector<double>& scale = {}) {
  double error = 0.0;
  for (std::size_t k = 0; k < x.size(); ++k) {
    const double size = std::max(std::abs(root[k]), scale.empty() ? 1.0 : scale[k]);
    error = std::max(error, std::abs(x[k] - root[k]) / size);
  }
  return error;
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

// The same points in other units and coordinates: a variable rescaled by 1e-8 (decimal, so the
// coefficients round and a multiple root splits into a cluster), by 2^27 with the equations by
// 1e8, and two changes of coordinates with decimal coefficients; the end points, drawn in the
// original coordinates on three seeds, go along. Every verdict, multiplicity and dimension stays;
// roots keep full accuracy in every coordinate and their certificate.
TEST(AnalyzeTest, VerdictsIndependentOfCoordinatesAndUnits) {
  struct Case {
    std::string text;
    std::vector<Complex> point;
    int paths;
    double offset;
    PointVerdict verdict;
    int count;  // multiplicity or dimension
  };
  const std::vector<Case> plane = {
      {"x^2 + y - 3; x + 0.125 y^2 - 1.5",
       {1.0, 2.0},
       3,
       std::cbrt(kEps),
       PointVerdict::kIsolatedRoot,
       3},
      {"29/16 x^3 - 2 x y; y - x^2", {0.0, 0.0}, 3, 1e-6, PointVerdict::kIsolatedRoot, 3},
      {"x^2; y^2 + x - 1", {0.0, 1.0}, 2, 1e-8, PointVerdict::kIsolatedRoot, 2},
      {"(x - 1)^4; (y - 2)^5", {1.0, 2.0}, 20, 1e-3, PointVerdict::kIsolatedRoot, 20},
      // the double line x = 0 (and the line x = -1), on it and 1e-4 beside it; the x^3 gives x a
      // size (in x^2, x^2 y - x^2 alone every term has x^2, and a rescaled x would change what
      // "1e-4 beside" means)
      {"x^2 + x^3; x^2 y - x^2", {0.0, 3.0}, 1, 1e-9, PointVerdict::kPositiveDimensional, 1},
      {"x^2 + x^3; x^2 y - x^2", {1e-4, 3.0}, 1, 0.0, PointVerdict::kNotARoot, 0},
  };
  const std::vector<CoordinateChange> changes = {
      {"same", {"u", "v"}, {{1, 0}, {0, 1}}, {0, 0}},
      {"v times 1e-8", {"u", "v"}, {{1, 0}, {0, 1e-8}}, {0, 0}},
      {"u times 2^27, equations 1e8", {"u", "v"}, {{0x1p27, 0}, {0, 1}}, {0, 0}, 1e8},
      {"affine", {"u", "v"}, {{0.6, -0.7}, {0.3, 0.9}}, {-0.075, 0.41}},
      {"affine 2", {"u", "v"}, {{1.3, 0.2}, {-0.45, 1.1}}, {0.1, -0.3}},
  };
  for (const Case& c : plane) {
    for (const CoordinateChange& change : changes) {
      const PolySystem system = Parse(change.Apply(c.text, {"x", "y"}));
      const std::vector<Complex> root = change.Preimage(c.point);
      const std::vector<double> scale = {change.Scale(0), change.Scale(1)};
      for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(c.text + ", " + change.name + ", seed " + std::to_string(seed));
        std::vector<std::vector<Complex>> endPoints;
        for (const auto& p : EndPointsAround(c.point, c.paths, c.offset, seed))
          endPoints.push_back(change.Preimage(p));
        const PointAnalysis a = AnalyzeSingularPoint(system, endPoints, c.paths);
        ASSERT_EQ(a.verdict, c.verdict);
        if (c.verdict == PointVerdict::kPositiveDimensional) {
          EXPECT_EQ(a.localDimension, c.count);
        }
        if (c.verdict != PointVerdict::kIsolatedRoot) continue;
        EXPECT_EQ(a.multiplicity, c.count);
        EXPECT_LE(RelativeError(a.point, root, scale), 1e-12);
        EXPECT_TRUE(a.certificate.certified);
      }
    }
  }
}

// The plane and the line of "x z = y z = 0" in three unknowns, the equations scaled and the
// coordinates changed: a point of each keeps its set's dimension, and a point beside the plane
// stays no root. (Every equation is homogeneous in z, and in x and y together: the system gives
// those variables no size, so a rescaled z would change what "1e-9 off the plane" means, and no
// rule could keep that verdict.)
TEST(AnalyzeTest, SetVerdictsIndependentOfCoordinatesAndUnits) {
  const std::string crossing = "x z; y z; x z + 2 y z";
  const std::vector<CoordinateChange> changes = {
      {"same", {"u", "v", "w"}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
      {"equations 1e5", {"u", "v", "w"}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}, 1e5},
      {"affine",
       {"u", "v", "w"},
       {{0.6, -0.7, 0.2}, {0.3, 0.9, -0.4}, {0.1, 0.2, 0.8}},
       {-0.075, 0.41, 0.3}},
  };
  struct Case {
    std::vector<Complex> point;
    PointVerdict verdict;
    int dimension;
  };
  const std::vector<Case> cases = {{{1.0, 2.0, 1e-9}, PointVerdict::kPositiveDimensional, 2},
                                   {{1e-9, 0.0, 3.0}, PointVerdict::kPositiveDimensional, 1},
                                   {{1.0, 2.0, 1e-3}, PointVerdict::kNotARoot, 0}};
  for (const CoordinateChange& change : changes) {
    const PolySystem system = Parse(change.Apply(crossing, {"x", "y", "z"}));
    for (const Case& c : cases) {
      SCOPED_TRACE(change.name);
      const PointAnalysis a = AnalyzeSingularPoint(system, {change.Preimage(c.point)}, 1);
      EXPECT_EQ(a.verdict, c.verdict);
      EXPECT_EQ(a.localDimension, c.dimension);
    }
  }
}

// Ojika's and Griewank & Osborne's triple roots moved by a change of coordinates with decimal
// coefficients to (1.8, 0.007): one coordinate small next to the other, coefficients that round,
// so that the triple root splits into a cluster. From the end points the tracker leaves (three
// that agree to 1e-14), from a cluster within eps^(1/3) of the root, and from the Cauchy end
// game's extrapolated point within 1e-10 (three paths): an isolated root of multiplicity 3 with
// the Hilbert function 1, 1, 1, within 1e-12 of (1.8, 0.007) in each coordinate, certified.
TEST(AnalyzeTest, TripleRootWithOneSmallCoordinate) {
  struct Case {
    std::string text;
    std::vector<std::vector<Complex>> tracked;  // zormix's end points, seed 1, total degree
  };
  const std::vector<Case> cases = {
      {"(0.6 u - 0.7 v - 0.0751)^2 + (0.3 u + 0.9 v + 1.4537) - 3; (0.6 u - 0.7 v - 0.0751) + "
       "0.125 (0.3 u + 0.9 v + 1.4537)^2 - 1.5",
       {{{1.7999999999999965, -1.7702965826850687e-16},
         {0.006999999999990512, 1.4175603648182632e-15}},
        {{1.8000000000000018, -2.534514300292614e-15},
         {0.007000000000006384, -8.060824079100917e-15}},
        {{1.800000000000001, 6.737938562839774e-16},
         {0.007000000000000836, 1.4133004167535804e-15}}}},
      {"29/16 (0.6 u - 0.7 v - 1.0751)^3 - 2 (0.6 u - 0.7 v - 1.0751) (0.3 u + 0.9 v - 0.5463); "
       "(0.3 u + 0.9 v - 0.5463) - (0.6 u - 0.7 v - 1.0751)^2",
       {{{1.800000000000011, -4.871721764808594e-15},
         {0.007000000000004522, -1.6743569008270288e-15}},
        {{1.7999999999999892, 8.498146793459714e-15},
         {0.0070000000000109905, -3.614683213671856e-15}},
        {{1.8000000000000151, 9.639256135251564e-15},
         {0.0070000000000023845, -5.8338573546036575e-15}}}},
  };
  const std::vector<Complex> root = {1.8, 0.007};
  for (const Case& c : cases) {
    const PolySystem system = Parse("variables u, v; " + c.text);
    const std::vector<std::vector<std::vector<Complex>>> inputs = {
        c.tracked, EndPointsAround(root, 3, std::cbrt(kEps)), EndPointsAround(root, 1, 1e-10)};
    for (const auto& endPoints : inputs) {
      SCOPED_TRACE(c.text + ", " + std::to_string(endPoints.size()) + " end points");
      const PointAnalysis a = AnalyzeSingularPoint(system, endPoints, 3);
      ASSERT_EQ(a.verdict, PointVerdict::kIsolatedRoot);
      EXPECT_EQ(a.multiplicity, 3);
      EXPECT_EQ(a.hilbert, std::vector<int>({1, 1, 1}));
      EXPECT_LE(RelativeError(a.point, root, {0.0, 0.0}), 1e-12);
      EXPECT_TRUE(a.certificate.certified);
    }
  }
}

// The 12-fold root (1/4, 1/2) of y - x^2, (x - 1/2)^12 from the end points the total-degree
// route leaves: 11 points (the twelfth path failed) on the parabola, 0.03 to 0.1 from the root,
// each a root to rounding. Their centroid lies off the parabola; the low orders of the expanded
// (x - 1/2)^12 are cancellation alone there. An isolated root of multiplicity 12 (twelve paths),
// not a point beside one.
TEST(AnalyzeTest, TwelveFoldRootFromEndPointsOnTheCurve) {
  const std::vector<std::vector<Complex>> tracked = {
      {{0.27876073609692115, 0.04727058992480662}, {0.5298589470245372, 0.044606762815587196}},
      {{0.20974885013709435, 0.031102721870049897}, {0.45923371579624733, 0.03386372121701715}},
      {{0.3041147521679652, 0.025471663144393426}, {0.551948520903867, 0.023074306412769634}},
      {{0.20004613411251418, 0.008632240806204141}, {0.44736920090180654, 0.009647750564835194}},
      {{0.20395769894234722, -0.015287626041190213}, {0.45193337015588836, -0.01691358834184198}},
      {{0.2957543175677311, -0.044354864921825395}, {0.5453513132112955, -0.040666326799940665}},
      {{0.21577301594742088, -0.03598880115099949}, {0.46611518513621364, -0.038605053196283476}},
      {{0.26424364217044277, -0.05659180273043272}, {0.5169522921137147, -0.05473600044754918}},
      {{0.23075382612000708, 0.09619082297806673}, {0.49028248314978634, 0.0980973458488944}},
      {{0.22713410428162553, 0.04958174444828235}, {0.4793834030416335, 0.05171408046934006}},
      {{0.31081362609404795, -0.010165274366063126}, {0.5575811261046967, -0.009115508425166232}},
  };
  const PointAnalysis a = AnalyzeSingularPoint(Parse("y - x^2; (x - 1/2)^12"), tracked, 12);
  ASSERT_EQ(a.verdict, PointVerdict::kIsolatedRoot);
  EXPECT_EQ(a.multiplicity, 12);
  EXPECT_EQ(a.breadth, 1);
  EXPECT_LE(RelativeError(a.point, {0.25, 0.5}), 1e-8);
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
      // a triple line: a hyperplane through its point meets it in a point of multiplicity 3
      {"x^3 + x^4; x^3 y - x^3", {0.0, 3.0}, 1, PointVerdict::kPositiveDimensional, 1},
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

// End points of a set reach it only up to the end game's accuracy: 1e-9 and 1e-6 off the plane
// are on it.
TEST(AnalyzeTest, EndPointsCloseToASetAreOnIt) {
  for (const double off : {1e-9, 1e-6}) {
    const PointAnalysis a = AnalyzeSingularPoint(Parse("variables x, y, z; x z; y z; x z + 2 y z"),
                                                 {{1.0, 2.0, off}}, 1);
    EXPECT_EQ(a.verdict, PointVerdict::kPositiveDimensional) << off;
    EXPECT_EQ(a.localDimension, 2) << off;
  }
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

// A regular root: multiplicity 1, certified by the same test on f; so is one whose equations are
// nearly parallel (its Jacobian's smallest singular value 5e-7 in units, below the null threshold
// of a point 1e-13 off, above the threshold at rounding), to the accuracy its condition allows.
TEST(AnalyzeTest, RegularRootIsMultiplicityOne) {
  struct Case {
    std::string text;
    std::vector<Complex> root;
    double tolerance;
  };
  const std::vector<Case> cases = {
      {"x^2 - 2 y; y - 2", {2.0, 2.0}, 1e-14},
      {"x + y - 2; x + 1.000001 y - 2.000001", {1.0, 1.0}, 1e-9},
  };
  for (const Case& c : cases) {
    const PointAnalysis a =
        AnalyzeSingularPoint(Parse(c.text), EndPointsAround(c.root, 1, 1e-9), 1);
    ASSERT_EQ(a.verdict, PointVerdict::kIsolatedRoot) << c.text;
    EXPECT_EQ(a.multiplicity, 1) << c.text;
    EXPECT_TRUE(a.certificate.certified) << c.text;
    EXPECT_LE(RelativeError(a.point, c.root), c.tolerance) << c.text;
  }
}

// Simple roots of equations of high degree. Their residual at full precision is tens of rounding
// units (x^101 rounds once per product, and 101 x^101 times the point's own rounding), and at x = 1
// the Taylor coefficients of x^101 grow to C(101, 50): only the orders the analysis uses may set
// the units, or the first-order ones vanish beside them and the root looks singular.
TEST(AnalyzeTest, SimpleRootsOfHighDegree) {
  struct Case {
    std::string text;
    std::vector<Complex> root;
  };
  const double r40 = std::pow(3.0, 1.0 / 40.0) / 2.0;
  const std::vector<Case> cases = {
      {"x^101 - 3; y^97 - 5", {std::pow(3.0, 1.0 / 101.0), std::pow(5.0, 1.0 / 97.0)}},
      {"x^300 - 3; y - 2", {std::pow(3.0, 1.0 / 300.0), 2.0}},
      {"(x + y)^40 - 3; x - y", {r40, r40}},
  };
  for (const Case& c : cases) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      const PointAnalysis a =
          AnalyzeSingularPoint(Parse(c.text), EndPointsAround(c.root, 1, 1e-9, seed), 1);
      ASSERT_EQ(a.verdict, PointVerdict::kIsolatedRoot) << c.text << ", seed " << seed;
      EXPECT_EQ(a.multiplicity, 1) << c.text;
      EXPECT_TRUE(a.certificate.certified) << c.text;
      EXPECT_LE(RelativeError(a.point, c.root), 1e-13) << c.text;
    }
  }
}

}  // namespace
}  // namespace zormix

namespace zormix {
namespace {

// End points at rounding noise of a root at 0: x^20 seen from 1e-16 in two unknowns squares
// Taylor coefficients near 1e-160 in the dual space's factorisations (they must neither vanish nor
// overflow into NaN), and two end points at 4e-16 of the 50-fold root of x^50 pin the free
// size of x near 1e-8, where x^50 would underflow. Each is its multiplicity, deflated and
// certified, within 1e-12 of the origin.
TEST(AnalyzeTest, RootsAtTheOriginFromEndPointsAtRoundingNoise) {
  struct Case {
    std::string text;
    std::vector<std::vector<Complex>> endPoints;
    int multiplicity;
  };
  const std::vector<Case> cases = {
      {"x^20; y - 1 + x", {{1e-16, 1.0}}, 20},
      {"x^20; y - 1 + x", {{2.7e-17, 1.0 + 8.9e-16}}, 20},
      {"x^50", {{4e-16}, {Complex(-4e-16, 1e-17)}}, 50},
  };
  for (const Case& c : cases) {
    const PointAnalysis a = AnalyzeSingularPoint(Parse(c.text), c.endPoints, c.multiplicity);
    EXPECT_EQ(a.verdict, PointVerdict::kIsolatedRoot) << c.text;
    EXPECT_EQ(a.multiplicity, c.multiplicity) << c.text;
    EXPECT_TRUE(a.deflated && a.certificate.certified) << c.text;
    EXPECT_LE(std::abs(a.point[0]), 1e-12) << c.text;
  }
}

}  // namespace
}  // namespace zormix
