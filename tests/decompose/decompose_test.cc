// Decompositions with known answers: components of every dimension with their degrees, the
// isolated points, and the same answer after a change of coordinates, of seed or of threads.
#include "zormix/decompose.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// A sphere, the twisted cubic, three lines and the point (1/2, 1/2, 1/2) (Sommese, Verschelde and
// Wampler's illustrative example).
constexpr const char* kSurfaceCurvesPoint =
    "variables x, y, z;\n"
    "(y - x^2)*(x^2 + y^2 + z^2 - 1)*(x - 0.5);\n"
    "(z - x^3)*(x^2 + y^2 + z^2 - 1)*(y - 0.5);\n"
    "(y - x^2)*(z - x^3)*(x^2 + y^2 + z^2 - 1)*(z - 0.5);\n";

Decomposition DecomposeText(const std::string& text, std::uint64_t seed = 1, int threads = 1) {
  DecomposeOptions options;
  options.seed = seed;
  options.threads = threads;
  return Decompose(ParseEquationsText(text, "test"), options);
}

// Dimension -> degrees (with "xm" for a multiplicity m > 1), highest first.
std::map<int, std::vector<std::string>> Degrees(const Decomposition& d) {
  std::map<int, std::vector<std::string>> degrees;
  for (const WitnessComponent& c : d.components) {
    std::string text = std::to_string(c.degree);
    if (c.multiplicity > 1) text += "x" + std::to_string(c.multiplicity);
    degrees[c.dimension].push_back(text);
  }
  return degrees;
}

void ExpectEveryTraceCloses(const Decomposition& d) {
  for (const WitnessComponent& c : d.components) {
    EXPECT_TRUE(c.traceTestPassed) << "dimension " << c.dimension << " degree " << c.degree;
    EXPECT_LT(c.traceResidual, 1e-9);
  }
  for (const std::string& warning : d.warnings)
    EXPECT_THAT(warning, Not(HasSubstr("trace"))) << warning;
}

std::vector<std::vector<Complex>> IsolatedValues(const Decomposition& d) {
  std::vector<std::vector<Complex>> values;
  const SolveResult& s = d.isolated.solve;
  for (std::int64_t r = 0; r < s.rootCount; ++r)
    if (d.isolated.isolated[r] && s.groupLeader[r] == r)
      values.emplace_back(s.roots.col(r), s.roots.col(r) + s.n);
  return values;
}

TEST(DecomposeTest, SurfaceCurvesAndPoint) {
  const Decomposition d = DecomposeText(kSurfaceCurvesPoint);
  using DegreeList = std::vector<std::string>;
  EXPECT_EQ(Degrees(d)[2], (DegreeList{"2"}));
  EXPECT_EQ(Degrees(d)[1], (DegreeList{"3", "1", "1", "1"}));
  ExpectEveryTraceCloses(d);
  EXPECT_EQ(d.isolated.regular, 1);
  EXPECT_EQ(d.isolated.singular, 0);
  const auto points = IsolatedValues(d);
  ASSERT_EQ(points.size(), 1u);
  for (const Complex& value : points[0]) EXPECT_NEAR(std::abs(value - 0.5), 0.0, 1e-12);
  // The twisted cubic's witness points are on it, and on its slice.
  const WitnessComponent& cubic = d.components[1];
  ASSERT_EQ(cubic.degree, 3);
  for (int p = 0; p < 3; ++p) {
    const Complex* x = cubic.points.col(p);
    EXPECT_LT(std::abs(x[1] - x[0] * x[0]), 1e-10);
    EXPECT_LT(std::abs(x[2] - x[0] * x[0] * x[0]), 1e-10);
    Complex slice = cubic.sliceConstants[0];
    for (int l = 0; l < 3; ++l) slice += cubic.slice(0, l) * x[l];
    EXPECT_LT(std::abs(slice), 1e-10);
  }
  EXPECT_EQ(DecompositionSummary(d),
            "dimension 2: 1 component of degree 2 · dimension 1: 4 components, degrees 3, 1, 1, 1 "
            "· dimension 0: 1 regular point");
}

