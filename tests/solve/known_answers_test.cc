// End-to-end known answers: every accepted root is checked against the system as read, with an
// evaluator written here from the exponents and coefficients, independent of the solver's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "support/systems.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

using Root = std::vector<Complex>;

SolveOptions Options(Route route, std::uint64_t seed = 20240611) {
  SolveOptions options;
  options.route = route;
  options.seed = seed;
  options.reportPath = "";
  return options;
}

Root Column(const SolveResult& result, std::int64_t r) {
  return Root(result.roots.col(r), result.roots.col(r) + result.n);
}

// Largest over the equations of |f_i(x)| / (max_j |c_j| * max(1, |x|)^d_i), d_i the degree of
// equation i and |x| the largest coordinate modulus: the residual relative to the coefficient size.
double RelativeResidual(const PolySystem& system, const Root& x) {
  double modulus = 1.0;
  for (const Complex& v : x) modulus = std::max(modulus, std::abs(v));
  double worst = 0.0;
  std::int64_t p = 0;
  for (int i = 0; i < system.n; ++i) {
    Complex value = 0.0;
    double largest = 0.0;
    int degree = 0;
    for (int t = 0; t < system.termCount[i]; ++t, ++p) {
      Complex term = system.coefficients[p];
      largest = std::max(largest, std::abs(term));
      int termDegree = 0;
      for (int k = 0; k < system.n; ++k) {
        termDegree += system.exponents(k, p);
        for (int e = 0; e < system.exponents(k, p); ++e) term *= x[k];  // exact for e = 0, 1
      }
      degree = std::max(degree, termDegree);
      value += term;
    }
    worst = std::max(worst, std::abs(value) / (largest * std::pow(modulus, degree)));
  }
  return worst;
}

double MaxDistance(const Root& a, const Root& b) {
  double d = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) d = std::max(d, std::abs(a[k] - b[k]));
  return d;
}

// What every solve must deliver: consistent sizes, finite roots that satisfy the system, a real
// class that matches the coordinates, and (for systems with simple roots) no root twice.
void ExpectValidRoots(const PolySystem& system, const SolveResult& result,
                      bool distinctRoots = true) {
  const auto count = static_cast<std::size_t>(result.rootCount);
  ASSERT_EQ(result.n, system.n);
  ASSERT_EQ(result.roots.rows(), system.n);
  ASSERT_EQ(result.roots.cols(), result.rootCount);
  ASSERT_EQ(result.residuals.size(), count);
  ASSERT_EQ(result.conditionNumbers.size(), count);
  ASSERT_EQ(result.isReal.size(), count);
  ASSERT_EQ(result.records.size(), count);
  EXPECT_LE(result.rootCount, result.pathCount);
  EXPECT_LE(result.counts.blowUps, result.pathCount);
  std::int64_t reals = 0;
  for (std::int64_t r = 0; r < result.rootCount; ++r) {
    const Root x = Column(result, r);
    double modulus = 0.0, imaginary = 0.0;
    for (const Complex& v : x) {
      ASSERT_TRUE(std::isfinite(v.real()) && std::isfinite(v.imag())) << "root " << r;
      modulus = std::max(modulus, std::abs(v));
      imaginary = std::max(imaginary, std::abs(v.imag()));
    }
    EXPECT_LT(RelativeResidual(system, x), 1e-8) << "root " << r << ": " << x[0] << ", ...";
    EXPECT_TRUE(std::isfinite(result.residuals[r]) && result.residuals[r] >= 0.0) << r;
    EXPECT_GE(result.conditionNumbers[r], 1.0 - 1e-12) << r;  // sigma_max / sigma_min
    const bool real = modulus < 1e-7 || imaginary < 1e-7 * modulus;
    EXPECT_EQ(result.isReal[r] != 0, real) << "root " << r;
    reals += result.isReal[r] != 0;
  }
  EXPECT_EQ(result.realCount, reals);
  if (!distinctRoots) return;
  for (std::int64_t r = 0; r < result.rootCount; ++r) {
    const Root a = Column(result, r);
    for (std::int64_t s = r + 1; s < result.rootCount; ++s) {
      EXPECT_GT(MaxDistance(a, Column(result, s)), 1e-6) << "roots " << r << " and " << s;
    }
  }
}

