#include "cluster/mpi_job.h"

#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cluster/branch_share.h"
#include "cluster/mpi_messages.h"
#include "cluster/mpi_transport.h"
#include "cluster/transport.h"
#include "cluster/unit_pool.h"
#include "solve/checkpoint.h"
#include "solve/solve_with_runner.h"
#include "solve/stage_data.h"
#include "solve/wire.h"
#include "tracker/routes/route_tracking.h"
#include "zormix/error.h"

namespace zormix::cluster {
namespace {

// At most this many paths per batch, and about this many batches per thread of the job: few
// messages (3 per batch), and the last batches are small enough to even out the ranks.
constexpr std::int64_t kMaxBatch = 64;
constexpr std::int64_t kBatchesPerThread = 8;

// ---- rank 0: hands out batches, gathers results

std::int64_t BatchSize(std::size_t units, int ranks, int threads) {
  const std::int64_t perBatch =
      static_cast<std::int64_t>(units) / (kBatchesPerThread * ranks * std::max(1, threads));
  return std::clamp<std::int64_t>(perBatch, 1, kMaxBatch);
}

class Coordinator {
 public:
  // tracked[r] counts the units rank r tracks.
  Coordinator(RouteTracking& tracking, Checkpoint* checkpoint, int threads,
              std::vector<std::int64_t>& tracked)
      : tracking_(tracking),
        checkpoint_(checkpoint),
        threads_(threads),
        ranks_(Size()),
        tracked_(tracked) {
    tracked_.assign(static_cast<std::size_t>(ranks_), 0);
    if (checkpoint_) {
      todo_ = checkpoint_->Restore(tracking_);
    } else {
      for (std::int64_t u = 0; u < tracking_.total; ++u) todo_.push_back(u);
    }
    batch_ = BatchSize(todo_.size(), ranks_, threads_);
  }

  void Run(const std::function<UnitFunction()>& makeWorker, const std::function<void()>& poll) {
    UnitPool pool(threads_, makeWorker);
    auto lastPoll = Clock::now();
    while (done_ < todo_.size() || stopped_ < ranks_ - 1) {
      pool.RethrowIfFailed();
      bool active = FeedAndCollect(pool);
      MPI_Status status;
      int flag = 0;
      MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &status);
      if (flag) {
        Serve(status);
        active = true;
      }
      if (Clock::now() - lastPoll >= kPollInterval) {
        if (checkpoint_) checkpoint_->FlushIfDue();
        poll();
        lastPoll = Clock::now();
      }
      if (!active) std::this_thread::sleep_for(kIdleWait);
    }
    if (checkpoint_) checkpoint_->Flush();
    poll();
  }

 private:
  std::vector<std::int64_t> NextBatch() {
    const std::size_t end = std::min(todo_.size(), next_ + static_cast<std::size_t>(batch_));
    std::vector<std::int64_t> units(todo_.begin() + next_, todo_.begin() + end);
    next_ = end;
    return units;
  }

  // Rank 0's own threads take batches like every other rank; their results are saved here.
  bool FeedAndCollect(UnitPool& pool) {
    bool active = false;
    if (pool.Waiting() < static_cast<std::size_t>(threads_) && next_ < todo_.size()) {
      pool.Push(NextBatch());
      active = true;
    }
    std::string records;
    for (std::int64_t unit : pool.TakeFinished()) {
      EncodeUnit(tracking_, unit, records);
      ++done_;
      ++tracked_[0];
      active = true;
    }
    if (checkpoint_ && !records.empty()) checkpoint_->Append(records);
    return active;
  }

  void Serve(const MPI_Status& status) {
    const std::string bytes = ReceiveBytes(status);
    switch (status.MPI_TAG) {
      case kRequest: {
        const std::vector<std::int64_t> units = NextBatch();
        if (units.empty()) ++stopped_;
        MPI_Send(units.data(), static_cast<int>(units.size()), MPI_INT64_T, status.MPI_SOURCE,
                 kWork, MPI_COMM_WORLD);
        break;
      }
      case kResults:
        TakeResults(bytes, status.MPI_SOURCE);
        break;
      case kFailure:
        AbortJob("rank " + std::to_string(status.MPI_SOURCE) + " failed: " + bytes);
      default:
        AbortJob("unexpected message " + std::to_string(status.MPI_TAG) + " from rank " +
                 std::to_string(status.MPI_SOURCE));
    }
  }

