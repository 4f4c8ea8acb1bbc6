// The verdict on every end point once the end points at one root are grouped: regular, a point of
// a singular root of the group's multiplicity, on a set, or unresolved (a failed path). Decided by
// an ordered list of rules, each a function of the point's verdict and its group that returns a
// verdict or none; the first verdict holds. docs/verdicts.md states the rules.
#ifndef ZORMIX_FINISH_ROOT_RULES_H_
#define ZORMIX_FINISH_ROOT_RULES_H_

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "finish/point_rules.h"

namespace zormix {

enum class RootClass : std::uint8_t {
  kRegular,              // RootStatus::kRegular
  kSingular,             // RootStatus::kSingular, of the group's multiplicity
  kPositiveDimensional,  // RootStatus::kPositiveDimensional, of the point's dimension
  kUnresolved,           // no verdict: the path is counted failed (kRefusedAtTarget)
  kSharedSimpleRoot,     // at a simple root another member keeps: failed (kSharedSimpleRoot)
};

enum class RootRule : std::uint8_t {
  kOnASet,                  // the point is on a set
  kAloneAtItsRoot,          // a regular candidate no other end point joins
  kSimpleRootReachedTwice,  // a box proves the group's root simple: one path jumped onto it
  kLoneWithoutCycle,        // a singular point alone, reached as an ordinary end point
  kSharedOrSingular,        // every other point: a singular root of the group's multiplicity
  // After the rules: the local algebra at a singular group (singular_groups.h) set the verdict,
  // the multiplicity or the value.
  kDualSpace,
};

// What the rules read of one end point: its own verdict and its group's.
struct RootEvidence {
  const EndPointVerdict& point;
  std::int32_t windingNumber = 0;  // of the point's path (0: unknown)
  std::int32_t groupSize = 1;      // end points at its root (1 for a point on a set)
  // Krawczyk's box around a regular candidate of the group holds every member: the group's root
  // is simple, and `keeper` says whether this member is the one that keeps it (the first such
  // candidate).
  bool provenSimple = false;
  bool keeper = false;
};

struct RootVerdict {
  RootClass kind = RootClass::kSingular;
  RootRule rule = RootRule::kSharedOrSingular;
};

using RootRuleFunction = std::optional<RootVerdict> (*)(const RootEvidence&);

// The rules in their order; the last always decides.
const std::vector<std::pair<RootRule, RootRuleFunction>>& RootRules();

// The verdict of the first rule that gives one.
RootVerdict DecideRoot(const RootEvidence& evidence);

// The status a verdict gives the root in the result (kUnresolved: none, the column is dropped).
RootStatus StatusOf(RootClass kind);

}  // namespace zormix

#endif  // ZORMIX_FINISH_ROOT_RULES_H_
