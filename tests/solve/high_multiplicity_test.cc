// Roots of high multiplicity, reached on cycles of as many loops around the target: one root of
// multiplicity m takes all m paths, its value within 1e-12 of the exact point, and up to the size
// the deflation builds, a certificate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "zormix/io.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

struct MultipleRoots {
  std::string text;
  std::vector<std::vector<Complex>> roots;  // exact
  std::vector<int> multiplicities;          // of each root
  bool certified;                           // whether every root is certified
};

// Each exact root is the value of one singular group of its multiplicity, within 1e-12 relative
// to max(1, |root|), and every path ends at one of them.
void ExpectRoots(const MultipleRoots& c, Route route, std::uint64_t seed) {
  SCOPED_TRACE(::testing::Message()
               << c.text << " seed " << seed << " route " << static_cast<int>(route));
  SolveOptions options;
  options.route = route;
  options.seed = seed;
  options.reportPath = "";
  options.certify = true;
  const SolveResult r = SolveSystem(ParsePolynomialText(c.text, "test"), options);
  EXPECT_EQ(r.classes.failed, 0);
  EXPECT_EQ(r.classes.singular, static_cast<std::int64_t>(c.roots.size()));
  EXPECT_TRUE(r.warnings.empty()) << (r.warnings.empty() ? "" : r.warnings.front());
  std::vector<int> found(c.roots.size(), 0);
  for (std::int64_t k = 0; k < r.rootCount; ++k) {
    ASSERT_EQ(r.rootStatus[k], RootStatus::kSingular);
    bool matched = false;
    for (std::size_t i = 0; i < c.roots.size() && !matched; ++i) {
      double error = 0.0, size = 1.0;
      for (int j = 0; j < r.n; ++j) {
        error = std::max(error, std::abs(r.roots(j, k) - c.roots[i][j]));
        size = std::max(size, std::abs(c.roots[i][j]));
      }
      if (error > 1e-12 * size) continue;
      matched = true;
      ++found[i];
      EXPECT_EQ(r.multiplicity[k], c.multiplicities[i]);
      if (c.certified) {
        EXPECT_TRUE(r.certified[k]);
      }
    }
    EXPECT_TRUE(matched) << "end point " << k << " at no root within 1e-12";
  }
  for (std::size_t i = 0; i < c.roots.size(); ++i) EXPECT_EQ(found[i], c.multiplicities[i]);
}

const MultipleRoots kTwenty{"x^20; y - 1 + x;", {{0.0, 1.0}}, {20}, true};
// Roots of multiplicity 3, 3 and 6, one with a zero coordinate.
const MultipleRoots kSeveral{"(x^2 - 1)^3; y^2 - x - 1;",
                             {{1.0, std::sqrt(2.0)}, {1.0, -std::sqrt(2.0)}, {-1.0, 0.0}},
                             {3, 3, 6},
                             true};

TEST(HighMultiplicity, TwentyFoldRootAndSeveralMultipleRootsOnBothRoutes) {
  for (const Route route : {Route::kPolyhedral, Route::kTotalDegree})
    for (const MultipleRoots& c : {kTwenty, kSeveral}) ExpectRoots(c, route, 1);
}

// Multiplicities 20 to 131 in one and two unknowns on both routes: the same verdicts on every
// seed, 1-20 up to multiplicity 50, 1-5 for the 131-fold roots (seconds a solve). Two unknowns
// beyond depth 25 make a deflated system larger than the deflation builds: no certificate is
// asked of them.
TEST(HighMultiplicity, HeavyMultiplicitiesUpTo131OnEverySeed) {
  const std::vector<std::pair<MultipleRoots, std::uint64_t>> cases = {
      {kTwenty, 20},
      {kSeveral, 20},
      {{"x^50; y - 1 + x;", {{0.0, 1.0}}, {50}, false}, 20},
      {{"x^131; y - 1 + x;", {{0.0, 1.0}}, {131}, false}, 5},
      {{"x^131;", {{0.0}}, {131}, true}, 5},
  };
  for (const Route route : {Route::kPolyhedral, Route::kTotalDegree})
    for (const auto& [c, seeds] : cases)
      for (std::uint64_t seed = 1; seed <= seeds; ++seed) ExpectRoots(c, route, seed);
}

}  // namespace
}  // namespace zormix
