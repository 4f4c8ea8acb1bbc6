#include "cluster/unit_share.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "cluster/unit_pool.h"
#include "solve/checkpoint_record.h"
#include "zormix/error.h"

namespace zormix::cluster {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kIdleWait = std::chrono::milliseconds(1);
// Rank 0 hears an interrupt, and a rank sends the records it has, at least this often.
constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr auto kResultsInterval = std::chrono::seconds(1);
// At most this many units per batch, and about this many batches per thread of the job: few
// messages, and the last batches small enough to even out the ranks.
constexpr std::int64_t kMaxBatch = 64;
constexpr std::int64_t kBatchesPerThread = 8;
// Rank 0 sends a rank the records it lacks in messages of about this size (MPI counts a message's
// bytes in an int), one rank at a time.
constexpr std::size_t kRecordsMessageBytes = std::size_t{64} << 20;

int Dimension(const RouteTracking& tracking) { return static_cast<int>(tracking.endPoints.rows()); }

std::string PutIndices(std::int64_t first, std::int64_t last) {
  std::string out;
  for (std::int64_t u = first; u < last; ++u)
    out.append(reinterpret_cast<const char*>(&u), sizeof u);
  return out;
}

[[noreturn]] void Damaged(const std::string& what, int from) {
  throw Error(ErrorCode::kInternal, "damaged " + what + " from rank " + std::to_string(from));
}

// Fills the slots of the records in `bytes`. take(u) books unit u and says whether this message
// may bring it; a record that is not whole, fails its checksum or brings a unit it may not is a
// damaged message.
template <class Take>
void DecodeRecords(const std::string& bytes, RouteTracking& tracking, int from, Take take) {
  const int n = Dimension(tracking);
  const std::size_t size = UnitRecordSize(n);
  if (bytes.size() % size != 0) Damaged("path records", from);
  for (std::size_t at = 0; at < bytes.size(); at += size) {
    const char* record = bytes.data() + at;
    if (!RecordIntact(record, n)) Damaged("path records", from);
    const std::uint64_t unit = RecordUnit(record);
    if (unit >= static_cast<std::uint64_t>(tracking.total) ||
        !take(static_cast<std::int64_t>(unit)))
      Damaged("path records", from);
    DecodeUnit(record, tracking);
  }
}

[[noreturn]] void RankFailed(const Message& m) {
  throw Error(ErrorCode::kInternal, "rank " + std::to_string(m.from) + " failed: " + m.bytes);
}

class Leader {
 public:
  Leader(Transport& transport, int threads, RouteTracking& tracking,
         const std::function<void()>& poll)
      : t_(transport),
        threads_(std::max(1, threads)),
        tracking_(tracking),
        poll_(poll),
        total_(tracking.total),
        owner_(static_cast<std::size_t>(total_), -1),
        have_(static_cast<std::size_t>(total_), 0),
        ran_(static_cast<std::size_t>(transport.Size()), 0) {
    batch_ = std::clamp<std::int64_t>(total_ / (kBatchesPerThread * transport.Size() * threads_), 1,
                                      kMaxBatch);
  }

  void Run(const std::function<UnitFunction()>& makeWorker) {
    Gather(makeWorker);
    for (int rank = 1; rank < t_.Size(); ++rank) SendMissingRecords(rank);
    poll_();
  }

  const std::vector<std::int64_t>& ran() const { return ran_; }

 private:
  void Gather(const std::function<UnitFunction()>& makeWorker) {
    UnitPool pool(threads_, makeWorker);
    auto lastPoll = Clock::now();
    while (done_ < total_ || told_ < t_.Size() - 1) {
      pool.RethrowIfFailed();
      bool active = false;
      if (pool.Waiting() < static_cast<std::size_t>(threads_) && next_ < total_) {
        const auto [first, last] = HandOut(0);
        std::vector<std::int64_t> units;
        for (std::int64_t u = first; u < last; ++u) units.push_back(u);
        pool.Push(units);
        active = true;
      }
      for (const std::int64_t u : pool.TakeFinished()) {
        have_[static_cast<std::size_t>(u)] = 1;
        ++done_;
        ++ran_[0];
        active = true;
      }
      if (const std::optional<Message> m = t_.Receive(kAnyTag)) {
        Serve(*m);
        active = true;
      }
      if (Clock::now() - lastPoll >= kPollInterval) {
        poll_();
        lastPoll = Clock::now();
      }
      if (!active) std::this_thread::sleep_for(kIdleWait);
    }
  }

  std::pair<std::int64_t, std::int64_t> HandOut(int rank) {
    const std::int64_t first = next_;
    next_ = std::min(total_, next_ + batch_);
    for (std::int64_t u = first; u < next_; ++u) owner_[static_cast<std::size_t>(u)] = rank;
    return {first, next_};
  }

  void Serve(const Message& m) {
    switch (m.tag) {
      case kRequest: {
        const auto [first, last] = HandOut(m.from);
        if (first == last) ++told_;
        t_.Send(m.from, kWork, PutIndices(first, last));
        break;
      }
      case kResults:
        DecodeRecords(m.bytes, tracking_, m.from, [&](std::int64_t u) {
          const auto i = static_cast<std::size_t>(u);
          if (owner_[i] != m.from || have_[i]) return false;
          have_[i] = 1;
          ++done_;
          ++ran_[static_cast<std::size_t>(m.from)];
          return true;
        });
        break;
      case kFailure:
        RankFailed(m);
      default:
        throw Error(ErrorCode::kInternal, "unexpected message " + std::to_string(m.tag) +
                                              " from rank " + std::to_string(m.from) +
                                              " while the ranks track paths");
    }
  }

