// Badly scaled systems: the roots must not depend on the units in which an equation is written,
// and roots far from the others (in the scaled variables) must not be lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/systems.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

using testing::BuildSystem;
using testing::Equation;

SolveOptions Options(std::uint64_t seed, Route route = Route::kPolyhedral) {
  SolveOptions options;
  options.route = route;
  options.seed = seed;
  options.reportPath = "";
  return options;
}

double MaxModulus(const SolveResult& result, std::int64_t r) {
  double largest = 0.0;
  for (int k = 0; k < result.n; ++k) largest = std::max(largest, std::abs(result.roots(k, r)));
  return largest;
}

// Number of roots no earlier root matches within 1e-6 relative.
std::int64_t DistinctRoots(const SolveResult& result) {
  std::int64_t distinct = 0;
  for (std::int64_t a = 0; a < result.rootCount; ++a) {
    bool repeated = false;
    for (std::int64_t b = 0; b < a && !repeated; ++b) {
      double distance = 0.0;
      for (int k = 0; k < result.n; ++k)
        distance = std::max(distance, std::abs(result.roots(k, a) - result.roots(k, b)));
      repeated = distance <= 1e-6 * std::max(1.0, MaxModulus(result, a));
    }
    distinct += repeated ? 0 : 1;
  }
  return distinct;
}

// x^2 + y^2 - 2 = 0 times 10^circleExponent, x - y = 0 times 10^lineExponent: roots +-(1, 1).
PolySystem ScaledCircleAndLine(int circleExponent, int lineExponent) {
  const double c = std::pow(10.0, circleExponent);
  const double l = std::pow(10.0, lineExponent);
  Equation circle = {{{2, 0}, c}, {{0, 2}, c}, {{0, 0}, -2.0 * c}};
  Equation line = {{{1, 0}, l}, {{0, 1}, -l}};
  return BuildSystem({circle, line}, {"x", "y"});
}

// Before, the report judged a root by an absolute residual of 1e-4 on the system as given: an
// equation written in units 1e12 times smaller lost every root, one 1e-200 times smaller let any
// point pass on that equation.
TEST(BadlyScaledSolveTest, UnitsOfAnEquationDoNotChangeTheRoots) {
  const int exponents[] = {-200, -120, -16, -12, 0, 12, 16, 120, 200};
  for (int circle : exponents) {
    for (int line : {0, circle, -circle}) {
      const SolveResult result = SolveSystem(ScaledCircleAndLine(circle, line), Options(1));
      ASSERT_EQ(result.rootCount, 2) << "circle 1e" << circle << ", line 1e" << line;
      EXPECT_EQ(result.counts.lost(), 0);
      for (std::int64_t r = 0; r < 2; ++r) {
        const double sign = result.roots(0, r).real() > 0 ? 1.0 : -1.0;
        for (int k = 0; k < 2; ++k) {
          EXPECT_LT(std::abs(result.roots(k, r) - sign), 1e-8)
              << "circle 1e" << circle << ", line 1e" << line << ", root " << r;
        }
      }
    }
  }
}

// 1e300 x^2 + y^2 - 2, x - y: no scaling of the variables and equations brings the three
// coefficients of the first equation within 1e30 of each other, and double precision cannot track
// the system. The solve says so; a system whose units alone are extreme gets no warning.
TEST(BadlyScaledSolveTest, ExtremeCoefficientThatScalingCannotAbsorbIsReported) {
  Equation first = {{{2, 0}, 1e300}, {{0, 2}, 1.0}, {{0, 0}, -2.0}};
  Equation line = {{{1, 0}, 1.0}, {{0, 1}, -1.0}};
  const SolveResult extreme = SolveSystem(BuildSystem({first, line}, {"x", "y"}), Options(1));
  ASSERT_EQ(extreme.warnings.size(), 1u);
  EXPECT_NE(extreme.warnings[0].find("orders of magnitude"), std::string::npos);
  EXPECT_TRUE(SolveSystem(ScaledCircleAndLine(200, -200), Options(1)).warnings.empty());
}

// pb601: coefficients from 1 to 1.1e16, variables whose roots differ by many orders of magnitude.
// All 18 roots (the mixed volume) are regular; three of them, near (17, 26, 8.5), lie far out in
// the scaled variables (|y| ~ 1e6), where the absolute tolerances of the tracker cannot be met:
// their first trackings underflow and, before, the rescue reached them but the acceptance at the
// target refused the residual that the rounding of their huge terms leaves.
constexpr const char* kPb601 = R"(
5.38354663405080E+08*x2^6+ 5.03135199444000E+08*x2^5+ 8.95258362000000E+07*x2^4
-6.25000000000000E+13*x1^2*x3+ 5.77586040000000E+06*x2^3+ 107358*x2^2+ 617*x2+ 1;
-5.03135199444000E+08*x2^5-1.79051672400000E+08*x2^4+ 6.25000000000000E+13*x1^2*x2
+ 1.87500000000000E+14*x1^2*x3-1.73275812000000E+07*x2^3+ 20250000*x1*x2-429432*x2^2-3085*x2-6;
-5.55555555555555E+15*x1^2+ 1.11111111111111E+16*x1*x3+ 1800000000*x2+ 1;
)";

