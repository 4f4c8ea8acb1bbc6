// The exact cell test and the audit of a cell list: decisions at the last bit of the lifting, on
// coordinates that overflow 128 bits, by rate then offset for a moving lifting, exact divisions, a
// spurious cell removed and a dropped cell caught.
#include "mixedcell/cell_audit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "mixedcell/exact_cells.h"
#include "mixedcell/exact_int.h"
#include "mixedcell/mixed_volume_util.h"
#include "mixedcell/stage_check.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::Reduced;
using testing::Supports;
using testing::WithOrigin;

// Two supports in the plane, three points each, lifted by W(a) = -<a, y0> + h(a): the pairs of the
// points with h = 0 are lowest under y0, and the third point of each support lies h(a) above.
ReducedSupports PlaneSupports(std::int64_t scale, double h0, double h1) {
  ReducedSupports sup;
  sup.n = 2;
  sup.m = 6;
  sup.counts = {3, 3};
  sup.ComputeColumnRanges();
  const std::int64_t pts[6][2] = {{0, 0}, {scale, 1}, {1, 1}, {0, 0}, {1, scale}, {scale, scale}};
  sup.exponents.Assign(2, 6);
  for (int p = 0; p < 6; ++p) {
    sup.exponents(0, p) = static_cast<std::int32_t>(pts[p][0]);
    sup.exponents(1, p) = static_cast<std::int32_t>(pts[p][1]);
  }
  const double y0[2] = {0x1.8p-3, -0x1.4p-2};
  for (int p = 0; p < 6; ++p) {
    sup.w.push_back(
        -(static_cast<double>(pts[p][0]) * y0[0] + static_cast<double>(pts[p][1]) * y0[1]));
  }
  sup.w[2] += h0;
  sup.w[5] += h1;
  return sup;
}

CellList PlaneCell() {
  CellList cells(2);
  cells.AddCell();
  cells.First(0, 0) = 0;
  cells.Second(0, 0) = 1;
  cells.First(0, 1) = 3;
  cells.Second(0, 1) = 4;
  return cells;
}

CellVerdict Verdict(const ReducedSupports& sup) {
  CellDecider decider(sup, ScaledLifting(sup.w));
  return decider.Decide(PlaneCell(), 0).verdict;
}

// A third point at the last bit above, on, or below the pair's line decides the cell, with small
// coordinates (128 bits suffice) and with coordinates whose products overflow 128 bits.
TEST(ExactCellsTest, DecidesAtTheLastBitOfTheLifting) {
  for (std::int64_t scale : {std::int64_t{3}, std::int64_t{1} << 30}) {
    // The last bit of the largest lifting value, about 2^29 for the large coordinates.
    const double tiny = std::ldexp(1.0, scale == 3 ? -50 : -20);
    const std::string what = "scale " + std::to_string(scale);
    EXPECT_EQ(Verdict(PlaneSupports(scale, tiny, 0.5)), CellVerdict::kCell) << what;
    EXPECT_EQ(Verdict(PlaneSupports(scale, -tiny, 0.5)), CellVerdict::kNotACell) << what;
    EXPECT_EQ(Verdict(PlaneSupports(scale, 0.5, -tiny)), CellVerdict::kNotACell) << what;
    EXPECT_EQ(Verdict(PlaneSupports(scale, 0.0, 0.5)), CellVerdict::kTied) << what;
  }
  const ReducedSupports small = PlaneSupports(3, 0.5, 0.5);
  CellDecider decider(small, ScaledLifting(small.w));
  // det of rows (3, 1) and (1, 3).
  EXPECT_EQ(decider.Decide(PlaneCell(), 0).volume, 8);
}

TEST(ExactCellsTest, LiftingWithoutACommonScaleIsLeftUndecided) {
  EXPECT_EQ(ScaledLifting({0.75, 0.5}), (std::vector<std::int64_t>{3, 2}));
  EXPECT_EQ(ScaledLifting({-0.75, 3.0}), (std::vector<std::int64_t>{-3, 12}));
  EXPECT_TRUE(ScaledLifting({1.0, std::ldexp(1.0, -70)}).empty());
  EXPECT_TRUE(ScaledLifting({0.5, NAN}).empty());
  ReducedSupports sup = PlaneSupports(3, 0.5, 0.5);
  sup.w[5] = std::ldexp(1.0, -80);
  EXPECT_EQ(Verdict(sup), CellVerdict::kUnchecked);
}

// Rows that do not take one pair of each support are no cell, whatever the lifting.
TEST(ExactCellsTest, RowsMustTakeOnePairPerSupport) {
  const ReducedSupports sup = PlaneSupports(3, 0.5, 0.5);
  CellDecider decider(sup, ScaledLifting(sup.w));
  CellList cells = PlaneCell();
  cells.Second(0, 1) = 1;  // a pair across two supports
  EXPECT_EQ(decider.Decide(cells, 0).verdict, CellVerdict::kNotACell);
  cells = PlaneCell();
  cells.First(0, 1) = 1;  // support 1 twice, support 2 never
  cells.Second(0, 1) = 2;
  EXPECT_EQ(decider.Decide(cells, 0).verdict, CellVerdict::kNotACell);
}

