#include "cluster/ordered_share.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>
#include <vector>

#include "cluster/mpi_messages.h"
#include "cluster/unit_pool.h"

namespace zormix::cluster {
namespace {

// Pieces per batch: about this many batches per thread of the job, at most kMaxBatch each.
constexpr std::int64_t kMaxBatch = 16;
constexpr std::int64_t kBatchesPerThread = 4;

// Results travel as (piece, size, bytes) triples, several to a message.
void AppendResult(std::int64_t piece, const std::string& result, std::string& out) {
  const std::uint64_t size = result.size();
  out.append(reinterpret_cast<const char*>(&piece), sizeof piece);
  out.append(reinterpret_cast<const char*>(&size), sizeof size);
  out += result;
}

// Calls take(piece, result) for every triple; false when the bytes are not whole triples.
template <typename Take>
bool ReadResults(const std::string& bytes, Take&& take) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::int64_t piece = 0;
    std::uint64_t size = 0;
    if (bytes.size() - at < sizeof piece + sizeof size) return false;
    std::memcpy(&piece, bytes.data() + at, sizeof piece);
    std::memcpy(&size, bytes.data() + at + sizeof piece, sizeof size);
    at += sizeof piece + sizeof size;
    if (bytes.size() - at < size) return false;
    if (!take(piece, bytes.substr(at, size))) return false;
    at += size;
  }
  return true;
}

std::vector<std::int64_t> ReceiveBatch(const MPI_Status& status) {
  int count = 0;
  MPI_Get_count(&status, MPI_INT64_T, &count);
  std::vector<std::int64_t> pieces(static_cast<std::size_t>(count));
  MPI_Recv(pieces.data(), count, MPI_INT64_T, 0, kWork, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  return pieces;
}

// Rank 0's side: batches out on request, results in, results on in order.
class Distributor {
 public:
  Distributor(std::int64_t count, int threads, const PieceWork& work)
      : count_(count), threads_(std::max(1, threads)), ranks_(Size()), work_(work) {
    results_.resize(static_cast<std::size_t>(count));
    have_.assign(static_cast<std::size_t>(count), 0);
    batch_ =
        std::clamp<std::int64_t>(count / (kBatchesPerThread * ranks_ * threads_), 1, kMaxBatch);
  }

  void Run(const std::function<void(std::int64_t, std::string&&)>& take,
           const std::function<void()>& poll) {
    UnitPool pool(threads_, [this]() -> UnitFunction {
      return [this](std::int64_t k) { results_[static_cast<std::size_t>(k)] = work_(k); };
    });
    auto lastPoll = Clock::now();
    while (handedOn_ < count_ || stopped_ < ranks_ - 1) {
      pool.RethrowIfFailed();
      bool active = FeedOwnThreads(pool);
      MPI_Status status;
      int flag = 0;
      MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &status);
      if (flag) {
        Serve(status);
        active = true;
      }
      while (handedOn_ < count_ && have_[static_cast<std::size_t>(handedOn_)]) {
        take(handedOn_, std::move(results_[static_cast<std::size_t>(handedOn_)]));
        results_[static_cast<std::size_t>(handedOn_)] = std::string();
        ++handedOn_;
        active = true;
      }
      if (Clock::now() - lastPoll >= kPollInterval) {
        poll();
        lastPoll = Clock::now();
      }
      if (!active) std::this_thread::sleep_for(kIdleWait);
    }
  }

 private:
  std::vector<std::int64_t> NextBatch() {
    const std::int64_t end = std::min(count_, next_ + batch_);
    std::vector<std::int64_t> pieces;
    for (; next_ < end; ++next_) pieces.push_back(next_);
    return pieces;
  }

  bool FeedOwnThreads(UnitPool& pool) {
    bool active = false;
    if (pool.Waiting() < static_cast<std::size_t>(threads_) && next_ < count_) {
      pool.Push(NextBatch());
      active = true;
    }
    for (std::int64_t k : pool.TakeFinished()) {
      have_[static_cast<std::size_t>(k)] = 1;
      active = true;
    }
    return active;
  }

  void Serve(const MPI_Status& status) {
    const std::string bytes = ReceiveBytes(status);
    const int from = status.MPI_SOURCE;
    switch (status.MPI_TAG) {
      case kRequest: {
        const std::vector<std::int64_t> pieces = NextBatch();
        if (pieces.empty()) ++stopped_;
        MPI_Send(pieces.data(), static_cast<int>(pieces.size()), MPI_INT64_T, from, kWork,
                 MPI_COMM_WORLD);
        break;
      }
      case kResults:
        if (!ReadResults(bytes, [&](std::int64_t k, std::string&& result) {
              if (k < 0 || k >= count_ || have_[static_cast<std::size_t>(k)]) return false;
              results_[static_cast<std::size_t>(k)] = std::move(result);
              have_[static_cast<std::size_t>(k)] = 1;
              return true;
            }))
          AbortJob("damaged results from rank " + std::to_string(from));
        break;
      case kFailure:
        AbortJob("rank " + std::to_string(from) + " failed: " + bytes);
      default:
        AbortJob("unexpected message " + std::to_string(status.MPI_TAG) + " from rank " +
                 std::to_string(from));
    }
  }

  const std::int64_t count_;
  const int threads_;
  const int ranks_;
  const PieceWork& work_;
  std::vector<std::string> results_;
  std::vector<char> have_;
  std::int64_t batch_ = 1;
  std::int64_t next_ = 0;      // the first piece not handed out
  std::int64_t handedOn_ = 0;  // the first piece not yet given to take
  int stopped_ = 0;            // ranks told that nothing is left
};

