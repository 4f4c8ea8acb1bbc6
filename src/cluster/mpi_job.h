// One solve spread over the processes of an MPI job. Rank 0 reads the input, hands out the branches
// of the mixed-cell search and then the paths of the first tracking in batches to every rank that
// asks (itself included), gathers their cells and end points, and alone runs the rescue, the
// path-jumping check and the report and writes every output. With a fixed seed the outputs are
// byte-identical to those of one process, for any number of ranks and threads: each branch and
// each path is run independently and its results go to its serial place.
#ifndef ZORMIX_CLUSTER_MPI_JOB_H_
#define ZORMIX_CLUSTER_MPI_JOB_H_

#include "zormix/poly_system.h"
#include "zormix/result.h"
#include "zormix/solve.h"

namespace zormix::cluster {

// MPI for the life of the process. Outside mpirun the process is a job of one rank.
class Job {
 public:
  Job(int* argc, char*** argv);
  ~Job();
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  // The exit code of the process. Non-zero on rank 0 ends the whole job at once (MPI_Abort):
  // the other ranks may be waiting for it.
  int Finish(int exitCode);
};

bool IsRankZero();

// Rank 0: sends the system and the options (the seed fixed first) to every rank and solves with
// them; returns the result. In a job of one rank, SolveSystem. With ZORMIX_JOB_SHARES set (not
// "0"), it then prints on standard error how many branches and paths each rank ran.
SolveResult SolveOnRankZero(const PolySystem& system, SolveOptions options);

// Every other rank: solves what rank 0 sends, running the branches and tracking the paths it hands
// out on `threads` threads (0: one per core), and returns the exit code. A failure is sent to rank
// 0, which prints it and ends the job.
int ServeRankZero(int threads);

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_MPI_JOB_H_
