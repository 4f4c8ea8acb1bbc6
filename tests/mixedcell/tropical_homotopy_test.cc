// The tropical homotopy against the depth-first search: the same mixed cells for the same lifting,
// on the benchmark families and on random supports (repeated, unmixed, with coincident points).
#include "mixedcell/tropical_homotopy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "mixedcell/cell_audit.h"
#include "mixedcell/mixed_cell_search.h"
#include "mixedcell/mixed_volume_util.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::Reduced;
using testing::Supports;
using testing::WithOrigin;

// Each cell as its set of pairs (first < second), independent of row and cell order.
std::set<std::vector<std::pair<int, int>>> CellSet(const CellList& cells) {
  std::set<std::vector<std::pair<int, int>>> out;
  for (std::int64_t c = 0; c < cells.size(); ++c) {
    std::vector<std::pair<int, int>> rows;
    for (int i = 0; i < cells.n(); ++i) {
      rows.emplace_back(std::min(cells.First(c, i), cells.Second(c, i)),
                        std::max(cells.First(c, i), cells.Second(c, i)));
    }
    std::sort(rows.begin(), rows.end());
    out.insert(rows);
  }
  return out;
}

void ExpectSameCells(const ReducedSupports& sup, const std::string& what) {
  CellList searched(sup.n), followed(sup.n);
  ASSERT_TRUE(MixedCellSearch(sup, searched, {}));
  ASSERT_EQ(TropicalHomotopyCells(sup, followed, 2, {}), HomotopyOutcome::kDone) << what;
  EXPECT_EQ(followed.size(), searched.size()) << what;
  EXPECT_EQ(CellSet(followed), CellSet(searched)) << what;
}

TEST(TropicalHomotopyTest, SameCellsAsTheSearchOnTheFamilies) {
  for (int seed : {1, 2}) {
    ExpectSameCells(Reduced(WithOrigin(testing::Cyclic(6)), seed), "cyclic-6");
    ExpectSameCells(Reduced(WithOrigin(testing::Katsura(6)), seed), "katsura-6");
    ExpectSameCells(Reduced(WithOrigin(testing::Noon(5)), seed), "noon-5");
    ExpectSameCells(Reduced(WithOrigin(testing::Eco(7)), seed), "eco-7");
  }
}

// n = 2..5, 1..7 points per support with exponents 0..3 (the origin not always among them), some
// supports repeated or all equal: many lattice coincidences, flips between cells of equal volume.
Supports RandomSupports(std::mt19937& rng, std::uint32_t coordinates = 4) {
  const int n = 2 + static_cast<int>(rng() % 4);
  const int kind = static_cast<int>(rng() % 3);  // 0: mixed, 1: one repeat, 2: unmixed
  Supports s;
  s.n = n;
  std::vector<std::vector<std::vector<std::int32_t>>> sups(n);
  for (int i = 0; i < n; ++i) {
    if ((kind == 2 && i > 0) || (kind == 1 && i == n - 1)) {
      sups[i] = sups[kind == 2 ? 0 : rng() % (n - 1)];
      continue;
    }
    const int count = 1 + static_cast<int>(rng() % 7);
    std::set<std::vector<std::int32_t>> seen;
    while (static_cast<int>(sups[i].size()) < count) {
      std::vector<std::int32_t> e(n);
      for (auto& x : e) x = static_cast<std::int32_t>(rng() % coordinates);
      if (seen.insert(e).second) sups[i].push_back(e);
    }
  }
  std::int64_t m = 0;
  for (const auto& sp : sups) m += static_cast<std::int64_t>(sp.size());
  s.exponents.Assign(n, m);
  std::int64_t p = 0;
  for (const auto& sp : sups) {
    s.termCount.push_back(static_cast<std::int32_t>(sp.size()));
    for (const auto& e : sp) {
      for (int k = 0; k < n; ++k) s.exponents(k, p) = e[k];
      ++p;
    }
  }
  return s;
}

