// A witness set broken into components by monodromy loops and the trace test.
#include "decompose/monodromy_breakup.h"

#include <algorithm>
#include <numeric>

#include "base/disjoint_sets.h"

namespace zormix {
namespace {

// Failing groups are tried in pairs always and in threes up to this many failing groups.
constexpr std::size_t kTripleSearchLimit = 40;

std::vector<std::int64_t> Union(const std::vector<std::vector<std::int64_t>>& groups,
                                std::initializer_list<std::size_t> which) {
  std::vector<std::int64_t> all;
  for (const std::size_t g : which) all.insert(all.end(), groups[g].begin(), groups[g].end());
  std::sort(all.begin(), all.end());
  return all;
}

// The monodromy groups, with failing groups joined where their union passes the trace test (the
// points of a group lie on one component, so a passing union of failing groups is one complete
// component).
struct Grouping {
  std::vector<std::vector<std::int64_t>> components;
  std::vector<TraceTestResult> trace;
  bool allPassed = true;
};

Grouping GroupAndTest(const TracePencil& pencil, const std::vector<std::int32_t>& group,
                      int groupCount) {
  std::vector<std::vector<std::int64_t>> groups(static_cast<std::size_t>(groupCount));
  for (std::size_t i = 0; i < group.size(); ++i)
    groups[static_cast<std::size_t>(group[i])].push_back(static_cast<std::int64_t>(i));
  Grouping out;
  std::vector<std::size_t> failing;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const TraceTestResult test = TraceTest(pencil, groups[g]);
    if (test.passed) {
      out.components.push_back(groups[g]);
      out.trace.push_back(test);
    } else {
      failing.push_back(g);
    }
  }
  std::vector<std::uint8_t> used(groups.size(), 0);
  const auto tryUnion = [&](std::initializer_list<std::size_t> which) {
    for (const std::size_t g : which)
      if (used[g]) return;
    const std::vector<std::int64_t> all = Union(groups, which);
    const TraceTestResult test = TraceTest(pencil, all);
    if (!test.passed) return;
    for (const std::size_t g : which) used[g] = 1;
    out.components.push_back(all);
    out.trace.push_back(test);
  };
  for (std::size_t a = 0; a < failing.size(); ++a)
    for (std::size_t b = a + 1; b < failing.size(); ++b) tryUnion({failing[a], failing[b]});
  if (failing.size() <= kTripleSearchLimit) {
    for (std::size_t a = 0; a < failing.size(); ++a)
      for (std::size_t b = a + 1; b < failing.size(); ++b)
        for (std::size_t c = b + 1; c < failing.size(); ++c)
          tryUnion({failing[a], failing[b], failing[c]});
  }
  for (const std::size_t g : failing) {
    if (used[g]) continue;
    out.allPassed = false;
    out.components.push_back(groups[g]);
    out.trace.push_back(TraceTest(pencil, groups[g]));
  }
  return out;
}

}  // namespace

WitnessBreakup BreakWitnessSet(const ParametricSystem& witnessFamily, std::span<const Complex> base,
                               const ColMajorMatrix<Complex>& points,
                               std::span<const Complex> direction,
                               const MonodromyOptions& options) {
  const TraceOptions traceOptions{options.seed, options.threads, options.interrupted};
  WitnessBreakup out;
  TracePencilTracker pencilTracker(witnessFamily, base, direction, traceOptions);
  Grouping grouping;
  MonodromyOptions run = options;
  run.targetCount.reset();
  // The pencil's rows follow the monodromy's points (the given ones it kept, then the new ones):
  // each point is followed along the pencil once, when the loops first ask.
  run.complete = [&](const MonodromyResult& sofar) {
    const std::int64_t known = out.pencil.values.rows();
    if (sofar.points.cols() > known) {
      ColMajorMatrix<Complex> extra(sofar.points.rows(), sofar.points.cols() - known);
      for (std::int64_t c = known; c < sofar.points.cols(); ++c)
        std::copy_n(sofar.points.col(c), sofar.points.rows(), extra.col(c - known));
      AppendPencil(out.pencil, pencilTracker.Track(extra));
    }
    grouping = GroupAndTest(out.pencil, sofar.group, sofar.groupCount);
    return grouping.allPassed;
  };
  // The loops ask `complete` every time they have carried every point around every loop, and stop
  // only right after such a call: its grouping is the final one.
  out.monodromy = RunMonodromy(witnessFamily, base, points, run);
  out.components = std::move(grouping.components);
  out.trace = std::move(grouping.trace);
  out.allPassed = grouping.allPassed;
  return out;
}

}  // namespace zormix
