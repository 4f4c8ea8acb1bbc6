// The pairs of points that grouping compares: every pair within reach, and few others, even where
// symmetry gives thousands of points one coordinate.
#include "finish/near_pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace zormix {
namespace {

struct Points {
  int n = 0;
  std::vector<std::vector<Complex>> at;
  std::vector<double> reach;
  std::vector<std::int64_t> all() const {
    std::vector<std::int64_t> members(at.size());
    for (std::size_t k = 0; k < at.size(); ++k) members[k] = static_cast<std::int64_t>(k);
    return members;
  }
};

double Distance(const std::vector<Complex>& a, const std::vector<Complex>& b) {
  double d = 0.0;
  for (std::size_t j = 0; j < a.size(); ++j) d = std::max(d, std::abs(a[j] - b[j]));
  return d;
}

std::vector<NearPair> Within(const Points& p, int threads, std::atomic<std::int64_t>* asked) {
  return NearPairs(
      p.n, [&](std::int64_t k) { return p.at[k].data(); }, p.all(), p.reach,
      [&](std::int64_t a, std::int64_t b) {
        if (asked) ++*asked;
        return Distance(p.at[a], p.at[b]) <= p.reach[a] + p.reach[b];
      },
      threads);
}

// 2000 points whose first coordinate takes one of three values with a common real part (as the
// roots of cyclic-n share it along their orbits), the others random; every tenth point doubled
// 1e-9 away, every point with reach 1e-7. The pairs found are exactly the brute-force pairs,
// whatever the thread count, and the comparisons asked for stay a small multiple of them (a window
// on Re x_0 would ask for all two million).
TEST(NearPairsTest, FindsExactlyThePairsWithinReachWithFewComparisons) {
  std::mt19937_64 generator(5);
  std::uniform_real_distribution<double> angle(0.0, 2.0 * std::numbers::pi);
  const std::vector<Complex> first{{0.5, 0.3}, {0.5, -0.3}, {0.5, 0.0}};
  Points p;
  p.n = 4;
  for (int k = 0; k < 1818; ++k) {
    std::vector<Complex> x{first[k % 3]};
    for (int j = 1; j < p.n; ++j) x.push_back(std::polar(1.0, angle(generator)));
    p.at.push_back(x);
    if (k % 10 == 0) {
      x[2] += 1e-9;
      p.at.push_back(x);
    }
  }
  p.reach.assign(p.at.size(), 1e-7);
  std::vector<NearPair> brute;
  for (std::size_t a = 0; a < p.at.size(); ++a)
    for (std::size_t b = a + 1; b < p.at.size(); ++b)
      if (Distance(p.at[a], p.at[b]) <= 2e-7) brute.emplace_back(a, b);
  ASSERT_GT(brute.size(), 150u);
  std::atomic<std::int64_t> asked{0};
  EXPECT_EQ(Within(p, 1, &asked), brute);
  EXPECT_LT(asked.load(), 2 * static_cast<std::int64_t>(brute.size()));
  EXPECT_EQ(Within(p, 3, nullptr), brute);
}

// Reach is per point: a wide point meets a narrow one at the sum of their reaches, not beyond;
// exact coincidences are found, and a point with a non-finite coordinate or reach is in no pair.
TEST(NearPairsTest, ReachIsPerPointAndNonFinitePointsAreLeftOut) {
  Points p;
  p.n = 2;
  p.at = {{1.0, 2.0},
          {1.0 + 0.5, 2.0},
          {1.0 + 0.51, 2.0},
          {1.0, 2.0},
          {std::numeric_limits<double>::quiet_NaN(), 2.0},
          {1.0, 2.0}};
  p.reach = {0.45, 0.05, 0.0, 0.0, 1.0, std::numeric_limits<double>::infinity()};
  const std::vector<NearPair> pairs = Within(p, 1, nullptr);
  EXPECT_EQ(pairs, (std::vector<NearPair>{{0, 1}, {0, 3}, {1, 2}}));
}

}  // namespace
}  // namespace zormix
