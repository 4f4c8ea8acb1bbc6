// The two homotopies, different seeds and different thread counts must all find the same roots;
// the mixed volume must match the published values.
#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/systems.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

using testing::BuildSystem;
using testing::Equation;

SolveOptions Options(Route route, std::uint64_t seed = 424242) {
  SolveOptions options;
  options.route = route;
  options.seed = seed;
  options.reportPath = "";
  return options;
}

// Largest coordinate distance between root r of a and root s of b, relative to the coordinate
// size once that exceeds 1.
double Distance(const SolveResult& a, std::int64_t r, const SolveResult& b, std::int64_t s) {
  double d = 0.0;
  for (int k = 0; k < a.n; ++k) {
    const double size = std::max({1.0, std::abs(a.roots(k, r)), std::abs(b.roots(k, s))});
    d = std::max(d, std::abs(a.roots(k, r) - b.roots(k, s)) / size);
  }
  return d;
}

// One-to-one: every root of a has its own partner in b within the tolerance, and the counts agree.
void ExpectSameRootSet(const SolveResult& a, const SolveResult& b, double tolerance = 1e-8) {
  ASSERT_EQ(a.rootCount, b.rootCount);
  std::vector<bool> used(static_cast<std::size_t>(b.rootCount), false);
  for (std::int64_t r = 0; r < a.rootCount; ++r) {
    std::int64_t best = -1;
    for (std::int64_t s = 0; s < b.rootCount; ++s) {
      if (!used[s] && Distance(a, r, b, s) < tolerance && best < 0) best = s;
    }
    EXPECT_GE(best, 0) << "root " << r << " (" << a.roots(0, r) << ", ...) has no partner";
    if (best >= 0) used[best] = true;
  }
}

// Every monomial of degree <= 2 in three variables, real and imaginary parts of the coefficients
// uniform on [-1, 1]: a generic system with 2^3 = 8 isolated roots.
PolySystem RandomDenseQuadrics(std::uint64_t seed) {
  std::mt19937_64 generator(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<Equation> equations(3);
  for (Equation& eq : equations) {
    for (int a = 0; a <= 2; ++a) {
      for (int b = 0; a + b <= 2; ++b) {
        for (int c = 0; a + b + c <= 2; ++c) {
          eq.push_back({{a, b, c}, Complex(uniform(generator), uniform(generator))});
        }
      }
    }
  }
  return BuildSystem(equations);
}

struct AgreeCase {
  std::string name;
  PolySystem system;
  std::int64_t roots;
};

TEST(RoutesAgreeTest, BothRoutesFindTheSameRoots) {
  const std::vector<AgreeCase> cases = {{"CircleAndLine", testing::CircleAndLine(), 2},
                                        {"Cyclic5", testing::Cyclic(5), 70},
                                        {"Katsura5", testing::Katsura(5), 32},
                                        {"Noon3", testing::Noon(3), 21},
                                        {"Eco5", testing::Eco(5), 8},
                                        {"Dense1", RandomDenseQuadrics(1), 8},
                                        {"Dense2", RandomDenseQuadrics(2), 8},
                                        {"Katsura7", testing::Katsura(7), 128},
                                        {"Noon5", testing::Noon(5), 233},
                                        {"Cyclic6", testing::Cyclic(6), 156}};
  for (const AgreeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const SolveResult polyhedral = SolveSystem(c.system, Options(Route::kPolyhedral));
    const SolveResult totalDegree = SolveSystem(c.system, Options(Route::kTotalDegree));
    EXPECT_EQ(polyhedral.rootCount, c.roots);
    ExpectSameRootSet(polyhedral, totalDegree);
  }
}

TEST(RoutesAgreeTest, MixedVolumesMatchThePublishedValues) {
  struct Case {
    std::string name;
    PolySystem system;
    std::int64_t mixedVolume;
  };
  // Cyclic-6 and noon-4 are covered with the solve tests.
  const std::vector<Case> cases = {
      {"Cyclic5", testing::Cyclic(5), 70},    {"Cyclic7", testing::Cyclic(7), 924},
      {"Cyclic8", testing::Cyclic(8), 2560},  {"Katsura4", testing::Katsura(4), 16},
      {"Katsura5", testing::Katsura(5), 32},  {"Katsura6", testing::Katsura(6), 64},
      {"Katsura7", testing::Katsura(7), 128}, {"Noon5", testing::Noon(5), 233},
      {"Eco5", testing::Eco(5), 8},           {"Eco6", testing::Eco(6), 16}};
  SolveOptions options = Options(Route::kPolyhedral);
  options.mixedVolumeOnly = true;
  for (const Case& c : cases) {
    const SolveResult result = SolveSystem(c.system, options);
    EXPECT_EQ(result.pathCount, c.mixedVolume) << c.name;
    EXPECT_EQ(result.rootCount, 0) << c.name;
  }
}

// Bit for bit: the roots, their order, their statistics and the path records.
void ExpectIdentical(const SolveResult& a, const SolveResult& b) {
  EXPECT_EQ(a.pathCount, b.pathCount);
  EXPECT_EQ(a.counts.blowUps, b.counts.blowUps);
  EXPECT_EQ(a.counts.endPoints, b.counts.endPoints);
  EXPECT_EQ(a.counts.retracked, b.counts.retracked);
  EXPECT_EQ(a.roots, b.roots);
  EXPECT_EQ(a.residuals, b.residuals);
  EXPECT_EQ(a.conditionNumbers, b.conditionNumbers);
  EXPECT_EQ(a.isReal, b.isReal);
  ASSERT_EQ(a.records.size(), b.records.size());
  for (std::size_t r = 0; r < a.records.size(); ++r) {
    EXPECT_EQ(a.records[r].cell, b.records[r].cell) << r;
    EXPECT_EQ(a.records[r].startIndex, b.records[r].startIndex) << r;
    EXPECT_EQ(a.records[r].steps, b.records[r].steps) << r;
  }
}

// The polyhedral route with one thread is covered with the solve tests; here the total-degree
// route (whose paths include diverging ones) and a thread count of 2 against 1 on both routes.
TEST(RoutesAgreeTest, SameSeedIsReproducibleOnBothRoutesWhateverTheThreads) {
  const PolySystem system = testing::Katsura(5);
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    SolveOptions options = Options(route, 99);
    const SolveResult first = SolveSystem(system, options);
    const SolveResult again = SolveSystem(system, options);
    options.threads = 2;
    const SolveResult threaded = SolveSystem(system, options);
    EXPECT_EQ(first.rootCount, 32);
    ExpectIdentical(first, again);
    ExpectIdentical(first, threaded);
  }
  SolveOptions options = Options(Route::kTotalDegree, 5);
  const SolveResult cyclic = SolveSystem(testing::Cyclic(5), options);
  options.threads = 2;
  ExpectIdentical(cyclic, SolveSystem(testing::Cyclic(5), options));
}

TEST(RoutesAgreeTest, DifferentSeedsFindTheSameRoots) {
  const PolySystem system = testing::Cyclic(5);
  for (Route route : {Route::kPolyhedral, Route::kTotalDegree}) {
    const SolveResult a = SolveSystem(system, Options(route, 1));
    const SolveResult b = SolveSystem(system, Options(route, 2));
    EXPECT_NE(a.roots, b.roots);  // the seed really changes the paths
    EXPECT_EQ(a.rootCount, 70);
    ExpectSameRootSet(a, b);
  }
}

}  // namespace
}  // namespace zormix
