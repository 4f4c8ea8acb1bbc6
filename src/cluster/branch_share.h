// The mixed-cell search of a job: its branches (one per lower edge of the first support) shared
// out over the ranks, and every rank left with the cells of all of them.
#ifndef ZORMIX_CLUSTER_BRANCH_SHARE_H_
#define ZORMIX_CLUSTER_BRANCH_SHARE_H_

#include <cstdint>
#include <vector>

#include "cluster/transport.h"
#include "mixedcell/cell_list.h"
#include "mixedcell/mixed_cell_search.h"

namespace zormix::cluster {

// Runs the branches of `job` over the ranks of `transport`; every rank calls it with the same job
// (for a seed, every rank builds the same search). Rank 0 hands out branches in edge order to
// every rank that asks, as many as the rank has idle threads, and runs its own share the same way
// on `threads` threads; a rank sends the cells of its branches back as they end. Every rank
// returns with the cells of branch b in found[b]: rank 0 sends each rank those it did not run.
//
// Rank 0 alone polls job.stopped() and returns early, its own branches abandoned, once it is true
// (the job then ends from rank 0). Rank 0 throws Error "rank R failed: ..." when rank R reports a
// failure (kFailure). ranByRank, when given, gets on rank 0 the number of branches each rank ran.
void ShareBranches(Transport& transport, int threads, const BranchJob& job,
                   std::vector<CellList>& found, std::vector<std::int64_t>* ranByRank = nullptr);

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_BRANCH_SHARE_H_