// x = M u + b with a matrix far from the identity, and the equations scaled by 1e6, 1e-5 and 3:
// the same components.
TEST(DecomposeTest, SameAfterChangeOfCoordinatesAndScaledEquations) {
  const std::string x = "(0.7*u - 1.3*v + 0.2*w + 0.1)";
  const std::string y = "(0.4*u + 0.9*v - 1.1*w - 0.3)";
  const std::string z = "(-0.8*u + 0.5*v + 1.6*w + 0.25)";
  const std::string sphere = "(" + x + "^2 + " + y + "^2 + " + z + "^2 - 1)";
  const std::string text =
      "variables u, v, w;\n"
      "1e6*(" +
      y + " - " + x + "^2)*" + sphere + "*(" + x + " - 0.5);\n" + "1e-5*(" + z + " - " + x +
      "^3)*" + sphere + "*(" + y + " - 0.5);\n" + "3*(" + y + " - " + x + "^2)*(" + z + " - " + x +
      "^3)*" + sphere + "*(" + z + " - 0.5);\n";
  const Decomposition d = DecomposeText(text, 2);
  using DegreeList = std::vector<std::string>;
  EXPECT_EQ(Degrees(d)[2], (DegreeList{"2"}));
  EXPECT_EQ(Degrees(d)[1], (DegreeList{"3", "1", "1", "1"}));
  ExpectEveryTraceCloses(d);
  EXPECT_EQ(d.isolated.regular, 1);
}

TEST(DecomposeTest, DoubleLine) {
  // x^2 = y = 0: the z-axis, twice.
  const Decomposition line = DecomposeText("variables x, y, z;\nx^2;\ny;\n");
  EXPECT_THAT(Degrees(line)[1], ElementsAre("1x2"));
  EXPECT_EQ(line.components.size(), 1u);
  ExpectEveryTraceCloses(line);
}

// x^2 = xy = 0: the y-axis with an embedded point at the origin, which is neither a component nor
// an isolated root, on every seed: on some the solve ends both paths at the origin as a double
// root, and the membership paths into it fail (W is singular there) until the slice is offset.
// (y - 1) x^2 = (y - 1) y = 0: the line y = 1 and a double point at the origin, which is isolated.
TEST(DecomposeTest, EmbeddedPointIsNoRootButAnIsolatedDoublePointIs) {
  for (std::uint64_t seed = 1; seed <= 10; ++seed) {
    const Decomposition embedded = DecomposeText("variables x, y;\nx^2;\nx*y;\n", seed);
    EXPECT_THAT(Degrees(embedded)[1], ElementsAre("1")) << "seed " << seed;
    EXPECT_EQ(embedded.components.size(), 1u) << "seed " << seed;
    EXPECT_EQ(embedded.isolated.regular + embedded.isolated.singular, 0) << "seed " << seed;
    EXPECT_THAT(IsolatedValues(embedded), IsEmpty()) << "seed " << seed;
  }
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    const Decomposition d = DecomposeText("variables x, y;\n(y - 1)*x^2;\n(y - 1)*y;\n", seed);
    EXPECT_THAT(Degrees(d)[1], ElementsAre("1")) << "seed " << seed;
    EXPECT_EQ(d.isolated.singular, 1) << "seed " << seed;
    EXPECT_EQ(d.isolated.singularEndPoints, 2) << "seed " << seed;
    const auto points = IsolatedValues(d);
    ASSERT_EQ(points.size(), 1u) << "seed " << seed;
    for (const Complex& value : points[0]) EXPECT_LT(std::abs(value), 1e-6);
  }
}

