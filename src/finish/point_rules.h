// What one end point is, before it is compared with the others: a regular candidate (a regular
// root when no other end point lies at its root), a point on a positive-dimensional set, or a
// singular point (of a multiple root, or undecided). Decided by an ordered list of rules, each a
// function of the point's evidence (point_evidence.h) that returns a verdict or none; the first
// verdict holds. docs/verdicts.md states the rules and the parameters they read.
#ifndef ZORMIX_FINISH_POINT_RULES_H_
#define ZORMIX_FINISH_POINT_RULES_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "finish/point_evidence.h"

namespace zormix {

enum class PointClass : std::uint8_t {
  kRegularCandidate,  // a regular root if alone at its point
  kOnSet,             // on a positive-dimensional set of the verdict's dimension
  kSingular,          // no regular candidate and on no set
};

// The rules, in their order; the last always decides.
enum class PointRule : std::uint8_t {
  kProvenInOriginUnits,       // kappa_s beyond finish.resolvable, proven with zeros at the origin
  kMultipleRootInOneUnknown,  // one unknown: the Taylor coefficients show a cluster of roots
  kProvenByBox,               // Krawczyk's test proves a unique, simple root
  kOnSetBySlices,             // the local dimension test finds a set
  kOnSetInSubspace,           // a set in a coordinate subspace through the point
  kOnSetAhead,                // an unconverged point on its way to a set in a subspace
  kEndGameCycle,              // the end game reached the point on a cycle: a multiple root
  kConverged,                 // Newton's method converges quadratically to a regular root
  kNoRegularEvidence,         // none of the above: singular
  // Given after the rules above, by the points around (grouping.h):
  kSearchedRootHeld,  // one unknown: a searched root another path holds, none found instead
  kAtAPointOnASet,    // at the point of an end point on a set
  // Given to the points the rules put on sets, by the local dimension test at their cluster
  // (set_points.h):
  kOnSetByLocalDimension,  // on a set, of the dimension the test finds
  kIsolatedByDualSpace,    // an isolated root: its dual space stabilises within the paths there
  kNoRootNearSet,          // refinement finds no root within reach: no point of a set
};

struct EndPointVerdict {
  PointClass kind = PointClass::kSingular;
  PointRule rule = PointRule::kNoRegularEvidence;
  std::vector<Complex> value;  // what grouping compares
  ValueSource source = ValueSource::kEndPoint;
  std::int32_t dimension = 0;  // kOnSet: the set's local dimension
  std::optional<Certificate> certificate;
  PointMeasures measures;
  double clusterRadius = 0.0;  // kMultipleRootInOneUnknown: the disk of the cluster
};

// A rule: a verdict on the point, or none (the next rule decides).
using PointRuleFunction = std::optional<EndPointVerdict> (*)(EndPointEvidence&);

// The rules in their order (those on the point alone).
const std::vector<std::pair<PointRule, PointRuleFunction>>& PointRules();

// The verdict of the first rule that gives one.
EndPointVerdict DecidePoint(EndPointEvidence& evidence);

}  // namespace zormix

#endif  // ZORMIX_FINISH_POINT_RULES_H_