  void TakeResults(const std::string& bytes, int from) {
    const std::size_t size = UnitRecordSize(static_cast<int>(tracking_.endPoints.rows()));
    if (bytes.size() % size != 0) AbortJob("damaged results from rank " + std::to_string(from));
    for (std::size_t at = 0; at < bytes.size(); at += size) {
      if (!RecordIntact(bytes.data() + at, static_cast<int>(tracking_.endPoints.rows())))
        AbortJob("damaged results from rank " + std::to_string(from));
      DecodeUnit(bytes.data() + at, tracking_);
      ++done_;
      ++tracked_[static_cast<std::size_t>(from)];
    }
    if (checkpoint_) checkpoint_->Append(bytes);
  }

  RouteTracking& tracking_;
  Checkpoint* checkpoint_;
  int threads_;
  int ranks_;
  std::vector<std::int64_t>& tracked_;
  std::vector<std::int64_t> todo_;
  std::int64_t batch_ = 1;
  std::size_t next_ = 0;
  std::size_t done_ = 0;
  int stopped_ = 0;  // ranks told that nothing is left
};

// ---- every other rank: asks for batches, tracks them, sends the results back

// A rank's side of the first tracking: one batch asked for at a time, while its threads still
// have units waiting, and the finished ones sent back with the next request (or within a second).
class Share {
 public:
  // At least one thread, as in the pool: with none this rank would never ask for a batch.
  Share(RouteTracking& tracking, int threads)
      : tracking_(tracking), threads_(std::max(1, threads)) {}

  void Run(const std::function<UnitFunction()>& makeWorker) {
    UnitPool pool(threads_, makeWorker);
    while (true) {
      pool.RethrowIfFailed();
      const bool drained = stopped_ && pool.Idle();  // taken before: nothing finishes after it
      for (std::int64_t unit : pool.TakeFinished()) EncodeUnit(tracking_, unit, results_);
      const bool ask = !asked_ && !stopped_ && pool.Waiting() < static_cast<std::size_t>(threads_);
      bool active = SendResults(ask || drained);
      if (drained) return;
      if (ask) {
        SendBytes(std::string(), 0, kRequest);
        asked_ = active = true;
      }
      active = TakeBatch(pool) || active;
      if (!active) std::this_thread::sleep_for(kIdleWait);
    }
  }

 private:
  bool SendResults(bool now) {
    if (results_.empty() || !(now || Clock::now() - lastSend_ >= std::chrono::seconds(1)))
      return false;
    SendBytes(results_, 0, kResults);
    results_.clear();
    lastSend_ = Clock::now();
    return true;
  }

  bool TakeBatch(UnitPool& pool) {
    MPI_Status status;
    int flag = 0;
    MPI_Iprobe(0, kWork, MPI_COMM_WORLD, &flag, &status);
    if (!flag) return false;
    int count = 0;
    MPI_Get_count(&status, MPI_INT64_T, &count);
    std::vector<std::int64_t> units(static_cast<std::size_t>(count));
    MPI_Recv(units.data(), count, MPI_INT64_T, 0, kWork, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    stopped_ = units.empty();
    pool.Push(units);
    asked_ = false;
    return true;
  }

  RouteTracking& tracking_;
  int threads_;
  bool asked_ = false;
  bool stopped_ = false;  // rank 0 has nothing left
  std::string results_;
  Clock::time_point lastSend_ = Clock::now();
};

// What each rank ran, for ZORMIX_JOB_SHARES.
struct Shares {
  std::vector<std::int64_t> branches;  // per rank: branches of the mixed-cell search
  std::vector<std::int64_t> paths;     // per rank: units of the first tracking
  double branchSeconds = 0.0;          // wall time of the shared branches on rank 0
};

bool SharesWanted() {
  const char* value = std::getenv("ZORMIX_JOB_SHARES");
  return value && *value && std::strcmp(value, "0") != 0;
}

// On standard error, so that no output of the solve changes.
void PrintShares(const Shares& shares, const SolveResult& result) {
  // The solve times its stages only when it tracks (not with --mixed-volume).
  if (!shares.branches.empty() && result.timings.mixedCells > 0.0) {
    std::fprintf(stderr, "zormix: mixed cells in %.3f s, %.3f s of it in the shared branches\n",
                 result.timings.mixedCells, shares.branchSeconds);
  } else if (!shares.branches.empty()) {
    std::fprintf(stderr, "zormix: shared mixed-cell branches in %.3f s\n", shares.branchSeconds);
  }
  for (int rank = 0; rank < Size(); ++rank) {
    const auto at = static_cast<std::size_t>(rank);
    std::fprintf(stderr, "zormix: rank %d ran %lld branches and %lld paths\n", rank,
                 static_cast<long long>(at < shares.branches.size() ? shares.branches[at] : 0),
                 static_cast<long long>(at < shares.paths.size() ? shares.paths[at] : 0));
  }
}

}  // namespace

Job::Job(int* argc, char*** argv) {
  int provided = 0;
  // Only the main thread of a process calls MPI; tracking threads never do.
  MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided);
}

