#include "decompose/decompose_grouping.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

#include "base/random.h"
#include "decompose/witness_family.h"
#include "decompose/witness_parameters.h"
#include "base/disjoint_sets.h"

namespace zormix {
namespace {

// Open groups beyond which the search of unions that close (up to triples) is not tried.
constexpr std::size_t kMostOpenGroups = 64;

// What the trace test needs of every witness point: its share of the second difference, and the
// size against which a sum of shares is rounding.
struct TraceShares {
  std::vector<Complex> share;
  std::vector<std::uint8_t> known;  // 0: a path of the pencil was lost
  double size = 0.0;
};

Complex Project(std::span<const Complex> lambda, std::span<const Complex> x) {
  Complex value(0.0, 0.0);
  for (std::size_t l = 0; l < x.size(); ++l) value += lambda[l] * x[l];
  return value;
}

TraceShares ComputeShares(const WitnessSet& set, PointTracker& tracker, RuntimeUniform& draws) {
  const std::int64_t count = set.points.cols();
  const int n = static_cast<int>(set.points.rows());
  std::vector<Complex> lambda, delta;
  for (int l = 0; l < n; ++l) lambda.push_back(RandomComplex(draws));
  for (std::size_t j = 0; j < set.constants.size(); ++j) delta.push_back(RandomComplex(draws));
  TraceShares shares;
  shares.share.assign(count, Complex(0.0, 0.0));
  shares.known.assign(count, 1);
  for (std::int64_t p = 0; p < count; ++p) {
    const Complex at0 = Project(lambda, std::span(set.points.col(p), n));
    shares.share[p] = -2.0 * at0;
    shares.size += std::abs(at0);
  }
  for (const double t : {1.0, -1.0}) {
    std::vector<Complex> moved = set.constants;
    for (std::size_t j = 0; j < moved.size(); ++j) moved[j] += t * delta[j];
    const MemberResult ends =
        tracker.Track(set.system, set.constants, moved, set.points, set.multiplicity);
    const auto end = EndOfEachStart(ends, set.multiplicity, count);
    for (std::int64_t p = 0; p < count; ++p) {
      if (!end[p]) {
        shares.known[p] = 0;
        continue;
      }
      const Complex value = Project(lambda, *end[p]);
      shares.share[p] += value;
      shares.size += std::abs(value);
    }
  }
  return shares;
}

double Residual(const TraceShares& shares, const std::vector<std::int64_t>& group) {
  Complex sum(0.0, 0.0);
  for (const std::int64_t p : group) {
    if (!shares.known[p]) return 1.0;
    sum += shares.share[p];
  }
  return std::abs(sum) / std::max(shares.size, 1e-300);
}

std::vector<std::vector<std::int64_t>> GroupsOf(DisjointSets& sets, std::int64_t count) {
  std::vector<std::vector<std::int64_t>> groups;
  std::vector<std::int64_t> groupOfRoot(static_cast<std::size_t>(count), -1);
  for (std::int64_t p = 0; p < count; ++p) {
    const std::int64_t root = sets.Find(p);
    if (groupOfRoot[root] < 0) {
      groupOfRoot[root] = static_cast<std::int64_t>(groups.size());
      groups.emplace_back();
    }
    groups[groupOfRoot[root]].push_back(p);
  }
  return groups;
}

// One loop c0 -> c1 -> c0 through a random c1 for the points of the open groups; joins each start
// with the witness point its path returns to. True when it joined two groups.
bool MonodromyLoop(const WitnessSet& set, const std::vector<std::int64_t>& open, DisjointSets& sets,
                   PointTracker& tracker, RuntimeUniform& draws) {
  const int n = static_cast<int>(set.points.rows());
  ColMajorMatrix<Complex> starts;
  starts.Assign(n, static_cast<std::int64_t>(open.size()));
  std::vector<std::int32_t> multiplicity;
  for (std::size_t k = 0; k < open.size(); ++k) {
    std::copy_n(set.points.col(open[k]), n, starts.col(static_cast<std::int64_t>(k)));
    multiplicity.push_back(set.multiplicity.empty() ? 1 : set.multiplicity[open[k]]);
  }
  std::vector<Complex> away;
  for (std::size_t j = 0; j < set.constants.size(); ++j) away.push_back(RandomComplex(draws));
  const MemberResult out = tracker.Track(set.system, set.constants, away, starts, multiplicity);
  const auto outEnds = EndOfEachStart(out, multiplicity, starts.cols());
  // Only the points whose way out arrived go back.
  std::vector<std::int64_t> back;
  ColMajorMatrix<Complex> middle;
  middle.Assign(n, 0);
  std::vector<std::int32_t> backMultiplicity;
  for (std::size_t k = 0; k < open.size(); ++k) {
    if (!outEnds[k]) continue;
    back.push_back(static_cast<std::int64_t>(k));
    backMultiplicity.push_back(multiplicity[k]);
  }
  middle.Assign(n, static_cast<std::int64_t>(back.size()));
  for (std::size_t b = 0; b < back.size(); ++b)
    std::copy(outEnds[back[b]]->begin(), outEnds[back[b]]->end(),
              middle.col(static_cast<std::int64_t>(b)));
  const MemberResult home =
      tracker.Track(set.system, away, set.constants, middle, backMultiplicity);
  const auto homeEnds = EndOfEachStart(home, backMultiplicity, middle.cols());
  bool joined = false;
  for (std::size_t b = 0; b < back.size(); ++b) {
    if (!homeEnds[b]) continue;
    const std::int64_t from = open[back[b]];
    for (const std::int64_t to : open) {
      if (RelativeDistance(*homeEnds[b], std::span(set.points.col(to), n)) > kSamePoint.value())
        continue;
      if (sets.Find(from) != sets.Find(to)) {
        sets.Join(from, to);
        joined = true;
      }
      break;
    }
  }
  return joined;
}

// Groups whose traces do not close alone but do together are one component whose points the
// loops did not join (a point whose loops all failed, or a rare monodromy): pairs, then triples,
// of the open groups are joined when the trace of their union closes.
void JoinByTraces(const TraceShares& shares, DisjointSets& sets, std::int64_t count) {
  const double closed = kTraceClosed.value();
  for (int size = 2; size <= 3; ++size) {
    std::vector<std::vector<std::int64_t>> open;
    for (auto& group : GroupsOf(sets, count))
      if (Residual(shares, group) > closed) open.push_back(std::move(group));
    if (open.size() < 2 || open.size() > kMostOpenGroups) return;
    std::vector<std::uint8_t> used(open.size(), 0);
    const auto tryJoin = [&](const std::vector<std::size_t>& pick) {
      std::vector<std::int64_t> united;
      for (const std::size_t g : pick) {
        if (used[g]) return;
        united.insert(united.end(), open[g].begin(), open[g].end());
      }
      if (Residual(shares, united) > closed) return;
      for (const std::size_t g : pick) {
        used[g] = 1;
        sets.Join(open[pick[0]][0], open[g][0]);
      }
    };
    for (std::size_t a = 0; a < open.size(); ++a)
      for (std::size_t b = a + 1; b < open.size(); ++b) {
        if (size == 2) {
          tryJoin({a, b});
          continue;
        }
        for (std::size_t c = b + 1; c < open.size(); ++c) tryJoin({a, b, c});
      }
  }
}

}  // namespace

ComponentGroups GroupWitnessPoints(const WitnessSet& set, PointTracker& tracker) {
  const std::int64_t count = set.points.cols();
  ComponentGroups result;
  if (count == 0) return result;
  RuntimeUniform draws(tracker.seed() ^ 0x5ca1ab1e00000000ull ^
                       static_cast<std::uint64_t>(set.dimension));
  draws.Reseed();
  const TraceShares shares = ComputeShares(set, tracker, draws);
  DisjointSets sets(count);
  const double closed = kTraceClosed.value();
  int quiet = 0;
  for (;;) {
    std::vector<std::int64_t> open;
    for (const auto& group : GroupsOf(sets, count))
      if (Residual(shares, group) > closed) open.insert(open.end(), group.begin(), group.end());
    if (open.size() < 2 || quiet >= static_cast<int>(kStableLoops.value())) break;
    std::sort(open.begin(), open.end());
    quiet = MonodromyLoop(set, open, sets, tracker, draws) ? 0 : quiet + 1;
  }
  JoinByTraces(shares, sets, count);
  result.groups = GroupsOf(sets, count);
  for (const auto& group : result.groups) {
    const double residual = Residual(shares, group);
    result.traceResidual.push_back(residual);
    result.tracePassed.push_back(residual <= closed ? 1 : 0);
  }
  return result;
}

}  // namespace zormix
