// The cell list itself, not only its volume: the same cells in the same order, with the same
// lifting, for every thread count, and the cells the search gave before its speed-ups in canonical
// order (pinned by a hash), so that a faster enumeration cannot reorder or drop cells unnoticed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "mixedcell/mixed_cells.h"
#include "mixedcell/mixed_volume_util.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::Supports;
using testing::WithOrigin;

// FNV-1a over the lifting's bits, the kept-point permutation and the cells in order.
std::uint64_t ResultHash(const MixedCellResult& r) {
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&](const void* data, std::size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
      h ^= bytes[i];
      h *= 1099511628211ull;
    }
  };
  mix(r.lifting.data(), r.lifting.size() * sizeof(double));
  mix(r.perm.data(), r.perm.size() * sizeof(std::int32_t));
  mix(r.cells.storage().data(), r.cells.storage().size() * sizeof(std::int32_t));
  return h;
}

CellSearchControl Control(int threads, std::function<bool()> stop = {}) {
  CellSearchControl control;
  control.threads = threads;
  control.stop = std::move(stop);
  return control;
}

MixedCellResult Compute(const Supports& s, int threads, std::uint64_t seed = 1) {
  RuntimeUniform runtime(seed);
  return ComputeMixedCells(s.n, s.termCount, s.exponents, runtime, Control(threads));
}

void ExpectSameResult(const MixedCellResult& a, const MixedCellResult& b, const std::string& what) {
  EXPECT_EQ(a.keptCount, b.keptCount) << what;
  EXPECT_EQ(a.perm, b.perm) << what;
  ASSERT_EQ(a.lifting.size(), b.lifting.size()) << what;
  EXPECT_EQ(0, std::memcmp(a.lifting.data(), b.lifting.data(), a.lifting.size() * sizeof(double)))
      << what;
  EXPECT_EQ(a.cells.size(), b.cells.size()) << what;
  EXPECT_EQ(a.cells.storage(), b.cells.storage()) << what;
}

struct Named {
  std::string name;
  Supports supports;
};

std::vector<Named> ClassicSystems() {
  return {{"cyclic-7", WithOrigin(testing::Cyclic(7))},
          {"katsura-7", WithOrigin(testing::Katsura(7))},
          {"noon-6", WithOrigin(testing::Noon(6))},
          {"eco-8", WithOrigin(testing::Eco(8))}};
}

TEST(CellOrderTest, ThreadCountDoesNotChangeTheCellList) {
  for (const Named& sys : ClassicSystems()) {
    const MixedCellResult serial = Compute(sys.supports, 1);
    for (int threads : {2, 3, 8}) {
      ExpectSameResult(serial, Compute(sys.supports, threads),
                       sys.name + " with " + std::to_string(threads) + " threads");
    }
  }
}

// A stop request ends the search early, on one thread and on several, and says so; a stop that
// never fires leaves the list as it is without one.
TEST(CellOrderTest, StopRequestEndsTheSearchAndMarksItIncomplete) {
  const Supports cyclic = WithOrigin(testing::Cyclic(8));
  const MixedCellResult full = Compute(cyclic, 1);
  for (int threads : {1, 2}) {
    std::atomic<int> polls{0};
    RuntimeUniform runtime(1);
    const MixedCellResult stopped =
        ComputeMixedCells(cyclic.n, cyclic.termCount, cyclic.exponents, runtime,
                          Control(threads, [&] { return ++polls > 3; }));
    EXPECT_FALSE(stopped.complete) << threads;
    EXPECT_LT(stopped.cells.size(), full.cells.size()) << threads;
    // Once seen, the request is not asked again per branch: every searcher stops at once.
    EXPECT_LE(polls.load(), 4 + threads) << threads;

    RuntimeUniform again(1);
    const MixedCellResult unstopped =
        ComputeMixedCells(cyclic.n, cyclic.termCount, cyclic.exponents, again,
                          Control(threads, [] { return false; }));
    EXPECT_TRUE(unstopped.complete);
    ExpectSameResult(full, unstopped, "never stopped, " + std::to_string(threads) + " threads");
  }
}

// The stop request is asked on the calling thread only (a MEX host answers there alone), also while
// the homotopy, the audit and the search run on two threads; a request seen there stops them all.
TEST(CellOrderTest, StopRequestIsAskedOnTheCallingThreadOnly) {
  const Supports cyclic = WithOrigin(testing::Cyclic(9));
  for (int stopAfter : {3, 1 << 30}) {
    std::mutex mutex;
    std::set<std::thread::id> askedOn;
    int polls = 0;
    RuntimeUniform runtime(1);
    const MixedCellResult r =
        ComputeMixedCells(cyclic.n, cyclic.termCount, cyclic.exponents, runtime, Control(2, [&] {
                            std::lock_guard<std::mutex> lock(mutex);
                            askedOn.insert(std::this_thread::get_id());
                            return ++polls > stopAfter;
                          }));
    EXPECT_EQ(r.complete, stopAfter > 3);
    EXPECT_EQ(askedOn, std::set<std::thread::id>{std::this_thread::get_id()});
  }
}