  // One rank's messages at a time: rank 0 holds one extra copy of the records at most.
  void SendMissingRecords(int rank) {
    std::string message;
    for (std::int64_t u = 0; u < total_; ++u) {
      if (owner_[static_cast<std::size_t>(u)] == rank) continue;
      EncodeUnit(tracking_, u, message);
      if (message.size() >= kRecordsMessageBytes)
        t_.Send(rank, kUnits, std::exchange(message, std::string()));
    }
    if (!message.empty()) t_.Send(rank, kUnits, std::move(message));
    auto lastPoll = Clock::now();
    while (!t_.SendsDone()) {
      if (const std::optional<Message> m = t_.Receive(kFailure)) RankFailed(*m);
      if (Clock::now() - lastPoll >= kPollInterval) {
        poll_();
        lastPoll = Clock::now();
      }
      std::this_thread::sleep_for(kIdleWait);
    }
  }

  Transport& t_;
  const int threads_;
  RouteTracking& tracking_;
  const std::function<void()>& poll_;
  const std::int64_t total_;
  std::vector<int> owner_;  // per unit: the rank it was handed to, -1 before
  std::vector<char> have_;  // per unit: its slot is filled here
  std::vector<std::int64_t> ran_;
  std::int64_t batch_ = 1;
  std::int64_t next_ = 0;  // units handed out: 0..next_-1
  std::int64_t done_ = 0;
  int told_ = 0;  // ranks told that no unit is left
};

class Follower {
 public:
  Follower(Transport& transport, int threads, RouteTracking& tracking)
      : t_(transport),
        threads_(std::max(1, threads)),
        tracking_(tracking),
        have_(static_cast<std::size_t>(tracking.total), 0),
        missing_(tracking.total) {}

  void Run(const std::function<UnitFunction()>& makeWorker) {
    TrackBatches(makeWorker);
    while (missing_ > 0) {
      const std::optional<Message> m = t_.Receive(kUnits);
      if (!m) {
        std::this_thread::sleep_for(kIdleWait);
        continue;
      }
      DecodeRecords(m->bytes, tracking_, 0, [&](std::int64_t u) { return Book(u); });
    }
  }

 private:
  bool Book(std::int64_t u) {
    const auto i = static_cast<std::size_t>(u);
    if (have_[i]) return false;
    have_[i] = 1;
    --missing_;
    return true;
  }

  // Asks for a batch while its threads have fewer units waiting than threads; sends the records
  // of finished units with the next request, at the end, and at least every kResultsInterval.
  void TrackBatches(const std::function<UnitFunction()>& makeWorker) {
    UnitPool pool(threads_, makeWorker);
    bool asked = false;
    std::string records;
    auto lastSend = Clock::now();
    while (true) {
      pool.RethrowIfFailed();
      const bool drained = noneLeft_ && pool.Idle();  // taken before: nothing finishes after it
      for (const std::int64_t u : pool.TakeFinished()) {
        EncodeUnit(tracking_, u, records);
        Book(u);
      }
      const bool ask = !asked && !noneLeft_ && pool.Waiting() < static_cast<std::size_t>(threads_);
      bool active = false;
      if (!records.empty() && (ask || drained || Clock::now() - lastSend >= kResultsInterval)) {
        t_.Send(0, kResults, std::exchange(records, std::string()));
        lastSend = Clock::now();
        active = true;
      }
      if (drained) return;
      if (ask) {
        t_.Send(0, kRequest, std::string());
        asked = active = true;
      }
      if (const std::optional<Message> m = t_.Receive(kWork)) {
        pool.Push(Batch(m->bytes));
        asked = false;
        active = true;
      }
      if (!active) std::this_thread::sleep_for(kIdleWait);
    }
  }

  // The units of a batch; none: nothing is left.
  std::vector<std::int64_t> Batch(const std::string& bytes) {
    if (bytes.size() % sizeof(std::int64_t) != 0) Damaged("batch", 0);
    std::vector<std::int64_t> units(bytes.size() / sizeof(std::int64_t));
    std::memcpy(units.data(), bytes.data(), bytes.size());
    for (const std::int64_t u : units) {
      if (u < 0 || u >= tracking_.total || have_[static_cast<std::size_t>(u)]) Damaged("batch", 0);
    }
    noneLeft_ = units.empty();
    return units;
  }

  Transport& t_;
  const int threads_;
  RouteTracking& tracking_;
  std::vector<char> have_;  // per unit: its slot is filled here
  std::int64_t missing_;
  bool noneLeft_ = false;  // rank 0 has no unit left
};

}  // namespace

void ShareUnits(Transport& transport, int threads, RouteTracking& tracking,
                const std::function<UnitFunction()>& makeWorker, const std::function<void()>& poll,
                std::vector<std::int64_t>* ranByRank) {
  if (transport.Rank() != 0) {
    Follower(transport, threads, tracking).Run(makeWorker);
    return;
  }
  Leader leader(transport, threads, tracking, poll);
  leader.Run(makeWorker);
  if (ranByRank) *ranByRank = leader.ran();
}

}  // namespace zormix::cluster
