// The tropical homotopy against the depth-first search: the same mixed cells for the same lifting,
// on the benchmark families and on random supports (repeated, unmixed, with coincident points).
#include "mixedcell/tropical_homotopy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "mixedcell/mixed_cell_search.h"
#include "mixedcell/mixed_volume_util.h"
#include "support/systems.h"

namespace zormix {
namespace {

using testing::Supports;
using testing::WithOrigin;

ReducedSupports Reduced(const Supports& s, std::uint64_t seed) {
  ReducedSupports sup;
  sup.n = s.n;
  sup.m = static_cast<int>(s.exponents.cols());
  sup.counts.assign(s.termCount.begin(), s.termCount.end());
  sup.exponents = s.exponents;
  sup.ComputeColumnRanges();
  RuntimeUniform runtime(seed);
  runtime.Reseed();
  for (int p = 0; p < sup.m; ++p) sup.w.push_back(runtime.Next());
  return sup;
}

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

}  // namespace
}  // namespace zormix
