// Regular and singular roots, their multiplicities, solution sets of positive dimension, and the
// accounting of every path: the one place where the verdict on an end point is decided.
#ifndef ZORMIX_FINISH_CLASSIFY_H_
#define ZORMIX_FINISH_CLASSIFY_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "finish/drop_end_points.h"
#include "finish/point_rules.h"
#include "finish/root_rules.h"
#include "finish/singular_groups.h"
#include "model/normal_form.h"
#include "zormix/result.h"

namespace zormix {

// The verdict on every end point of a solve; per root unless said otherwise.
struct Classification {
  std::vector<RootStatus> status;
  std::vector<double> scaledConditionNumbers;
  std::vector<std::int32_t> multiplicity;    // end points in the root's group
  std::vector<std::int64_t> groupLeader;     // first column of the root's group
  std::vector<std::int32_t> localDimension;  // 0 unless positive-dimensional
  // Which rules decided (point_rules.h, root_rules.h): what the tests and the docs name.
  std::vector<PointRule> pointRule;
  std::vector<RootRule> rootRule;
  RootClassCounts counts;
  std::vector<std::string> warnings;  // verdict_warnings.h: groups and routes to doubt
  // Columns whose value the classification computed more accurately than refinement left it, with
  // that value (ValueSource: IsAccurate): regular roots that only Newton's method in double-double
  // resolved (double's refinement leaves them where the rounding of the evaluation stalls it, 0.03
  // off for the root 13 of Wilkinson's polynomial of degree 20, condition 1e13), multiple roots in
  // one unknown, points in coordinate subspaces.
  std::vector<std::pair<std::int64_t, std::vector<Complex>>> accurateValues;
  // End points given up (ascending columns): without a verdict (RootClass::kUnresolved, status
  // kRefusedAtTarget) or at a simple root another path keeps (kSharedSimpleRoot). Counted failed,
  // and moved by TakeClassification from the roots to the lost paths.
  std::vector<DroppedEndPoint> dropped;
  // Singular roots whose deflated system Krawczyk's test proves (singular_groups.h).
  std::vector<SingularProof> proofs;
  // Roots whose dual space counts more paths than reached them (singular_groups.h).
  std::vector<RootShortOfPaths> shortOfPaths;
};

// The verdicts (docs/verdicts.md): every end point is examined on its own (point_rules.h, on the
// system with its equations normalized to exact powers of two, so that no unit of any equation,
// subnormal ones included, changes a verdict), then against the points around it (grouping.h),
// then as a member of its group (root_rules.h). Accounting: paths that diverged (IsAtInfinity)
// are at infinity; every other path without an accepted end point is failed. Then
//   regular + sum of the multiplicities of the singular roots + positive-dimensional end points
//     + atInfinity + failed = pathCount.
// Reads roots, isReal, records and lostPaths of `result`. Deterministic whatever `threads`;
// draws from no shared stream. `interrupted` is asked between end points (FinishStop): true stops
// with Error kInterruptedId.
// The local algebra runs at every singular group with `analyseEverySingularRoot` (a solve that
// certifies), else at those in doubt (singular_groups.h).
Classification ClassifyRoots(const NormalForm& system, const SolveResult& result, int threads = 1,
                             const std::function<bool()>& interrupted = {},
                             bool analyseEverySingularRoot = true);

// Moves the verdicts into the result's per-root fields and its class counts, puts the accurate
// values into the result's roots, moves the unresolved end points to the lost paths
// (DropEndPoints), and appends the warnings to the result's. `proofs`, when given, receives the
// classification's SingularProofs in the result's columns (for ApplySingularProofs once the
// certification ran).
void TakeClassification(Classification&& classification, SolveResult& result,
                        std::vector<SingularProof>* proofs = nullptr);

}  // namespace zormix

#endif  // ZORMIX_FINISH_CLASSIFY_H_