// Each expected root is found, coordinate by coordinate to a relative 1e-10 (absolute 1e-12 for a
// zero coordinate), and there are no others.
void ExpectClosedForm(const SolveResult& result, const std::vector<Root>& expected) {
  ASSERT_EQ(result.rootCount, static_cast<std::int64_t>(expected.size()));
  for (const Root& want : expected) {
    int matches = 0;
    for (std::int64_t r = 0; r < result.rootCount; ++r) {
      const Root got = Column(result, r);
      bool close = true;
      for (std::size_t k = 0; k < want.size(); ++k) {
        const double tolerance = want[k] == 0.0 ? 1e-12 : 1e-10 * std::abs(want[k]);
        close = close && std::abs(got[k] - want[k]) <= tolerance;
      }
      matches += close;
    }
    EXPECT_EQ(matches, 1) << "root (" << want[0] << ", " << want[1] << ", ...)";
  }
}

struct KnownCase {
  std::string name;
  PolySystem system;
  std::int64_t polyhedralPaths;
  std::int64_t totalDegreePaths;
  std::int64_t roots;
  std::vector<Root> closedForm;  // empty: only the count and the validity are known
};

std::vector<KnownCase> KnownCases() {
  const double h = 1.0 / std::sqrt(2.0);
  const Complex i(0.0, 1.0);
  std::vector<KnownCase> cases;
  cases.push_back({"CircleAndLine", testing::CircleAndLine(), 2, 2, 2, {{h, h}, {-h, -h}}});
  // No constant terms: (0, 0) and the roots with y = 0 are reached only through the appended
  // zero constants. x in {-1, 0, 1}, y in {0, x + 2}.
  cases.push_back({"RootAtTheOrigin",
                   ParsePolynomialText("x^3 - x; y^2 - x*y - 2*y;", "origin"),
                   6,
                   6,
                   6,
                   {{-1.0, 0.0}, {-1.0, 1.0}, {0.0, 0.0}, {0.0, 2.0}, {1.0, 0.0}, {1.0, 3.0}}});
  std::vector<Root> triangular;
  for (double k : {1.0, 2.0, 3.0}) {
    triangular.push_back({k, std::sqrt(k)});
    triangular.push_back({k, -std::sqrt(k)});
  }
  cases.push_back({"TriangularRealRoots",
                   ParsePolynomialText("x^3 - 6x^2 + 11x - 6; y^2 - x;", "triangular"), 6, 6, 6,
                   triangular});
  // x = +-i, y^3 = x: the six cube roots, none of them real.
  std::vector<Root> cubeRoots;
  for (Complex x : {i, -i}) {
    const double angle = std::arg(x) / 3.0;
    for (int k = 0; k < 3; ++k) {
      cubeRoots.push_back({x, std::polar(1.0, angle + 2.0 * std::numbers::pi * k / 3.0)});
    }
  }
  cases.push_back(
      {"ComplexCubeRoots", ParsePolynomialText("x^2 + 1; y^3 - x;", "cube"), 6, 6, 6, cubeRoots});
  // Coefficients from 1e-4 to 1e9: x = +-10^-4.5, y = -1e4 x, z^2 = 1e6 x y = -10.
  std::vector<Root> wide;
  for (double s : {1.0, -1.0}) {
    const double x = s * std::pow(10.0, -4.5);
    for (double t : {1.0, -1.0}) wide.push_back({x, -1e4 * x, t * std::sqrt(10.0) * i});
  }
  cases.push_back({"CoefficientsOverThirteenDecades",
                   ParsePolynomialText("1e6 x^2 - 1e-3; 1e-4 y + x; 1e3 z^2 - 1e9 x y;", "wide"), 4,
                   4, 4, wide});
  // x y - 1 = 0, x y + x - 2 = 0: x = 1, y = 1; the other three total-degree paths go to infinity.
  cases.push_back({"RootsAtInfinity",
                   ParsePolynomialText("x*y - 1; x*y + x - 2;", "infinity"),
                   1,
                   4,
                   1,
                   {{1.0, 1.0}}});
  cases.push_back({"Cyclic5", testing::Cyclic(5), 70, 120, 70, {}});
  cases.push_back({"Katsura6", testing::Katsura(6), 64, 64, 64, {}});
  cases.push_back({"Noon4", testing::Noon(4), 73, 81, 73, {}});
  return cases;
}

