#include "finish/singular_groups.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/parallel.h"
#include "finish/classify.h"
#include "finish/grouping.h"
#include "finish/verdict_warnings.h"

namespace zormix {
namespace {

bool Dropped(const Classification& c, std::int64_t k) {
  return std::binary_search(
      c.dropped.begin(), c.dropped.end(), DroppedEndPoint{k},
      [](const DroppedEndPoint& a, const DroppedEndPoint& b) { return a.column < b.column; });
}

std::vector<Complex> ValueOf(const SolveResult& r, std::int64_t k) {
  return {r.roots.col(k), r.roots.col(k) + r.n};
}

// The members ordered by their distance from the analysed point (ties: by column).
std::vector<std::int64_t> NearestFirst(const SolveResult& r, const SingularGroup& g) {
  std::vector<std::pair<double, std::int64_t>> order;
  for (const std::int64_t k : g.members) {
    double d = 0.0;
    for (int j = 0; j < r.n; ++j) d = std::max(d, std::abs(r.roots(j, k) - g.analysis.point[j]));
    order.emplace_back(d, k);
  }
  std::sort(order.begin(), order.end());
  std::vector<std::int64_t> out;
  for (const auto& [d, k] : order) out.push_back(k);
  return out;
}

void SetValue(Classification& c, std::int64_t k, const std::vector<Complex>& value) {
  auto& values = c.accurateValues;
  const auto at =
      std::lower_bound(values.begin(), values.end(), k,
                       [](const auto& e, std::int64_t column) { return e.first < column; });
  if (at != values.end() && at->first == k) {
    at->second = value;
  } else {
    values.insert(at, {k, value});
  }
}

void Drop(Classification& c, std::int64_t k, PathStatus status) {
  auto& dropped = c.dropped;
  const auto at = std::lower_bound(
      dropped.begin(), dropped.end(), k,
      [](const DroppedEndPoint& d, std::int64_t column) { return d.column < column; });
  dropped.insert(at, {k, status});
  c.groupLeader[k] = k;
  c.multiplicity[k] = 1;
  c.rootRule[k] = RootRule::kDualSpace;
}

// The isolated root of multiplicity mu: its nearest min(mu, m) members keep it, the others are
// dropped as paths that jumped onto it.
void ResolveIsolated(const SingularGroup& g, const SolveResult& r, Classification& c,
                     std::vector<SingularProof>& proofs, std::vector<std::uint8_t>& confirmed) {
  const PointAnalysis& a = g.analysis;
  const auto m = static_cast<std::int64_t>(g.members.size());
  const std::int64_t mu = std::max(1, a.multiplicity);
  // A dual space that deflation did not confirm may have missed functionals whose conditions the
  // point's error hides (x^20 seen from 1e-9: 14): it gives paths up on no evidence.
  if (!a.deflated) {
    if (mu != m) {
      c.warnings.push_back("a singular root reached by " + std::to_string(m) +
                           " paths has a dual space of dimension " + std::to_string(mu) +
                           " that deflation does not confirm: its multiplicity may be wrong");
    }
    return;
  }
  std::vector<std::int64_t> kept = NearestFirst(r, g);
  const std::vector<std::int64_t> surplus(kept.begin() + std::min(mu, m), kept.end());
  kept.resize(static_cast<std::size_t>(std::min(mu, m)));
  std::sort(kept.begin(), kept.end());
  const PathStatus jumped = mu == 1 ? PathStatus::kSharedSimpleRoot : PathStatus::kSurplusAtRoot;
  for (const std::int64_t k : surplus) Drop(c, k, jumped);
  for (const std::int64_t k : kept) {
    c.groupLeader[k] = kept.front();
    c.multiplicity[k] = static_cast<std::int32_t>(kept.size());
    c.status[k] = mu == 1 ? RootStatus::kRegular : RootStatus::kSingular;
    c.rootRule[k] = RootRule::kDualSpace;
    SetValue(c, k, a.point);
    confirmed[k] = mu <= m ? 1 : 0;
  }
  if (mu > m) {
    c.warnings.push_back("a singular root of multiplicity " + std::to_string(mu) +
                         " by its dual space was reached by " + std::to_string(m) + " paths: " +
                         std::to_string(mu - m) + " of its paths ended elsewhere or failed");
    c.shortOfPaths.push_back({g.members.front(), a.point, static_cast<std::int32_t>(mu - m)});
  }
  if (a.certificate.certified) {
    double radius = 0.0;
    for (const double v : a.certificate.radius) radius = std::max(radius, v);
    proofs.push_back({kept, a.point, radius});
  }
}

// Whether the end game's cycles leave the group's multiplicity in doubt: a member without a cycle
// of two or more loops, or windings that do not form whole cycles.
bool InDoubt(const SolveResult& r, const std::vector<std::int64_t>& members) {
  std::vector<std::int32_t> windings;
  for (const std::int64_t k : members) {
    windings.push_back(WindingNumber(r, k));
    if (windings.back() < 2) return true;
  }
  return !WindingNumbersFormCycles(windings);
}

}  // namespace

std::vector<SingularGroup> AnalyzeSingularGroups(const NormalForm& system, const SolveResult& r,
                                                 const Classification& c, bool everyGroup,
                                                 int threads, const FinishStop& stop) {
  const auto count = static_cast<std::int64_t>(c.status.size());
  std::vector<std::vector<std::int64_t>> members(static_cast<std::size_t>(count));
  for (std::int64_t k = 0; k < count; ++k)
    if (c.status[k] == RootStatus::kSingular && !Dropped(c, k))
      members[c.groupLeader[k]].push_back(k);
  std::vector<SingularGroup> groups;
  for (auto& m : members)
    if (!m.empty() && (everyGroup || InDoubt(r, m))) groups.push_back({std::move(m), {}});
  std::int64_t failed = 0;
  for (const PathRecord& lost : r.lostPaths) failed += IsAtInfinity(lost.status) ? 0 : 1;
  RunUnitsInParallel(
      static_cast<std::int64_t>(groups.size()), std::max(1, threads),
      [&]() -> UnitFunction {
        return [&](std::int64_t u) {
          SingularGroup& g = groups[u];
          std::vector<std::vector<Complex>> endPoints;
          for (const std::int64_t k : g.members) endPoints.push_back(ValueOf(r, k));
          const auto m = static_cast<std::int64_t>(g.members.size());
          const auto bound = static_cast<int>(m + std::min(failed, m));
          g.analysis = AnalyzeSingularPoint(system, endPoints, bound);
        };
      },
      stop.Poll());
  return groups;
}

void ResolveSingularGroups(const std::vector<SingularGroup>& groups, const SolveResult& r,
                           Classification& c, std::vector<SingularProof>& proofs,
                           std::vector<std::uint8_t>& confirmed) {
  confirmed.assign(c.status.size(), 0);
  for (const SingularGroup& g : groups) {
    switch (g.analysis.verdict) {
      case PointVerdict::kIsolatedRoot:
        ResolveIsolated(g, r, c, proofs, confirmed);
        break;
      case PointVerdict::kNotARoot:
        for (const std::int64_t k : g.members) Drop(c, k, PathStatus::kRefusedAtTarget);
        break;
      // A dual space that grows past the group's bound is a set or a root of higher
      // multiplicity than the bound: two double roots 1e-6 apart, seen from end points 1e-11
      // off, grow like a curve at bound 2. The rules' singular verdict stands.
      case PointVerdict::kPositiveDimensional:
      case PointVerdict::kUndecided:
        break;
    }
  }
}

void ApplySingularProofs(const std::vector<SingularProof>& proofs, SolveResult& result) {
  if (result.certified.empty()) return;
  for (const SingularProof& proof : proofs) {
    for (const std::int64_t k : proof.members) {
      result.certified[k] = 1;
      std::copy(proof.center.begin(), proof.center.end(), result.boxCenters.col(k));
      result.boxRadii[k] = proof.radius;
    }
  }
}

}  // namespace zormix