// Exact quotients of 128-bit numerators by odd, even and negative divisors within 64 bits.
TEST(ExactCellsTest, DividesExactlyByTheInverse) {
  const __int128 big = (static_cast<__int128>(1) << 100) + 12345;
  for (const std::int64_t d : {std::int64_t{1}, std::int64_t{-1}, std::int64_t{3}, std::int64_t{-6},
                               std::int64_t{3} << 40, std::numeric_limits<std::int64_t>::max()}) {
    const ExactDivisor divisor(d);
    for (const __int128 q : {big, -big, static_cast<__int128>(7), static_cast<__int128>(-7),
                             static_cast<__int128>(0)}) {
      if (d > (std::int64_t{1} << 26) && (q == big || q == -big)) continue;  // q d must fit
      EXPECT_TRUE(divisor.Divide(q * d) == q) << "d = " << d;
    }
  }
}

// Two supports in the plane, pairs (0,0)-(1,0) and (0,0)-(0,1) at height 0 with the normal 0, and a
// third point (1,1) in each whose lifting is h + t r in the first support: decided for t -> +inf,
// the rate r first, the offset h when the rate is 0.
TEST(ExactCellsTest, StageCellsAreDecidedByRateThenOffset) {
  struct Case {
    std::int8_t rate;
    std::int64_t offset;
    bool cell;  // a tie (offset 0 at rate 0) is none: the lifting is not generic
  };
  for (const Case& c : {Case{1, -5, true}, Case{-1, 5, false}, Case{0, -5, false}, Case{0, 3, true},
                        Case{0, 0, false}}) {
    Config cfg;
    cfg.n = 2;
    const std::int32_t points[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {0, 1}, {1, 1}};
    for (int p = 0; p < 6; ++p) {
      if (p % 3 == 0) cfg.start.push_back(p);
      cfg.Add(points[p], p == 2 ? c.offset : (p == 5 ? 4 : 0));
    }
    cfg.start.push_back(6);
    cfg.dir[2] = c.rate;
    StageChecker checker(cfg);
    StageTally tally;
    const std::int32_t cell[4] = {0, 1, 0, 1};
    checker.Record(cell, true, tally);
    const std::string what =
        "rate " + std::to_string(c.rate) + " offset " + std::to_string(c.offset);
    EXPECT_EQ(tally.failed, c.cell ? 0 : 1) << what;
    EXPECT_TRUE(tally.keptVolume == (c.cell ? 1 : 0)) << what;
  }
}

CellList Search(const ReducedSupports& sup) {
  CellList cells(sup.n);
  EXPECT_TRUE(MixedCellSearch(sup, cells, {}));
  return cells;
}

bool Mentions(const std::vector<std::string>& warnings, const std::string& text) {
  for (const std::string& w : warnings) {
    if (w.find(text) != std::string::npos) return true;
  }
  return false;
}

// A complete list passes; with one cell dropped the volume sum falls short of the independent
// search's mixed volume and the audit says so.
TEST(CellAuditTest, ADroppedCellIsCaught) {
  for (const Supports& s : {WithOrigin(testing::Cyclic(5)), WithOrigin(testing::Katsura(5))}) {
    const ReducedSupports sup = Reduced(s, 11);
    CellList cells = Search(sup);
    ASSERT_GT(cells.size(), 2);
    const CellAudit whole = AuditCells(sup, cells, {});
    EXPECT_TRUE(whole.warnings.empty()) << whole.warnings.front();
    EXPECT_EQ(whole.independentVolume, whole.volumeSum);
    EXPECT_EQ(whole.volumeSum, testing::MixedVolume(sup.exponents, cells));

    std::vector<std::int8_t> keep(static_cast<std::size_t>(cells.size()), 1);
    keep[1] = 0;
    cells.Keep(keep);
    const CellAudit short1 = AuditCells(sup, cells, {});
    EXPECT_LT(short1.volumeSum, whole.volumeSum);
    EXPECT_EQ(short1.independentVolume, whole.volumeSum);
    EXPECT_TRUE(Mentions(short1.warnings, "roots may be missing"));
    // Without the independent computation nothing can tell.
    EXPECT_TRUE(AuditCells(sup, cells, {}, false).warnings.empty());
  }
}

// A tuple of pairs that is not a lower facet (a cell with one pair replaced) is removed, loudly,
// and the rest of the list still sums to the mixed volume.
TEST(CellAuditTest, ASpuriousCellIsRemoved) {
  const ReducedSupports sup = Reduced(WithOrigin(testing::Cyclic(5)), 3);
  CellList cells = Search(sup);
  const std::int64_t found = cells.size();
  const std::int64_t volume = AuditCells(sup, cells, {}, false).volumeSum;
  const std::int64_t copy = cells.AddCell();
  for (int i = 0; i < sup.n; ++i) {
    cells.First(copy, i) = cells.First(0, i);
    cells.Second(copy, i) = cells.Second(0, i);
  }
  // Another second point of the first row's support, one that leaves some point below.
  const int p = cells.First(0, 0);
  int s = 0;
  while (p > sup.endCol[s]) ++s;
  CellDecider decider(sup, ScaledLifting(sup.w));
  bool spurious = false;
  for (int q = sup.startCol[s]; q <= sup.endCol[s] && !spurious; ++q) {
    if (q == p || q == cells.Second(0, 0)) continue;
    cells.Second(copy, 0) = q;
    spurious = decider.Decide(cells, copy).verdict == CellVerdict::kNotACell;
  }
  ASSERT_TRUE(spurious);
  const CellAudit audit = AuditCells(sup, cells, {});
  EXPECT_EQ(audit.removed, 1);
  EXPECT_EQ(cells.size(), found);
  EXPECT_EQ(audit.volumeSum, volume);
  EXPECT_TRUE(Mentions(audit.warnings, "removed"));
  EXPECT_FALSE(Mentions(audit.warnings, "roots may be missing"));
}

}  // namespace
}  // namespace zormix
