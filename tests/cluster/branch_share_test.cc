// The branch pool of a job's mixed-cell search over an in-process transport: ranks are threads, and
// every branch writes cells that name it, so that a lost, repeated or misplaced list shows.
#include "cluster/branch_share.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "zormix/error.h"

namespace zormix::cluster {
namespace {

using ::testing::HasSubstr;

// Thrown by a Receive that finds nothing once the network is closed: ends the ranks a real job
// would end by MPI_Abort.
struct Closed {};

// One inbox per rank; a message is delivered as soon as it is sent.
class Network {
 public:
  explicit Network(int ranks) : inbox_(static_cast<std::size_t>(ranks)) {}
  void Deliver(int to, Message m) {
    std::lock_guard<std::mutex> lock(mutex_);
    inbox_[static_cast<std::size_t>(to)].push_back(std::move(m));
  }
  std::optional<Message> Take(int rank, Tag tag) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<Message>& box = inbox_[static_cast<std::size_t>(rank)];
    for (auto it = box.begin(); it != box.end(); ++it) {
      if (tag != kAnyTag && it->tag != tag) continue;
      Message m = std::move(*it);
      box.erase(it);
      return m;
    }
    if (closed_) throw Closed{};
    return std::nullopt;
  }
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  int size() const { return static_cast<int>(inbox_.size()); }

 private:
  std::mutex mutex_;
  std::vector<std::deque<Message>> inbox_;
  bool closed_ = false;
};

class FakeTransport : public Transport {
 public:
  FakeTransport(Network& net, int rank) : net_(net), rank_(rank) {}
  int Rank() const override { return rank_; }
  int Size() const override { return net_.size(); }
  void Send(int to, Tag tag, std::string bytes) override {
    net_.Deliver(to, Message{rank_, tag, std::move(bytes)});
  }
  std::optional<Message> Receive(Tag tag) override { return net_.Take(rank_, tag); }
  bool SendsDone() override { return true; }

 private:
  Network& net_;
  int rank_;
};

constexpr int kN = 3;

// Branch b has b % 4 cells; cell c of it holds b in every first entry and c in every second.
CellList BranchCells(std::int64_t b) {
  CellList cells(kN);
  for (std::int64_t c = 0; c < b % 4; ++c) {
    const std::int64_t at = cells.AddCell();
    for (int i = 0; i < kN; ++i) {
      cells.First(at, i) = static_cast<std::int32_t>(b);
      cells.Second(at, i) = static_cast<std::int32_t>(c);
    }
  }
  return cells;
}

// Holds every rank's first branch until each rank has started one (or the branch is abandoned),
// so that every rank's share is certain however the threads are scheduled.
class FirstBranchGate {
 public:
  explicit FirstBranchGate(int ranks) : waiting_(ranks) {}
  void Arrive(const std::atomic<bool>& abandoned) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (--waiting_ == 0) opened_.notify_all();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (waiting_ > 0 && !abandoned && std::chrono::steady_clock::now() < deadline)
      opened_.wait_for(lock, std::chrono::milliseconds(10));
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  int waiting_;
};

struct RankRun {
  std::vector<CellList> found;
  std::atomic<std::int64_t> ran{0};
  std::vector<std::int64_t> ranByRank;
  std::string failure;
};

// Every rank runs ShareBranches with a job of `count` branches on `threads` threads.
// failOnRank's first branch throws; its rank reports the failure to rank 0 as a real rank does.
void RunJob(int ranks, int threads, std::int64_t count, std::vector<RankRun>& runs,
            int failOnRank = -1, std::function<bool()> stopRankZero = {}) {
  Network net(ranks);
  FirstBranchGate gate(failOnRank < 0 ? ranks : ranks - 1);
  runs = std::vector<RankRun>(static_cast<std::size_t>(ranks));
  std::vector<std::thread> threadsOfRanks;
  for (int r = 0; r < ranks; ++r) {
    threadsOfRanks.emplace_back([&, r] {
      RankRun& run = runs[static_cast<std::size_t>(r)];
      std::atomic<bool> abandoned{false};
      std::atomic<bool> first{true};
      BranchJob job;
      job.count = count;
      job.makeWorker = [&]() -> BranchFunction {
        return [&](std::int64_t b, CellList& cells) {
          if (stopRankZero && r == 0) {
            while (!abandoned) std::this_thread::yield();
            return;
          }
          if (first.exchange(false)) {
            if (r == failOnRank) throw std::runtime_error("boom");
            if (!stopRankZero) gate.Arrive(abandoned);
          }
          cells = BranchCells(b);
          ++run.ran;
        };
      };
      job.stopped = [&] { return stopRankZero && stopRankZero(); };
      job.abandon = [&] { abandoned = true; };
      run.found.assign(static_cast<std::size_t>(count), CellList(kN));
      FakeTransport transport(net, r);
      try {
        ShareBranches(transport, threads, job, run.found, &run.ranByRank);
      } catch (const Closed&) {
      } catch (const std::exception& e) {
        run.failure = e.what();
        if (r != 0) {
          transport.Send(0, kFailure, e.what());
          return;
        }
      }
      if (r == 0) net.Close();  // rank 0 is done: a job would now go on or end
    });
  }
  for (std::thread& t : threadsOfRanks) t.join();
}

TEST(BranchShareTest, EveryRankRunsBranchesAndEndsWithAllCellsInBranchOrder) {
  for (int threads : {1, 2}) {
    std::vector<RankRun> runs;
    RunJob(3, threads, 41, runs);
    std::int64_t total = 0;
    for (int r = 0; r < 3; ++r) {
      const RankRun& run = runs[static_cast<std::size_t>(r)];
      EXPECT_EQ(run.failure, "");
      EXPECT_GT(run.ran.load(), 0) << "rank " << r << ", " << threads << " threads";
      EXPECT_EQ(runs[0].ranByRank[static_cast<std::size_t>(r)], run.ran.load()) << r;
      total += run.ran;
      ASSERT_EQ(run.found.size(), 41u);
      for (std::int64_t b = 0; b < 41; ++b) {
        EXPECT_EQ(run.found[static_cast<std::size_t>(b)].storage(), BranchCells(b).storage())
            << "rank " << r << ", branch " << b;
      }
    }
    EXPECT_EQ(total, 41);  // each branch run once
  }
}

// A search without branches (no lower edge of the first support) ends on every rank at once.
TEST(BranchShareTest, NoBranchesEndsCleanlyOnEveryRank) {
  std::vector<RankRun> runs;
  RunJob(3, 1, 0, runs);
  for (const RankRun& run : runs) EXPECT_TRUE(run.found.empty());
}

TEST(BranchShareTest, AFailingRankIsNamedByRankZero) {
  std::vector<RankRun> runs;
  RunJob(3, 1, 30, runs, 2);
  EXPECT_EQ(runs[0].failure, "rank 2 failed: boom");
}

// Rank 0's stop poll ends its share at once and abandons the branch its thread is in.
TEST(BranchShareTest, AStopOnRankZeroEndsItsShareAndAbandonsItsBranches) {
  std::vector<RankRun> runs;
  std::atomic<int> polls{0};
  RunJob(3, 1, 30, runs, -1, [&] { return ++polls > 20; });
  EXPECT_EQ(runs[0].failure, "");
  EXPECT_EQ(runs[0].ran.load(), 0);  // its one branch was waiting for the abandon
}

}  // namespace
}  // namespace zormix::cluster