// (x^2 + y^2 - 1)^2 = z = 0 and (x^2 + y^2 - 1)^2 = 0 in the plane: a conic, twice. Its witness
// points are double roots of the witness system, whose two paths the end game does not always
// group, and whose accuracy far from the origin can hide the rank deficiency; the deflated
// system's random squaring has roots off the conic that a loop can jump onto. On every seed: one
// component of degree 2 and multiplicity 2, its trace closed.
TEST(DecomposeTest, DoubleConicIsOneComponentOnEverySeed) {
  for (const char* text :
       {"variables x, y, z;\n(x^2 + y^2 - 1)^2;\nz;\n", "variables x, y;\n(x^2 + y^2 - 1)^2;\n"}) {
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
      const Decomposition d = DecomposeText(text, seed);
      EXPECT_THAT(Degrees(d)[1], ElementsAre("2x2")) << text << "seed " << seed;
      EXPECT_EQ(d.components.size(), 1u) << text << "seed " << seed;
      ExpectEveryTraceCloses(d);
      for (const std::string& warning : d.warnings)
        EXPECT_THAT(warning, Not(HasSubstr("untested"))) << text << "seed " << seed;
    }
  }
}

TEST(DecomposeTest, LinesAndPlanesCrossing) {
  // xy = xz = 0: the plane x = 0 and the line y = z = 0 through it.
  const Decomposition planeAndLine = DecomposeText("variables x, y, z;\nx*y;\nx*z;\n");
  EXPECT_THAT(Degrees(planeAndLine)[2], ElementsAre("1"));
  EXPECT_THAT(Degrees(planeAndLine)[1], ElementsAre("1"));
  ExpectEveryTraceCloses(planeAndLine);
  // xy = xz = yz = 0: the three axes, meeting at the origin.
  const Decomposition axes = DecomposeText("variables x, y, z;\nx*y;\nx*z;\ny*z;\n");
  EXPECT_THAT(Degrees(axes)[1], ElementsAre("1", "1", "1"));
  EXPECT_EQ(axes.components.size(), 3u);
  EXPECT_EQ(axes.isolated.regular + axes.isolated.singular, 0);
}

TEST(DecomposeTest, OverdeterminedSystemIsRandomized) {
  // Four equations: the twisted cubic and the points (2, 3, 5), (2, 3, 8), (2, 4, 5).
  const Decomposition d = DecomposeText(
      "variables x, y, z;\n(y - x^2)*(x - 2);\n(z - x^3)*(x - 2);\n(y - x^2)*(y - 3);\n"
      "(z - x^3)*(z - 5);\n");
  EXPECT_TRUE(d.randomized);
  EXPECT_EQ(d.equationCount, 4);
  EXPECT_THAT(Degrees(d)[1], ElementsAre("3"));
  EXPECT_EQ(Degrees(d).count(2), 0u);
  ExpectEveryTraceCloses(d);
  auto points = IsolatedValues(d);
  ASSERT_EQ(points.size(), 3u);
  std::vector<std::vector<double>> rounded;
  for (const auto& p : points) {
    std::vector<double> r;
    for (const Complex& v : p) {
      EXPECT_LT(std::abs(v.imag()), 1e-10);
      r.push_back(std::round(v.real()));
      EXPECT_NEAR(v.real(), r.back(), 1e-10);
    }
    rounded.push_back(r);
  }
  std::sort(rounded.begin(), rounded.end());
  EXPECT_EQ(rounded, (std::vector<std::vector<double>>{{2, 3, 5}, {2, 3, 8}, {2, 4, 5}}));
}

TEST(DecomposeTest, DimensionZeroIsTheSolve) {
  const PolySystem f = ParseEquationsText(kSurfaceCurvesPoint, "test");
  DecomposeOptions options;
  options.seed = 7;
  const Decomposition d = Decompose(f, options);
  SolveOptions solve;
  solve.seed = 7;
  const SolveResult s = SolveSystem(f, solve);
  EXPECT_EQ(d.isolated.solve.pathCount, s.pathCount);
  EXPECT_EQ(d.isolated.solve.classes.regular, s.classes.regular);
  EXPECT_EQ(d.isolated.solve.classes.positiveDimensional, s.classes.positiveDimensional);
  ASSERT_EQ(d.isolated.solve.rootCount, s.rootCount);
  EXPECT_TRUE(std::equal(s.roots.data(), s.roots.data() + s.n * s.rootCount,
                         d.isolated.solve.roots.data()));
}