TEST(BadlyScaledSolveTest, LargeRegularRootsOfPb601AreKept) {
  const PolySystem system = ParsePolynomialText(kPb601, "pb601");
  for (std::uint64_t seed = 1; seed <= 5; ++seed) {
    const SolveResult result = SolveSystem(system, Options(seed));
    EXPECT_EQ(result.pathCount, 18);
    EXPECT_EQ(result.rootCount, 18) << "seed " << seed;
    EXPECT_EQ(DistinctRoots(result), result.rootCount) << "seed " << seed;
    EXPECT_EQ(result.counts.lost(), 0) << "seed " << seed;
    std::int64_t large = 0;
    for (std::int64_t r = 0; r < result.rootCount; ++r) large += MaxModulus(result, r) > 20.0;
    EXPECT_EQ(large, 3) << "seed " << seed;
  }
}

// rbpl24, a Stewart-Gough platform with coefficients up to 1.2e15. Its 40 regular roots were all
// tracked, but the report refused all but at most one of them.
constexpr const char* kRbpl24 = R"(
62500*x1^2 + 62500*y1^2 + 62500*z1^2 -74529;
625*x2^2 + 625*y2^2 + 625*z2^2 -1250*x2 -2624;
12500*x3^2 + 12500*y3^2 + 12500*z3^2 + 2500*x3 -44975*y3 -10982;
400000*x1*x2 + 400000*y1*y2 + 400000*z1*z2 -400000*x2 + 178837;
1000000*x1*x3 + 1000000*y1*y3 + 1000000*z1*z3 + 100000*x3 -1799000*y3 -805427;
2000000*x2*x3 + 2000000*y2*y3 + 2000000*z2*z3 -2000000*x2 + 200000*x3
-3598000*y3 -1403;
113800000000000*x3*y2*z1
-113800000000000*x2*y3*z1 -113800000000000*x3*y1*z2 +
113800000000000*x1*y3*z2 + 113800000000000*x2*y1*z3
-113800000000000*x1*y2*z3 -206888400000000*x2*y1 +
206888400000000*x3*y1 + 206888400000000*x1*y2 -206888400000000*x3*y2
-206888400000000*x1*y3 + 206888400000000*x2*y3 -2014260000000*x2*z1 +
2014260000000*x3*z1 -61907200000000*y2*z1 + 61907200000000*y3*z1 +
2014260000000*x1*z2 -2014260000000*x3*z2 + 61907200000000*y1*z2
-61907200000000*y3*z2 -2014260000000*x1*z3 + 2014260000000*x2*z3
-61907200000000*y1*z3 + 61907200000000*y2*z3 -362960716800000*x1 +
38025201600000*x2 + 292548849600000*x3 + 11809567440000*y1 +
1475978220000*y2 -825269402280000*y3 -1212982689600000*z1
-151600474800000*z2 + 825859951200000*z3 -19295432410527;
-777600000000*x3*y2*z1 + 777600000000*x2*y3*z1 +
777600000000*x3*y1*z2 -777600000000*x1*y3*z2 -777600000000*x2*y1*z3 +
777600000000*x1*y2*z3 -1409011200000*x2*y1 + 1409011200000*x3*y1 +
1409011200000*x1*y2 -1409011200000*x3*y2 -1409011200000*x1*y3 +
1409011200000*x2*y3 -1065312000000*x2*z1 + 1065312000000*x3*z1
-805593600000*y2*z1 + 805593600000*y3*z1 + 1065312000000*x1*z2
-1065312000000*x3*z2 + 805593600000*y1*z2 -805593600000*y3*z2
-1065312000000*x1*z3 + 1065312000000*x2*z3 -805593600000*y1*z3 +
805593600000*y2*z3 + 235685027200*x1 + 398417510400*x2 +
158626915200*x3 -311668424000*y1 -268090368000*y2 + 72704002800*y3 +
412221302400*z1 + 354583756800*z2 + 307085438400*z3 + 282499646407;
3200*x2 + 1271;
)";

TEST(BadlyScaledSolveTest, StewartGoughPlatformKeepsAllRegularRoots) {
  const PolySystem system = ParsePolynomialText(kRbpl24, "rbpl24");
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    const SolveResult result = SolveSystem(system, Options(seed));
    EXPECT_EQ(result.rootCount, 40) << "seed " << seed;
    EXPECT_EQ(DistinctRoots(result), result.rootCount) << "seed " << seed;
  }
}

