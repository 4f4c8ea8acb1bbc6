// The first tracking of one route shared out over the ranks of a job, every rank left with every
// unit's record: each rank then rescues, checks and finishes the paths itself, as one process
// would, and goes on with the same result. A decomposition runs this way on every rank.
#ifndef ZORMIX_CLUSTER_UNIT_SHARE_H_
#define ZORMIX_CLUSTER_UNIT_SHARE_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "base/parallel.h"
#include "cluster/transport.h"
#include "tracker/routes/route_tracking.h"

namespace zormix::cluster {

// Tracks units 0 .. tracking.total - 1 over the ranks of `transport`; every rank calls it at the
// same point of the same computation. Rank 0 hands out batches in unit order to every rank that
// asks and to its own `threads` threads, gathers the records of the units others tracked, and sends
// each rank the records it did not track, so that every rank returns with every slot of `tracking`
// filled as if it had tracked them all with makeWorker's workers.
//
// Rank 0 alone calls poll (what it throws ends the sharing; the caller then ends the job) and
// throws Error "rank R failed: ..." when rank R reports a failure (kFailure). ranByRank, when
// given, gets on rank 0 the units each rank tracked.
void ShareUnits(Transport& transport, int threads, RouteTracking& tracking,
                const std::function<UnitFunction()>& makeWorker, const std::function<void()>& poll,
                std::vector<std::int64_t>* ranByRank = nullptr);

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_UNIT_SHARE_H_