TEST(DecomposeTest, ThreadsChangeNothing) {
  const Decomposition one = DecomposeText(kSurfaceCurvesPoint, 3, 1);
  const Decomposition two = DecomposeText(kSurfaceCurvesPoint, 3, 2);
  ASSERT_EQ(one.components.size(), two.components.size());
  for (std::size_t c = 0; c < one.components.size(); ++c) {
    const ColMajorMatrix<Complex>& a = one.components[c].points;
    const ColMajorMatrix<Complex>& b = two.components[c].points;
    ASSERT_EQ(a.cols(), b.cols());
    EXPECT_TRUE(std::equal(a.data(), a.data() + a.rows() * a.cols(), b.data()));
    EXPECT_EQ(one.components[c].traceResidual, two.components[c].traceResidual);
  }
}

TEST(DecomposeTest, HeavySeedsOneToTenAgree) {
  const auto expected = Degrees(DecomposeText(kSurfaceCurvesPoint, 1));
  for (std::uint64_t seed = 2; seed <= 10; ++seed) {
    const Decomposition d = DecomposeText(kSurfaceCurvesPoint, seed);
    EXPECT_EQ(Degrees(d), expected) << "seed " << seed;
    EXPECT_EQ(d.isolated.regular, 1) << "seed " << seed;
    ExpectEveryTraceCloses(d);
  }
}

TEST(DecomposeTest, MembershipNamesTheComponentsThroughAPoint) {
  const PolySystem f = ParseEquationsText(kSurfaceCurvesPoint, "test");
  DecomposeOptions options;
  options.seed = 5;
  const Decomposition d = Decompose(f, options);
  const auto find = [&](int dimension, int degree) {
    for (std::size_t c = 0; c < d.components.size(); ++c)
      if (d.components[c].dimension == dimension && d.components[c].degree == degree)
        return static_cast<int>(c);
    return -1;
  };
  const int sphere = find(2, 2), cubic = find(1, 3);
  // On the sphere only; on the cubic and on the line x = 1/2, z = 1/8; on nothing.
  const std::vector<Complex> onSphere{0.6, 0.8, 0.0};
  EXPECT_THAT(ComponentsContaining(f, d, onSphere, options), ElementsAre(sphere));
  const std::vector<Complex> onCubicAndLine{0.5, 0.25, 0.125};
  const std::vector<int> both = ComponentsContaining(f, d, onCubicAndLine, options);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0], cubic);
  EXPECT_EQ(d.components[both[1]].degree, 1);
  const std::vector<Complex> nowhere{1.3, -0.7, 2.1};
  EXPECT_THAT(ComponentsContaining(f, d, nowhere, options), IsEmpty());
}

TEST(DecomposeTest, RefusesWhatItCannotTake) {
  const PolySystem f = ParseEquationsText(kSurfaceCurvesPoint, "test");
  DecomposeOptions options;
  options.seed = 1;
  options.topDimension = 3;
  EXPECT_THROW(Decompose(f, options), Error);
  options.topDimension.reset();
  options.interrupted = [] { return true; };
  try {
    Decompose(f, options);
    ADD_FAILURE() << "not interrupted";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::kInterrupted);
  }
  EXPECT_THROW(Decompose(ParseEquationsText("variables x, y;\nx - x + y;\nx*y - x*y;\n", "t"),
                         DecomposeOptions{}),
               Error);
}

TEST(DecomposeTest, ReadsSystemsOfAnyShape) {
  const PolySystem wide = ParseEquationsText("variables x, y, z;\nx*y - 1;\n", "wide");
  EXPECT_EQ(wide.n, 3);
  EXPECT_EQ(wide.termCount.size(), 1u);
  const PolySystem tall = ParseEquationsText("x - 1\ny - 2\nx*y - 2\n", "tall");
  EXPECT_EQ(tall.n, 2);
  EXPECT_EQ(tall.termCount.size(), 3u);
  const std::string square = "x^2 + y - 3\nx - y\n";
  EXPECT_EQ(FormatSystemFile(ParseEquationsText(square, "s")),
            FormatSystemFile(ParsePolynomialText(square, "s")));
  // The square reader still refuses the others.
  EXPECT_THROW(ParsePolynomialText("x - 1\ny - 2\nx*y - 2\n", "tall"), Error);
}

}  // namespace
}  // namespace zormix