Job::~Job() {
  int finalized = 0;
  MPI_Finalized(&finalized);
  if (!finalized) MPI_Finalize();
}

int Job::Finish(int exitCode) {
  if (exitCode != 0 && Size() > 1) {
    std::fflush(nullptr);
    MPI_Abort(MPI_COMM_WORLD, exitCode);
  }
  MPI_Finalize();
  return exitCode;
}

bool IsRankZero() { return Rank() == 0; }

SolveResult SolveOnRankZero(const PolySystem& system, SolveOptions options) {
  if (Size() == 1) return SolveSystem(system, options);
  options.seed = ChooseSeed(options);
  std::string packed = EncodeSolve(system, options);
  Broadcast(packed);
  MpiTransport transport;
  Shares shares;
  SolveResult result = SolveSystemWith(system, options, [&](Checkpoint* checkpoint, int threads) {
    SolveRunners runners;
    runners.cellBranches = [&, threads](const BranchJob& job, std::vector<CellList>& found) {
      const auto start = Clock::now();
      ShareBranches(transport, threads, job, found, &shares.branches);
      shares.branchSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    };
    runners.units = [&, checkpoint, threads](RouteTracking& tracking,
                                             const std::function<UnitFunction()>& makeWorker,
                                             const std::function<void()>& poll) {
      Coordinator(tracking, checkpoint, threads, shares.paths).Run(makeWorker, poll);
    };
    return runners;
  });
  AbortOnReportedFailure();
  for (int rank = 1; rank < Size(); ++rank) SendBytes(std::string(), rank, kFinished);
  if (SharesWanted()) PrintShares(shares, result);
  return result;
}

namespace {

// Only the stages a rank shares: the mixed-cell branches and its batches of the first tracking.
// The rescue, the path-jumping check, the finishing and every output are rank 0's. `rankThreads`
// is this rank's own setting, 0 for one thread per core: the runners get the resolved count, as
// rank 0's get it from the solve.
void ServeShares(const WireSolve& solve, int rankThreads) {
  SolveOptions options = solve.options;
  options.threads = rankThreads;
  const int threads = ThreadCount(options);
  options.reportPath.clear();
  options.checkpointPath.clear();  // rank 0 keeps the checkpoint
  const Problem problem(solve.system);
  MpiTransport transport;
  BranchRunner branches = [&transport, threads](const BranchJob& job,
                                                std::vector<CellList>& found) {
    ShareBranches(transport, threads, job, found);
  };
  const StartSystem start = MakeStartSystemWith(problem, options, *options.seed, branches);
  if (!start.trackable()) return;
  UnitRunner units =
      [threads](RouteTracking& tracking, const std::function<UnitFunction()>& makeWorker,
                const std::function<void()>&) { Share(tracking, threads).Run(makeWorker); };
  TrackWith(start, problem, options, units, /*firstTrackingOnly=*/true);
}

}  // namespace

int ServeRankZero(int threads) {
  try {
    std::string packed;
    Broadcast(packed);
    ServeShares(DecodeSolve(packed), threads);
    WaitForMessage(kFinished);
    return 0;
  } catch (const std::bad_alloc&) {
    ReportFailure("out of memory");
  } catch (const std::exception& e) {
    ReportFailure(e.what());
  }
}

}  // namespace zormix::cluster