// Another rank's side: one batch asked for at a time, while its threads still have pieces
// waiting; the finished ones go back with the next request, and all of them at the end.
void ServeBatches(int threads, const PieceWork& work) {
  std::mutex guard;
  std::unordered_map<std::int64_t, std::string> results;  // finished pieces not sent yet
  UnitPool pool(threads, [&]() -> UnitFunction {
    return [&](std::int64_t k) {
      std::string result = work(k);
      const std::lock_guard<std::mutex> lock(guard);
      results[k] = std::move(result);
    };
  });
  bool asked = false, stopped = false;
  while (true) {
    pool.RethrowIfFailed();
    const bool drained = stopped && pool.Idle();  // taken before: nothing finishes after it
    std::string out;
    for (std::int64_t k : pool.TakeFinished()) {
      const std::lock_guard<std::mutex> lock(guard);
      AppendResult(k, results[k], out);
      results.erase(k);
    }
    if (!out.empty()) SendBytes(out, 0, kResults);
    if (drained) return;
    bool active = !out.empty();
    if (!asked && !stopped && pool.Waiting() < static_cast<std::size_t>(threads)) {
      SendBytes(std::string(), 0, kRequest);
      asked = active = true;
    }
    MPI_Status status;
    int flag = 0;
    MPI_Iprobe(0, kWork, MPI_COMM_WORLD, &flag, &status);
    if (flag) {
      const std::vector<std::int64_t> pieces = ReceiveBatch(status);
      stopped = pieces.empty();
      pool.Push(pieces);
      asked = false;
      active = true;
    }
    if (!active) std::this_thread::sleep_for(kIdleWait);
  }
}

}  // namespace

void DistributeInOrder(std::int64_t count, int threads, const PieceWork& work,
                       const std::function<void(std::int64_t, std::string&&)>& take,
                       const std::function<void()>& poll) {
  Distributor(count, threads, work).Run(take, poll);
  AbortOnReportedFailure();
}

void ServePieces(int threads, const PieceWork& work) {
  try {
    ServeBatches(std::max(1, threads), work);
  } catch (const std::bad_alloc&) {
    ReportFailure("out of memory");
  } catch (const std::exception& e) {
    ReportFailure(e.what());
  }
}

void SendSetup(const std::string& setup) {
  for (int rank = 1; rank < Size(); ++rank) SendBytes(setup, rank, kSetup);
}

std::string WaitForSetup() { return WaitForMessage(kSetup); }

void EndSharing() {
  for (int rank = 1; rank < Size(); ++rank) SendBytes(std::string(), rank, kFinished);
}

void WaitForEndOfSharing() { WaitForMessage(kFinished); }

}  // namespace zormix::cluster
