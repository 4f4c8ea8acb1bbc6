// A decomposition over the ranks of an MPI job. Rank 0 sends every rank the system, the seed and
// the points to test; every rank then runs the same decomposition, and the paths of each of its
// solves (the mixed-cell search's branches and the first tracking) and of each parameter homotopy
// (the cascade's levels, the junk and membership tests) are shared out over the ranks and their
// records gathered on every rank (unit_share.h), which then finishes them as one process would. So
// every rank holds the decomposition of one process bit for bit, whatever the ranks and their
// threads; only rank 0 writes and prints it.
#ifndef ZORMIX_CLUSTER_DECOMPOSE_SHARE_H_
#define ZORMIX_CLUSTER_DECOMPOSE_SHARE_H_

#include <string>
#include <vector>

#include "zormix/decompose.h"
#include "zormix/poly_system.h"

namespace zormix::cluster {

struct DecomposeJob {
  PolySystem system;         // any number of equations
  DecomposeOptions options;  // seed (set) and topDimension travel; threads are each rank's own
  std::vector<std::vector<Complex>> points;  // the points whose components are asked for
};

struct DecomposeOutcome {
  Decomposition decomposition;
  std::vector<std::vector<int>> membership;  // per point: ComponentsContaining
};

// The job as the bytes rank 0 sends (doubles bit for bit), and back.
std::string EncodeDecomposeJob(const DecomposeJob& job);
DecomposeJob DecodeDecomposeJob(const std::string& bytes);

// Rank 0: Decompose and ComponentsContaining of every point, over the job (job.options.seed must
// be set). In a job of one rank, the two calls themselves. With ZORMIX_JOB_SHARES set (not "0"),
// then prints on standard error how many paths each rank tracked.
DecomposeOutcome DecomposeOnRankZero(const DecomposeJob& job);

// Every other rank: runs the decomposition rank 0 sends on `threads` threads (0: one per core) and
// returns the exit code. A failure is sent to rank 0, which prints it and ends the job.
int ServeDecomposeOnRankZero(int threads);

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_DECOMPOSE_SHARE_H_