TEST(TropicalHomotopyTest, SameCellsAsTheSearchOnRandomSupports) {
  std::mt19937 rng(2026);
  int followed = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const ReducedSupports sup = Reduced(RandomSupports(rng), 500 + trial);
    CellList searched(sup.n), cells(sup.n);
    ASSERT_TRUE(MixedCellSearch(sup, searched, {}));
    const HomotopyOutcome outcome = TropicalHomotopyCells(sup, cells, 1, {});
    // A support of one point has no pair and no degree: the caller then takes the search.
    if (outcome == HomotopyOutcome::kDegenerate) continue;
    ASSERT_EQ(outcome, HomotopyOutcome::kDone);
    ++followed;
    EXPECT_EQ(CellSet(cells), CellSet(searched)) << "trial " << trial;
  }
  EXPECT_GT(followed, 250);
}

// Exponents up to 2^17 (rates far beyond 2^53, which the floating-point filter must hand to exact
// integers, and 128-bit overflows) and liftings that differ only in their last bits (event times
// closer than the filter's brackets): every cell passes the exact lower-facet test and the volumes
// add up to the mixed volume of a second lifting.
TEST(TropicalHomotopyTest, CloseEventsAndLargeExponentsAreDecidedExactly) {
  std::mt19937 rng(77);
  int followed = 0;
  for (int trial = 0; trial < 80; ++trial) {
    const bool large = trial % 2 == 1;
    ReducedSupports sup = Reduced(RandomSupports(rng, large ? 1u << 17 : 4u), 900 + trial);
    if (!large) {
      for (double& w : sup.w) w = 0.5 + std::ldexp(std::floor(w * 1024), -50);
    }
    CellList cells(sup.n);
    if (TropicalHomotopyCells(sup, cells, 1, {}) != HomotopyOutcome::kDone) continue;
    ++followed;
    const CellAudit audit = AuditCells(sup, cells, {});
    EXPECT_TRUE(audit.warnings.empty()) << "trial " << trial << ": " << audit.warnings.front();
    EXPECT_EQ(audit.volumeSum, audit.independentVolume) << "trial " << trial;
  }
  EXPECT_GT(followed, 50);
}

// A start cell lost or followed twice in the first, a middle or the last stage is caught by that
// stage's check (the volumes fall short, a cell repeats), on one thread and on two; the same run
// without the fault passes.
TEST(TropicalHomotopyTest, StageCheckCatchesALostOrRepeatedCell) {
  for (const Supports& s : {WithOrigin(testing::Cyclic(6)), WithOrigin(testing::Katsura(6))}) {
    const ReducedSupports sup = Reduced(s, 5);
    std::vector<std::string> findings;
    CellList cells(sup.n);
    ASSERT_EQ(TropicalHomotopyCells(sup, cells, 1, {}, &findings), HomotopyOutcome::kDone);
    EXPECT_TRUE(findings.empty());
    for (const int stage : {0, sup.n / 2, sup.n - 1}) {
      for (const bool twice : {false, true}) {
        PlantedFault fault;
        fault.stage = stage;
        fault.startCell = 0;
        fault.twice = twice;
        const int threads = twice ? 2 : 1;
        const std::string what = "stage " + std::to_string(stage) + (twice ? " twice" : " lost");
        findings.clear();
        CellList faulty(sup.n);
        EXPECT_EQ(TropicalHomotopyCells(sup, faulty, threads, {}, &findings, fault),
                  HomotopyOutcome::kFailedCheck)
            << what;
        ASSERT_EQ(findings.size(), 1u) << what;
        EXPECT_NE(findings[0].find("stage " + std::to_string(stage + 1)), std::string::npos);
        EXPECT_NE(findings[0].find(twice ? "found twice" : "cells are missing"), std::string::npos)
            << findings[0];
      }
    }
  }
}

// A stop request ends the homotopy at its next poll, on one thread and on two.
TEST(TropicalHomotopyTest, StopRequestEndsIt) {
  const ReducedSupports sup = Reduced(WithOrigin(testing::Cyclic(8)), 1);
  for (int threads : {1, 2}) {
    std::atomic<int> polls{0};
    CellList cells(sup.n);
    EXPECT_EQ(TropicalHomotopyCells(sup, cells, threads, [&] { return ++polls > 2; }),
              HomotopyOutcome::kStopped);
    EXPECT_EQ(cells.size(), 0);
    EXPECT_LE(polls.load(), 3 + threads);
  }
}

}  // namespace
}  // namespace zormix
