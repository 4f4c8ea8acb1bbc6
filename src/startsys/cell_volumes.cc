// The mixed volume as the sum over the mixed cells of |det| of their edge matrices; each cell's
// |det| is its number of start solutions.
#include "startsys/cell_volumes.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "startsys/start_systems.h"
#include "zormix/error.h"

namespace zormix {

std::vector<std::int64_t> CellVolumes(const ColMajorMatrix<std::int32_t>& exponents,
                                      const CellList& cells, std::int64_t& mixedVolume,
                                      std::int64_t* zeroPivotRowCells) {
  const int n = cells.n();
  const std::int64_t cellCount = cells.size();
  std::vector<std::int64_t> cellVolume(static_cast<std::size_t>(cellCount));
  mixedVolume = 0;
  if (zeroPivotRowCells != nullptr) *zeroPivotRowCells = 0;
  IntMatrix edges(n, n);
  for (std::int64_t c = 0; c < cellCount; ++c) {
    // Row i: first point minus second point of equation i's pair.
    for (int i = 0; i < n; ++i) {
      for (int k = 0; k < n; ++k) {
        edges(i, k) = std::int64_t{exponents(k, cells.First(c, i))} -
                      std::int64_t{exponents(k, cells.Second(c, i))};
      }
    }
    ReductionStatus status = ReductionStatus::kNonsingular;
    cellVolume[c] = AbsDeterminantByReduction(edges, &status);
    if (zeroPivotRowCells != nullptr && status == ReductionStatus::kZeroPivotRow) {
      ++*zeroPivotRowCells;
    }
    mixedVolume += cellVolume[c];
    // The path arrays are sized and counted in 32 bits.
    if (mixedVolume > std::numeric_limits<std::int32_t>::max()) {
      throw Error(ErrorCode::kInvalidInput,
                  "the mixed volume exceeds " +
                      std::to_string(std::numeric_limits<std::int32_t>::max()) +
                      " paths after cell " + std::to_string(c + 1) + " of " +
                      std::to_string(cellCount) + "; the system is too large to solve");
    }
  }
  return cellVolume;
}

}  // namespace zormix
