// The local algebra at the roots the rules call singular (local/analyze.h): the multiplicity from
// the dual space against the number of paths grouped there, the local dimension test, the root
// deflated to full accuracy and its Krawczyk certificate. Run on the singular groups alone, so
// that systems without singular end points pay nothing.
#ifndef ZORMIX_FINISH_SINGULAR_GROUPS_H_
#define ZORMIX_FINISH_SINGULAR_GROUPS_H_

#include <cstdint>
#include <vector>

#include "finish/finish_stop.h"
#include "local/analyze.h"
#include "model/normal_form.h"
#include "zormix/result.h"

namespace zormix {

struct Classification;

// One singular group and what the local analysis found at it.
struct SingularGroup {
  std::vector<std::int64_t> members;  // its columns, ascending (members.front() leads it)
  PointAnalysis analysis;
};

// An isolated root whose dual space, confirmed by deflation, gives it a multiplicity above the
// number of end points grouped there: `missing` of its paths ended elsewhere or failed. `point`
// is the deflated root, in the result's (unscaled) variables. The solve looks for those paths
// (finish_retracks.h).
struct RootShortOfPaths {
  std::int64_t leader = 0;  // the group's first column, before any end point is dropped
  std::vector<Complex> point;
  std::int32_t missing = 0;
};

// A singular root proven by Krawczyk's test on its deflated system: its members' columns, the box
// center (the deflated root) and the box's max-norm radius.
struct SingularProof {
  std::vector<std::int64_t> members;
  std::vector<Complex> center;
  double radius = 0.0;
};

// The groups whose members the rules made singular (every member kSingular and kept), each
// analysed at its end points' values on `system` with its equations normalized (exact powers of
// two: a subnormal equation keeps every bit) with the multiplicity bound m + min(failed paths, m)
// for a group of m end points: the failed paths may have ended there, but never raise the cost of a
// large group more than twofold. Without `everyGroup`, only the groups whose cycles leave their
// multiplicity in doubt (a member whose path ended on no cycle of two or more loops, or windings
// that do not form whole cycles): the analysis costs tens of milliseconds a group (cyclic-9's
// 162 four-fold roots doubled its time), which a solve that asks for certificates pays for
// every singular root. On `threads`; deterministic.
std::vector<SingularGroup> AnalyzeSingularGroups(const NormalForm& system, const SolveResult& r,
                                                 const Classification& c, bool everyGroup,
                                                 int threads, const FinishStop& stop);

// The verdicts of the analysed groups, changed where the algebra disagrees with the rules:
//   - an isolated root whose dual space deflation did not confirm: the rules' verdict stands,
//     and a dimension mu other than m is said in a warning;
//   - an isolated root of multiplicity mu from its dual space that deflation confirmed, reached
//     by m end points:
//       mu = 1: a simple root; the member nearest the root keeps it as a regular root, the others
//         jumped onto it (kSharedSimpleRoot);
//       2 <= mu < m: the mu members nearest the root are its paths, the other m - mu jumped onto
//         it (kSurplusAtRoot);
//       mu >= m: singular of multiplicity m (every path counted once); mu > m is said in a
//         warning: mu - m of its paths ended elsewhere or failed;
//     every kept member takes the deflated root as its value, and a certificate of the deflated
//     system is a SingularProof; the winding numbers of a group whose multiplicity the
//     dual space confirms need no warning;
//   - on a set, by a dual space that grows past the bound: the rules' verdict stands (a root of
//     a multiplicity above the bound grows the same way);
//   - not a root (residual far above rounding after refinement within reach): every member
//     unresolved, a failed path (kRefusedAtTarget);
//   - undecided: the rules' verdict stands.
// Rule RootRule::kDualSpace marks every member whose verdict or value the algebra set.
void ResolveSingularGroups(const std::vector<SingularGroup>& groups, const SolveResult& r,
                           Classification& c, std::vector<SingularProof>& proofs,
                           std::vector<std::uint8_t>& confirmed);

// Marks the members of every proof certified (not certified real: a box around a multiple root
// holds no conjugate pair argument), with the proof's box, in a result whose certification ran
// (its certified flags are empty otherwise, and stay so). `proofs` in the result's columns.
void ApplySingularProofs(const std::vector<SingularProof>& proofs, SolveResult& result);

}  // namespace zormix

#endif  // ZORMIX_FINISH_SINGULAR_GROUPS_H_