// A runner (the processes of a cluster job) may run the branches in any order, each with a searcher
// made for it: the lists are joined in branch order into the list of the threaded search.
TEST(CellOrderTest, ABranchRunnerGivesTheCellListOfTheThreadedSearch) {
  for (const Named& sys : ClassicSystems()) {
    std::int64_t branches = 0;
    CellSearchControl control;
    control.runBranches = [&](const BranchJob& job, std::vector<CellList>& found) {
      branches = job.count;
      for (std::int64_t b = job.count - 1; b >= 0; --b) {
        job.makeWorker()(b, found[static_cast<std::size_t>(b)]);
      }
    };
    RuntimeUniform runtime(1);
    const MixedCellResult viaRunner = ComputeMixedCells(sys.supports.n, sys.supports.termCount,
                                                        sys.supports.exponents, runtime, control);
    EXPECT_TRUE(viaRunner.complete);
    EXPECT_GT(branches, 1) << sys.name;
    ExpectSameResult(Compute(sys.supports, 2), viaRunner, sys.name + " through a runner");
  }
}

// A runner that sees the stop request, or gives up (abandon), leaves the result incomplete.
TEST(CellOrderTest, ARunnerThatStopsOrAbandonsLeavesTheResultIncomplete) {
  const Supports cyclic = WithOrigin(testing::Cyclic(7));
  for (bool abandon : {false, true}) {
    bool stop = false;
    CellSearchControl control;
    control.stop = [&] { return stop; };
    control.runBranches = [&](const BranchJob& job, std::vector<CellList>& found) {
      job.makeWorker()(0, found[0]);
      EXPECT_FALSE(job.stopped());
      stop = !abandon;
      if (abandon) job.abandon();
      EXPECT_TRUE(job.stopped());
    };
    RuntimeUniform runtime(1);
    EXPECT_FALSE(
        ComputeMixedCells(cyclic.n, cyclic.termCount, cyclic.exponents, runtime, control).complete)
        << (abandon ? "abandoned" : "stopped");
  }
}

// Repeated and identical supports (many ties between the supports' shapes), small random ones.
TEST(CellOrderTest, ThreadCountDoesNotChangeTheCellListOfRepeatedSupports) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 40; ++trial) {
    const int n = 2 + static_cast<int>(rng() % 4);
    std::vector<std::vector<std::int32_t>> base = {std::vector<std::int32_t>(n, 0)};
    const int count = 3 + static_cast<int>(rng() % 6);
    while (static_cast<int>(base.size()) < count) {
      std::vector<std::int32_t> e(n);
      for (auto& x : e) x = static_cast<std::int32_t>(rng() % 3);
      base.push_back(e);  // duplicates allowed: the vertex filter must cope with them
    }
    Supports s;
    s.n = n;
    s.exponents.Assign(n, static_cast<std::int64_t>(n) * count);
    for (int i = 0; i < n; ++i) {
      s.termCount.push_back(count);
      for (int p = 0; p < count; ++p) {
        const std::int64_t col = static_cast<std::int64_t>(i) * count + p;
        for (int k = 0; k < n; ++k) s.exponents(k, col) = base[p][k];
      }
    }
    const MixedCellResult serial = Compute(s, 1, 100 + trial);
    ExpectSameResult(serial, Compute(s, 2, 100 + trial), "trial " + std::to_string(trial));
    ExpectSameResult(serial, Compute(s, 5, 100 + trial), "trial " + std::to_string(trial));
  }
}

// Hashes of the lists the search gave before it was sped up, put into canonical order (seed 1,
// origin appended); the lists are in that order, strictly increasing, and pass the audit.
TEST(CellOrderTest, CellListsMatchThoseOfTheOriginalSearchInCanonicalOrder) {
  const std::vector<std::uint64_t> expected = {
      0x8f7710a25c1053bfull,  // cyclic-7
      0xa3f0e95c261d8b60ull,  // katsura-7
      0xb4714ca9c8ca8dd1ull,  // noon-6
      0x4a12faff1ff4c72cull,  // eco-8
  };
  const std::vector<Named> systems = ClassicSystems();
  ASSERT_EQ(expected.size(), systems.size());
  for (std::size_t i = 0; i < systems.size(); ++i) {
    const MixedCellResult serial = Compute(systems[i].supports, 1);
    EXPECT_EQ(ResultHash(serial), expected[i]) << systems[i].name;
    EXPECT_EQ(ResultHash(Compute(systems[i].supports, 2)), expected[i]) << systems[i].name;
    EXPECT_TRUE(serial.warnings.empty()) << systems[i].name;
    const std::vector<std::int32_t>& cells = serial.cells.storage();
    const std::size_t width = 2 * static_cast<std::size_t>(serial.cells.n());
    for (std::size_t c = width; c < cells.size(); c += width) {
      // Cell c - 1 before cell c: rows (first, second) compared from equation 1 on.
      std::vector<std::int32_t> a, b;
      for (int i = 0; i < serial.cells.n(); ++i) {
        a.insert(a.end(), {cells[c - width + i], cells[c - width + serial.cells.n() + i]});
        b.insert(b.end(), {cells[c + i], cells[c + serial.cells.n() + i]});
      }
      ASSERT_LT(a, b) << systems[i].name << " cell " << c / width;
    }
  }
}

}  // namespace
}  // namespace zormix