class KnownAnswers : public ::testing::TestWithParam<Route> {};

TEST_P(KnownAnswers, RootCountsPathCountsAndClosedForms) {
  const Route route = GetParam();
  for (const KnownCase& c : KnownCases()) {
    SCOPED_TRACE(c.name);
    const SolveResult result = SolveSystem(c.system, Options(route));
    EXPECT_EQ(result.pathCount,
              route == Route::kPolyhedral ? c.polyhedralPaths : c.totalDegreePaths);
    EXPECT_EQ(result.rootCount, c.roots);
    ExpectValidRoots(c.system, result);
    if (!c.closedForm.empty()) ExpectClosedForm(result, c.closedForm);
  }
}

INSTANTIATE_TEST_SUITE_P(KnownAnswersTest, KnownAnswers,
                         ::testing::Values(Route::kPolyhedral, Route::kTotalDegree),
                         [](const ::testing::TestParamInfo<Route>& info) {
                           return info.param == Route::kPolyhedral ? "Polyhedral" : "TotalDegree";
                         });

// (x - 1)^2 (x + 2) = 0, y^2 - x = 0: the simple roots (-2, +-i sqrt 2) and the double roots
// (1, +-1). The simple ones are found once each and to full accuracy; whatever else is accepted
// lies at a double root (paths reach it from both sides, so it may be listed twice).
TEST(KnownAnswersTest, DoubleRootsLeaveTheSimpleRootsIntact) {
  const PolySystem system = ParsePolynomialText("(x - 1)^2 (x + 2); y^2 - x;", "double");
  const Complex y(0.0, std::sqrt(2.0));
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    const SolveResult result = SolveSystem(system, Options(route));
    EXPECT_EQ(result.pathCount, 6);
    ExpectValidRoots(system, result, /*distinctRoots=*/false);
    int simple = 0;
    for (std::int64_t r = 0; r < result.rootCount; ++r) {
      const Root x = Column(result, r);
      if (MaxDistance(x, {-2.0, y}) < 1e-10 || MaxDistance(x, {-2.0, -y}) < 1e-10) {
        ++simple;
      } else {
        EXPECT_LT(std::min(MaxDistance(x, {1.0, 1.0}), MaxDistance(x, {1.0, -1.0})), 1e-6) << r;
      }
    }
    EXPECT_EQ(simple, 2);
  }
}

void ExpectRootCount(const PolySystem& system, Route route, std::int64_t roots) {
  const SolveResult result = SolveSystem(system, Options(route));
  EXPECT_EQ(result.rootCount, roots);
  // Where every path ends at a root, none may have blown up on the way.
  if (result.pathCount == roots) {
    EXPECT_EQ(result.counts.blowUps, 0);
  }
  ExpectValidRoots(system, result);
}

// Larger benchmark systems: every root arrives, valid and distinct.
TEST(KnownAnswersTest, LargerBenchmarkRootCounts) {
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    SCOPED_TRACE(route == Route::kPolyhedral ? "polyhedral" : "total degree");
    ExpectRootCount(testing::Katsura(7), route, 128);
    ExpectRootCount(testing::Noon(5), route, 233);
    ExpectRootCount(testing::Cyclic(6), route, 156);
  }
}

TEST(KnownAnswersTest, HeavyCyclic7AndKatsura8RootCounts) {
  ExpectRootCount(testing::Cyclic(7), Route::kPolyhedral, 924);
  ExpectRootCount(testing::Katsura(8), Route::kPolyhedral, 256);
  ExpectRootCount(testing::Katsura(8), Route::kTotalDegree, 256);
}

}  // namespace
}  // namespace zormix
