// Depth-first enumeration of the mixed cells of the lifted, reduced supports.
#ifndef ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_
#define ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "mixedcell/cell_list.h"
#include "mixedcell/supports.h"

namespace zormix {

// Appends the cells of work unit `branch` (0-based, units in the search's serial order) to
// `cells`. Each thread that runs units makes its own (it holds the search's scratch).
using BranchFunction = std::function<void(std::int64_t branch, CellList& cells)>;

// The work units of one search handed to a runner: one per lower edge of the first support (a
// branch). Each depends only on tables every process running the same search builds alike, so
// they can run anywhere; their cells joined in unit order are the serial search's list. (On the
// threads of one process, the search splits branches further, into subtrees below the first
// level.)
struct BranchJob {
  std::int64_t count = 0;
  std::function<BranchFunction()> makeWorker;
  // Polls the search's stop request; true once the search is to end (a stop was requested or the
  // job abandoned). Called from the thread that runs the job, as often as suits the runner.
  std::function<bool()> stopped;
  // Ends the branches under way at their next poll, as a stop request does; for a runner that
  // leaves the job early (a failure elsewhere).
  std::function<void()> abandon;
};

// Runs every branch of `job` once and leaves the cells of branch b in found[b] (found has
// job.count empty lists on entry). May return early once job.stopped() is true.
using BranchRunner = std::function<void(const BranchJob& job, std::vector<CellList>& found)>;

// How a search is run: on how many threads, and when it should give up.
struct CellSearchControl {
  int threads = 1;
  // Asked between branches and every few hundred extensions inside one; once it returns true the
  // search ends early with an incomplete list. Must be safe to call from any thread.
  std::function<bool()> stop;
  // Empty: the branches run on up to `threads` threads of this process. Set: this runs them (the
  // processes of a cluster job share them out).
  BranchRunner runBranches;
};

// Appends every mixed cell of the fine mixed subdivision induced by sup.w to cells: column numbers
// of sup, rows in the level order of the branch that found the cell. The work units run on up to
// control.threads threads, or through control.runBranches; the cells come out in the serial
// order, the same for every thread count and runner. Returns false when
// control.stop ended the search: `cells` is then incomplete and must not be used.
bool MixedCellSearch(const ReducedSupports& sup, CellList& cells, const CellSearchControl& control);

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_
