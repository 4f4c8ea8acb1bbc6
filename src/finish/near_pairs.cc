#include "finish/near_pairs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "base/numeric.h"
#include "base/parallel.h"
#include "base/random.h"

namespace zormix {
namespace {

constexpr int kDirections = 3;
// The directions come from a generator of their own, seeded once for all: the same pairs on
// every run, whatever the solve's seed.
constexpr std::uint64_t kDirectionSeed = 0x6a09e667f3bcc909ULL;
// Points of one unit of the sweep: enough to outweigh the handing out of units.
constexpr std::int64_t kSweepUnit = 512;

using Directions = std::array<std::vector<Complex>, kDirections>;

// kDirections complex directions with sum_j |v_j| = 1.
Directions DrawDirections(int n) {
  RuntimeUniform draws(kDirectionSeed);
  draws.Reseed();
  Directions v;
  for (std::vector<Complex>& direction : v) {
    double size = 0.0;
    for (int j = 0; j < n; ++j) {
      const double re = draws.Next() - 0.5, im = draws.Next() - 0.5;
      size += std::abs(direction.emplace_back(re, im));
    }
    for (Complex& z : direction) z /= size > 0.0 ? size : 1.0;
  }
  return v;
}

// One point's place on the directions: its projections and the half-width of its intervals, its
// reach widened by the rounding of the projections (n terms of at most |v_j| |x_j| each).
struct Projected {
  std::int64_t k = 0;
  std::array<double, kDirections> p{};
  double halfWidth = 0.0;
  double left() const { return p[0] - halfWidth; }
};

bool Project(const Directions& v, const Complex* x, int n, double reach, Projected& out) {
  double largest = 0.0;
  for (int j = 0; j < n; ++j) largest = std::max(largest, std::abs(x[j]));
  for (int d = 0; d < kDirections; ++d) {
    double sum = 0.0;
    for (int j = 0; j < n; ++j) sum += (v[d][j] * x[j]).real();
    out.p[d] = sum;
  }
  out.halfWidth = reach * (1.0 + 1e-12) + 4.0 * (n + 1) * kMachineEpsilon * largest;
  return std::isfinite(out.halfWidth) && std::isfinite(out.p[0]) && std::isfinite(out.p[1]) &&
         std::isfinite(out.p[2]);
}

bool Overlap(const Projected& a, const Projected& b) {
  for (int d = 0; d < kDirections; ++d)
    if (std::fabs(a.p[d] - b.p[d]) > a.halfWidth + b.halfWidth) return false;
  return true;
}

}  // namespace

std::vector<NearPair> NearPairs(int n, const std::function<const Complex*(std::int64_t)>& point,
                                const std::vector<std::int64_t>& members,
                                const std::vector<double>& reach,
                                const std::function<bool(std::int64_t, std::int64_t)>& accept,
                                int threads, const std::function<void()>& poll) {
  const Directions v = DrawDirections(n);
  std::vector<Projected> sorted;
  sorted.reserve(members.size());
  for (const std::int64_t k : members) {
    Projected projected;
    projected.k = k;
    if (Project(v, point(k), n, reach[k], projected)) sorted.push_back(projected);
  }
  std::sort(sorted.begin(), sorted.end(), [](const Projected& a, const Projected& b) {
    return a.left() != b.left() ? a.left() < b.left() : a.k < b.k;
  });
  const auto count = static_cast<std::int64_t>(sorted.size());
  const std::int64_t units = (count + kSweepUnit - 1) / kSweepUnit;
  std::vector<std::vector<NearPair>> found(static_cast<std::size_t>(units));
  // Each interval meets those whose left end lies within it: every overlapping pair once, from
  // the one of the two that starts first.
  auto makeWorker = [&]() -> UnitFunction {
    return [&](std::int64_t unit) {
      const std::int64_t end = std::min(count, (unit + 1) * kSweepUnit);
      for (std::int64_t s = unit * kSweepUnit; s < end; ++s) {
        const Projected& a = sorted[s];
        const double right = a.p[0] + a.halfWidth;
        for (std::int64_t t = s + 1; t < count && sorted[t].left() <= right; ++t) {
          if (!Overlap(a, sorted[t])) continue;
          const std::int64_t first = std::min(a.k, sorted[t].k);
          const std::int64_t second = std::max(a.k, sorted[t].k);
          if (accept(first, second)) found[unit].emplace_back(first, second);
        }
      }
    };
  };
  RunUnitsInParallel(
      units, std::max(1, threads), makeWorker, poll ? poll : [] {});
  std::vector<NearPair> pairs;
  for (std::vector<NearPair>& part : found) pairs.insert(pairs.end(), part.begin(), part.end());
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

}  // namespace zormix
