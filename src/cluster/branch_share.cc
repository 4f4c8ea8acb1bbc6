#include "cluster/branch_share.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "cluster/unit_pool.h"
#include "zormix/error.h"

namespace zormix::cluster {
namespace {

constexpr auto kIdleWait = std::chrono::milliseconds(1);
// Rank 0 sends a rank its missing cells in messages of about this size (a branch's list is never
// split): MPI counts a message's bytes in an int, and only one rank's messages are held at a time.
constexpr std::size_t kCellsMessageBytes = std::size_t{64} << 20;

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// A branch's list on the wire: int64 branch, int64 cell count, then the cells as storage() holds
// them (2n int32 per cell).
void PutBranch(std::int64_t branch, const CellList& cells, std::string& out) {
  Put<std::int64_t>(out, branch);
  Put<std::int64_t>(out, cells.size());
  const std::vector<std::int32_t>& values = cells.storage();
  out.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(std::int32_t));
}

// Reads the branch lists of a message into found. take(b) books branch b and says whether this
// message may bring it. False when the message is damaged or brings a branch it may not.
template <class Take>
bool GetBranches(const std::string& bytes, std::vector<CellList>& found, Take take) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::int64_t head[2];
    if (bytes.size() - at < sizeof head) return false;
    std::memcpy(head, bytes.data() + at, sizeof head);
    at += sizeof head;
    const std::int64_t branch = head[0], cells = head[1];
    if (branch < 0 || branch >= static_cast<std::int64_t>(found.size()) || !take(branch))
      return false;
    CellList& list = found[static_cast<std::size_t>(branch)];
    const std::size_t cellBytes = 2 * static_cast<std::size_t>(list.n()) * sizeof(std::int32_t);
    if (cells < 0 || static_cast<std::uint64_t>(cells) > (bytes.size() - at) / cellBytes)
      return false;
    std::vector<std::int32_t> values(static_cast<std::size_t>(cells) * 2 * list.n());
    std::memcpy(values.data(), bytes.data() + at, values.size() * sizeof(std::int32_t));
    at += values.size() * sizeof(std::int32_t);
    list = CellList(list.n(), std::move(values));
  }
  return true;
}

std::string PutIndices(std::int64_t first, std::int64_t last) {
  std::string out;
  for (std::int64_t b = first; b < last; ++b) Put<std::int64_t>(out, b);
  return out;
}

std::vector<std::int64_t> GetIndices(const std::string& bytes) {
  std::vector<std::int64_t> values(bytes.size() / sizeof(std::int64_t));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(std::int64_t));
  return values;
}

// The pool's unit u is branch u, run into found[u].
std::function<UnitFunction()> IntoFound(const BranchJob& job, std::vector<CellList>& found) {
  return [&job, &found]() -> UnitFunction {
    const BranchFunction run = job.makeWorker();
    return [run, &found](std::int64_t b) { run(b, found[static_cast<std::size_t>(b)]); };
  };
}

// Declared after the pool: when the runner leaves early, the branches under way end at their next
// poll before the pool joins its threads.
class AbandonUnlessDone {
 public:
  explicit AbandonUnlessDone(const BranchJob& job) : job_(job) {}
  ~AbandonUnlessDone() {
    if (!done_) job_.abandon();
  }
  void Done() { done_ = true; }

 private:
  const BranchJob& job_;
  bool done_ = false;
};

[[noreturn]] void RankFailed(const Message& m) {
  throw Error(ErrorCode::kInternal, "rank " + std::to_string(m.from) + " failed: " + m.bytes);
}

std::int64_t IdleThreads(const UnitPool& pool, int threads) {
  return std::max<std::int64_t>(0, threads - static_cast<std::int64_t>(pool.Unfinished()));
}

class Leader {
 public:
  Leader(Transport& transport, int threads, const BranchJob& job, std::vector<CellList>& found)
      : t_(transport),
        threads_(std::max(1, threads)),
        job_(job),
        found_(found),
        owner_(static_cast<std::size_t>(job.count), -1),
        have_(static_cast<std::size_t>(job.count), 0),
        ran_(static_cast<std::size_t>(transport.Size()), 0) {}

  // Returns early when stopped.
  void Run() {
    if (!Gather()) return;
    for (int rank = 1; rank < t_.Size(); ++rank) {
      SendMissingCells(rank);
      // One rank's messages at a time: rank 0 holds one extra copy of the cells at most.
      while (!t_.SendsDone()) {
        if (const std::optional<Message> m = t_.Receive(kFailure)) RankFailed(*m);
        if (job_.stopped()) return;
        std::this_thread::sleep_for(kIdleWait);
      }
    }
  }

  const std::vector<std::int64_t>& ran() const { return ran_; }

 private:
  // False when stopped.
  bool Gather() {
    UnitPool pool(threads_, IntoFound(job_, found_));
    AbandonUnlessDone guard(job_);
    while (done_ < job_.count || told_ < t_.Size() - 1) {
      if (job_.stopped()) return false;
      pool.RethrowIfFailed();
      bool active = false;
      if (const std::int64_t idle = IdleThreads(pool, threads_); idle > 0 && next_ < job_.count) {
        const auto [first, last] = HandOut(0, idle);
        std::vector<std::int64_t> branches;
        for (std::int64_t b = first; b < last; ++b) branches.push_back(b);
        pool.Push(branches);
        active = true;
      }
      for (std::int64_t b : pool.TakeFinished()) {
        have_[static_cast<std::size_t>(b)] = 1;
        ++done_;
        ++ran_[0];
        active = true;
      }
      if (const std::optional<Message> m = t_.Receive(kAnyTag)) {
        Serve(*m);
        active = true;
      }
      if (!active) std::this_thread::sleep_for(kIdleWait);
    }
    guard.Done();
    return true;
  }

