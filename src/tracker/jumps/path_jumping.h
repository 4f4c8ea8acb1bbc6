// Finds recorded end points that two paths share and re-tracks both paths with a stricter
// corrector.
#ifndef ZORMIX_TRACKER_JUMPS_PATH_JUMPING_H_
#define ZORMIX_TRACKER_JUMPS_PATH_JUMPING_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "base/random.h"
#include "model/system_eval.h"
#include "zormix/types.h"

namespace zormix {

inline constexpr int kBucketCount = 200;

// Bucket (0-based, 0..199) of a complex value: q = trunc(Im z * 10000) mod 100 with the sign of the
// dividend; q >= 0 -> bucket q + 100, q < 0 -> bucket -q. Bucket 0 stays empty.
int BucketKey(Complex z);

// Buckets of end points keyed on one coordinate; list[b] holds end-point indices in insertion
// order. Sized from the members, so no bucket can overflow.
struct SolutionBuckets {
  std::vector<std::vector<std::int64_t>> list =
      std::vector<std::vector<std::int64_t>>(kBucketCount);
};
// All end points 0..rootCount-1 by the key of their first coordinate, in index order.
SolutionBuckets BucketByFirstCoordinate(const ColMajorMatrix<Complex>& solutions,
                                        std::int64_t rootCount);
// The members of `members`, in their order, by the key of their second coordinate.
SolutionBuckets BucketBySecondCoordinate(const ColMajorMatrix<Complex>& solutions,
                                         const std::vector<std::int64_t>& members);

struct RetrackResult {
  std::vector<Complex> y;          // the final point of the re-track (always returned)
  std::int32_t steps = 0;          // counted steps of the re-track
  bool failed = false;             // the path failed or its end point was not accepted
  std::int32_t windingNumber = 0;  // as in PathRecord, when not failed
  // When failed: whether the end game proved the path diverging, and the valuation estimate that
  // proved it (0 when the size of the point alone did).
  bool diverged = false;
  double valuation = 0.0;
};
// Re-tracks the path of `record` from its start solution with the given first correction limit
// (0.01 on the first attempt, 0.001 on the second). Each route supplies its own.
using RetrackFunction =
    std::function<RetrackResult(const PathRecord& record, double correctionLimit)>;

// Projects every end point on a random direction (drawn after re-seeding `runtime`), compares the
// pairs within a bucket, and for every pair closer than 1e-7 in the projection whose common point
// is well conditioned on the scaled target (1e-12 < smax < 1e7 smin) re-tracks both paths with
// correction limit 0.01, then 0.001, and, where the common point is a simple root
// (TestSimpleRoot), with `carefulRetrack` (correction limit 0.001). A path is re-tracked at each
// of these levels at most once: a later pair keeps its strictest end point. A failed re-track
// separates nothing: the pair goes on to the next level, and a path whose later re-track arrives
// is a path that jumped, not a failure. A pair that all of them leave at one simple root gives up
// its later path (kRetrackFailed); a root that no path still reported holds stays with a path given
// up. Before the pairs, an
// end point whose backward error exceeds 1e-9 (in double and in double-double) and from which
// Newton's method reaches a simple root that another end point holds is re-tracked carefully
// (with `retrack` at 0.001 when there is no careful re-tracker); it is given up when it ends
// there again. Updates solutions (only when the pair was separated) and the records' steps,
// retrackCount (reset to 0 first) and status (kJumped after a re-track, kDiverged with the
// valuation once one was proved diverging, kRetrackFailed once one failed otherwise; a status left
// by an earlier check is reset first). Returns the counts of re-tracks (`retracked`) and of
// separated pairs.
PathCounts CheckPathJumping(const SystemView& scaledTarget, ColMajorMatrix<Complex>& solutions,
                            std::int64_t rootCount, std::vector<PathRecord>& records,
                            const RetrackFunction& retrack, RuntimeUniform& runtime,
                            const RetrackFunction& carefulRetrack = {});

}  // namespace zormix

#endif  // ZORMIX_TRACKER_JUMPS_PATH_JUMPING_H_
