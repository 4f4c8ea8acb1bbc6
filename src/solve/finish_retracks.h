// The paths a finish found at the wrong root, tracked again from their start points with the
// path-jumping check's careful limits (tracking.h: PathRetracker), so that the finish can run again
// on their new end points:
//   - a path given up at a root that holds too many paths (kSharedSimpleRoot: a simple root
//     reached twice; kSurplusAtRoot: more paths than the dual space's multiplicity);
//   - when such a path's re-track lands on the same root again, the paths kept at that root (its
//     partners): the finish keeps the member nearest the root, which need not be the path that
//     jumped;
//   - for a root whose dual space counts more paths than reached it (RootShortOfPaths), the paths
//     with an end point that the finish did not accept (refused, or given up at another root)
//     whose end point lies near that root.
#ifndef ZORMIX_SOLVE_FINISH_RETRACKS_H_
#define ZORMIX_SOLVE_FINISH_RETRACKS_H_

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "finish/singular_groups.h"
#include "model/normal_form.h"
#include "tracker/tracking.h"
#include "zormix/result.h"

namespace zormix {

// The columns of `tracking` to re-track after a finish gave `result` (every column at most once:
// `retracked` flags those re-tracked before in this finish), ascending (the serial order of the
// paths). An end point is near a root, and a path kept at the root nearest it, within
// finish.max_singular_coincidence of the larger point's max-norm (at least 1: the scaled variables
// put roots at unit size), the widest distance at which the grouping joins end points.
std::vector<std::int64_t> ColumnsToRetrack(const NormalForm& system, const SolveResult& result,
                                           const std::vector<RootShortOfPaths>& shortOfPaths,
                                           const TrackingOutcome& tracking,
                                           const std::vector<std::uint8_t>& retracked);

// Tracks the chosen paths again, one finish's worth, in the serial order of the paths (the result
// is the same for any thread count).
class FinishRetracks {
 public:
  // `tracking` is the tracking before any finish: its records name the columns. The re-tracker is
  // made when the first path is re-tracked.
  FinishRetracks(std::function<PathRetracker()> makeRetracker, const TrackingOutcome& tracking)
      : makeRetracker_(std::move(makeRetracker)), retracked_(tracking.records.size(), 0) {}

  // Re-tracks the columns ColumnsToRetrack chooses and puts every end point that left its root
  // (farther than finish.max_coincidence, relative, from the old one) in place of the old one in
  // `tracking`, its path then kJumped. While none leaves, the partners of those that landed again
  // are chosen from the same `result`. Returns whether any left: the finish runs again on
  // `tracking`.
  bool Run(const NormalForm& system, const SolveResult& result,
           const std::vector<RootShortOfPaths>& shortOfPaths, TrackingOutcome& tracking);

  // The re-tracks that left their paths at their roots, which no finish saw, in the records of
  // `result` (each re-track that reached an end point counts in the path's retrackCount and
  // steps) and in its count of re-tracked paths. `tracking` is the one Run changed.
  void Record(const TrackingOutcome& tracking, SolveResult& result) const;

 private:
  std::function<PathRetracker()> makeRetracker_;
  PathRetracker retrack_;
  std::vector<std::uint8_t> retracked_;
};

}  // namespace zormix

#endif  // ZORMIX_SOLVE_FINISH_RETRACKS_H_
