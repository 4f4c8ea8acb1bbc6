#include "finish/root_rules.h"

namespace zormix {
namespace {

// A point on a set is counted on its own, with the set's dimension: a set has no multiplicity.
std::optional<RootVerdict> OnASet(const RootEvidence& e) {
  if (e.point.kind != PointClass::kOnSet) return std::nullopt;
  return RootVerdict{RootClass::kPositiveDimensional, RootRule::kOnASet};
}

// A regular candidate that no other end point joins is a regular root: each simple root draws one
// path.
std::optional<RootVerdict> AloneAtItsRoot(const RootEvidence& e) {
  if (e.point.kind != PointClass::kRegularCandidate || e.groupSize != 1) return std::nullopt;
  return RootVerdict{RootClass::kRegular, RootRule::kAloneAtItsRoot};
}

// A simple root draws one path: where a box proves the group's root simple (every member in the
// box, which holds one root and only invertible Jacobians), the group is not a root of
// multiplicity m but one regular root that m - 1 other paths jumped onto. Its first proven
// candidate keeps it; the others' own roots are unknown.
std::optional<RootVerdict> SimpleRootReachedTwice(const RootEvidence& e) {
  if (!e.provenSimple) return std::nullopt;
  return RootVerdict{e.keeper ? RootClass::kRegular : RootClass::kSharedSimpleRoot,
                     RootRule::kSimpleRootReachedTwice};
}

// A singular root of one path is a contradiction: a root of multiplicity m >= 2 draws m paths,
// and the end game gives a path that ends at one a winding number of 2 or more. A point alone in
// its group that no test shows to be a regular root, and that tracking ended as an ordinary end
// point (winding number 1) or as the last point of an approach (0), is where its path was given
// up, not where it goes: its verdict is unknown.
std::optional<RootVerdict> LoneWithoutCycle(const RootEvidence& e) {
  if (e.groupSize != 1 || e.windingNumber > 1) return std::nullopt;
  return RootVerdict{RootClass::kUnresolved, RootRule::kLoneWithoutCycle};
}

// Every other point is at a singular root: a group of several end points, or a singular point
// that the end game reached on a cycle.
std::optional<RootVerdict> SharedOrSingular(const RootEvidence&) {
  return RootVerdict{RootClass::kSingular, RootRule::kSharedOrSingular};
}

}  // namespace

const std::vector<std::pair<RootRule, RootRuleFunction>>& RootRules() {
  static const std::vector<std::pair<RootRule, RootRuleFunction>> rules{
      {RootRule::kOnASet, OnASet},
      {RootRule::kAloneAtItsRoot, AloneAtItsRoot},
      {RootRule::kSimpleRootReachedTwice, SimpleRootReachedTwice},
      {RootRule::kLoneWithoutCycle, LoneWithoutCycle},
      {RootRule::kSharedOrSingular, SharedOrSingular},
  };
  return rules;
}

RootVerdict DecideRoot(const RootEvidence& evidence) {
  for (const auto& [rule, decide] : RootRules())
    if (std::optional<RootVerdict> verdict = decide(evidence)) return *verdict;
  return {};  // unreachable: the last rule always decides
}

RootStatus StatusOf(RootClass kind) {
  switch (kind) {
    case RootClass::kRegular:
      return RootStatus::kRegular;
    case RootClass::kPositiveDimensional:
      return RootStatus::kPositiveDimensional;
    case RootClass::kSingular:
    case RootClass::kUnresolved:
    case RootClass::kSharedSimpleRoot:
      break;
  }
  return RootStatus::kSingular;
}

}  // namespace zormix