  std::pair<std::int64_t, std::int64_t> HandOut(int rank, std::int64_t wanted) {
    const std::int64_t first = next_;
    next_ = std::min(job_.count, next_ + wanted);
    for (std::int64_t b = first; b < next_; ++b) owner_[static_cast<std::size_t>(b)] = rank;
    return {first, next_};
  }

  void Serve(const Message& m) {
    switch (m.tag) {
      case kBranchRequest: {
        std::int64_t wanted = 0;
        if (m.bytes.size() != sizeof wanted) Damaged(m);
        std::memcpy(&wanted, m.bytes.data(), sizeof wanted);
        const auto [first, last] = HandOut(m.from, std::max<std::int64_t>(1, wanted));
        if (first == last) ++told_;
        t_.Send(m.from, kBranches, PutIndices(first, last));
        break;
      }
      case kBranchCells: {
        const bool intact = GetBranches(m.bytes, found_, [&](std::int64_t b) {
          const auto i = static_cast<std::size_t>(b);
          if (owner_[i] != m.from || have_[i]) return false;
          have_[i] = 1;
          ++done_;
          ++ran_[static_cast<std::size_t>(m.from)];
          return true;
        });
        if (!intact) Damaged(m);
        break;
      }
      case kFailure:
        RankFailed(m);
      default:
        throw Error(ErrorCode::kInternal, "unexpected message " + std::to_string(m.tag) +
                                              " from rank " + std::to_string(m.from) +
                                              " during the mixed-cell search");
    }
  }

  [[noreturn]] static void Damaged(const Message& m) {
    throw Error(ErrorCode::kInternal,
                "damaged mixed-cell message from rank " + std::to_string(m.from));
  }

  void SendMissingCells(int rank) {
    std::string message;
    for (std::int64_t b = 0; b < job_.count; ++b) {
      if (owner_[static_cast<std::size_t>(b)] == rank) continue;
      const CellList& cells = found_[static_cast<std::size_t>(b)];
      const std::size_t size = 16 + cells.storage().size() * sizeof(std::int32_t);
      if (!message.empty() && message.size() + size > kCellsMessageBytes)
        t_.Send(rank, kCells, std::exchange(message, std::string()));
      PutBranch(b, cells, message);
    }
    if (!message.empty()) t_.Send(rank, kCells, std::move(message));
  }

  Transport& t_;
  const int threads_;
  const BranchJob& job_;
  std::vector<CellList>& found_;
  std::vector<int> owner_;  // per branch: the rank it was handed to, -1 before
  std::vector<char> have_;  // per branch: its cells are in found_
  std::vector<std::int64_t> ran_;
  std::int64_t next_ = 0;  // branches handed out: 0..next_-1
  std::int64_t done_ = 0;
  int told_ = 0;  // ranks told that no branch is left
};

void Follow(Transport& t, int threads, const BranchJob& job, std::vector<CellList>& found) {
  threads = std::max(1, threads);
  std::vector<char> have(static_cast<std::size_t>(job.count), 0);
  std::int64_t missing = job.count;
  {
    UnitPool pool(threads, IntoFound(job, found));
    AbandonUnlessDone guard(job);
    bool asked = false, noneLeft = false;
    while (true) {
      pool.RethrowIfFailed();
      const bool drained = noneLeft && pool.Idle();  // taken before: nothing finishes after it
      std::string cells;
      for (std::int64_t b : pool.TakeFinished()) {
        PutBranch(b, found[static_cast<std::size_t>(b)], cells);
        have[static_cast<std::size_t>(b)] = 1;
        --missing;
      }
      bool active = !cells.empty();
      if (active) t.Send(0, kBranchCells, std::move(cells));
      if (drained) break;
      if (const std::int64_t idle = IdleThreads(pool, threads); !asked && !noneLeft && idle > 0) {
        std::string request;
        Put<std::int64_t>(request, idle);
        t.Send(0, kBranchRequest, std::move(request));
        asked = active = true;
      }
      if (const std::optional<Message> m = t.Receive(kBranches)) {
        if (m->bytes.size() % sizeof(std::int64_t) != 0)
          throw Error(ErrorCode::kInternal, "damaged mixed-cell message from rank 0");
        const std::vector<std::int64_t> branches = GetIndices(m->bytes);
        for (std::int64_t b : branches) {
          if (b < 0 || b >= job.count)
            throw Error(ErrorCode::kInternal, "damaged mixed-cell message from rank 0");
        }
        noneLeft = branches.empty();
        pool.Push(branches);
        asked = false;
        active = true;
      }
      if (!active) std::this_thread::sleep_for(kIdleWait);
    }
    guard.Done();
  }
  while (missing > 0) {
    const std::optional<Message> m = t.Receive(kCells);
    if (!m) {
      std::this_thread::sleep_for(kIdleWait);
      continue;
    }
    const bool intact = GetBranches(m->bytes, found, [&](std::int64_t b) {
      if (have[static_cast<std::size_t>(b)]) return false;
      have[static_cast<std::size_t>(b)] = 1;
      --missing;
      return true;
    });
    if (!intact) throw Error(ErrorCode::kInternal, "damaged mixed-cell message from rank 0");
  }
}

}  // namespace

void ShareBranches(Transport& transport, int threads, const BranchJob& job,
                   std::vector<CellList>& found, std::vector<std::int64_t>* ranByRank) {
  if (transport.Rank() != 0) {
    Follow(transport, threads, job, found);
    return;
  }
  Leader leader(transport, threads, job, found);
  leader.Run();
  if (ranByRank) *ranByRank = leader.ran();
}

}  // namespace zormix::cluster