// cohn3 (PoSSo test suite): 122 regular roots, some with coordinates near 1e4. By the
// total-degree route the paths to two of them, near (-0.61, -166, 12732, 0.091) and
// (44.9 - 2.5i, 531 + 208i, -7415 - 9616i, 0.11 - 0.25i), still grow like paths to infinity at
// 1 - t = 5e-9 and reach their roots only near 1 - t = 1e-10; the end game gave them up.
constexpr const char* kCohn3 = R"(
-x**3*y**2+2*x**2*y**2*z-x**2*y*z**2-144*x**2*y**2-207*x**2*y*z+288*x*y**2*z+
   78*x*y*z**2+x*z**3-3456*x**2*y-5184*x*y**2-9504*x*y*z-432*x*z**2
   -248832*x*y+62208*x*z- 2985984*x;
-x**3*z*t**2+x**2*z**2*t**2-6*x**3*z*t+4*x**2*z**2*t+32*x**3*t**2-
   72*x**2*z*t**2-87*x*z**2*t**2-z**3*t**2-8*x**3*z-432*x**2*z*t-414*x*z**2*t+
   2592*x*z*t**2+864*z**2*t**2-1728*x**2*z-20736*x*z*t+3456*z**2*t
   -186624*z*t**2- 124416*x*z-1492992*z*t-2985984*z;
x**2*y*t**3-2*x*y**2*t**3+y**3*t**3+8*x**2*y*t**2-12*x*y**2*t**2+4*y**3*t**2-
   24*x*y*t**3+24*y**2*t**3+20*x**2*y*t-20*x*y**2*t-160*x*y*t**2+96*y**2*t**2+
   128*x*t**3+16*x**2*y+96*x*y*t+2304*x*t**2+1152*x*y+13824*x*t+27648*x;
y**3*t**3-y**2*z*t**3+4*y**3*t**2-2*y**2*z*t**2+72*y**2*t**3+71*y*z*t**3+
   288*y**2*t**2+360*y*z*t**2+6*z**2*t**2+1728*y*t**3-464*z*t**3+432*y*z*t
   +8*z**2*t+ 6912*y*t**2-4320*z*t**2+13824*t**3+z**2-13824*z*t+55296*t**2
   -13824*z;
)";

TEST(BadlyScaledSolveTest, HeavyTotalDegreeCohn3KeepsRootsReachedLate) {
  const PolySystem system = ParsePolynomialText(kCohn3, "cohn3");
  const std::vector<std::vector<Complex>> late = {
      {-0.61254555107652, -165.966809249845, 12732.1718362375, 0.0905975195550916},
      {{44.8669943585601, -2.52670543451557},
       {531.415575883294, 207.857171593999},
       {-7415.20680923964, -9616.09229051596},
       {0.114867977230226, -0.247757014416862}}};
  for (std::uint64_t seed : {3, 4}) {
    const SolveResult result = SolveSystem(system, Options(seed, Route::kTotalDegree));
    for (const std::vector<Complex>& root : late) {
      bool found = false;
      for (std::int64_t r = 0; r < result.rootCount && !found; ++r) {
        double distance = 0.0;
        for (int k = 0; k < 4; ++k)
          distance = std::max(distance, std::abs(result.roots(k, r) - root[k]));
        found = distance < 1e-6 * 12732.0;
      }
      EXPECT_TRUE(found) << "seed " << seed << ", root with z = " << root[2];
    }
  }
}

// cohn3 by the polyhedral route: paths that approach its curve z = t = 0, y (x + 72) = -1728 and
// slide along it to x = infinity lose the double step near 1 - t = 2e-7, where their estimates of
// x still drift (-0.41 to -0.17 over three decades); continued in double-double they settle at
// -1/6 near 1e-9. No path is lost to step underflow any more, and every regular root stays,
// among them the real root with t = 1.9e-11 beside z = 13824 that only double-double Newton shows
// to be regular. Every path gets a verdict.
TEST(BadlyScaledSolveTest, HeavyPolyhedralCohn3PathsAlongItsCurveEndAtInfinity) {
  const PolySystem system = ParsePolynomialText(kCohn3, "cohn3");
  for (std::uint64_t seed : {1, 2, 3}) {
    const SolveResult result = SolveSystem(system, Options(seed));
    const Summary summary = Summarize(result);
    EXPECT_EQ(summary.regular, 131) << "seed " << seed;
    EXPECT_EQ(result.counts.of(PathStatus::kStepUnderflow), 0) << "seed " << seed;
    EXPECT_EQ(summary.atInfinity, 59) << "seed " << seed;
    EXPECT_EQ(summary.failed, 0) << "seed " << seed;
  }
}

}  // namespace
}  // namespace zormix
