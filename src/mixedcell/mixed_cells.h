// Entry of the mixed-cell computation.
#ifndef ZORMIX_MIXEDCELL_MIXED_CELLS_H_
#define ZORMIX_MIXEDCELL_MIXED_CELLS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "base/random.h"
#include "mixedcell/cell_list.h"
#include "mixedcell/mixed_cell_search.h"
#include "zormix/col_major_matrix.h"

namespace zormix {

struct MixedCellResult {
  std::vector<double> lifting;     // per term (0-based caller numbering); 2.0 for removed points
  CellList cells;                  // rows in equation order, caller's term numbers
  std::int32_t keptCount = 0;      // points kept by the vertex filter
  std::vector<std::int32_t> perm;  // perm[j] = caller's term number of kept column j (keptCount)
  bool complete = true;            // false when `stop` ended the search: the cells are partial
  // Findings that put the completeness of the cells in doubt, one sentence each (a stage of the
  // homotopy that failed its check, cells removed by the exact test, a volume sum that disagrees
  // with a second lifting's).
  std::vector<std::string> warnings;
};

// Vertex filter (draws n numbers from `runtime` without re-seeding), support order, re-seed and
// lifting of the kept points in column order, the mixed cells (tropical homotopy, every stage of it
// checked complete; the depth-first search when a runner is set, when the homotopy meets a tie, or
// when a stage fails its check), the audit of the search's cells (every cell decided exactly,
// cells that are not lower facets removed, the volume sum compared with a second lifting's), and
// the translation back into the caller's numbering with the
// rows sorted into equation order and the cells into their canonical order: by the point pairs of
// equation 1, then of equation 2, and so on, whatever method found them. termCount and exponents
// describe the system after constant-term completion. The computation runs as `control` says
// (threads, runner); the result is the same for every thread count and runner. control.stop, when
// set, is called on the calling thread only (the worker threads see its last answer), throughout;
// once it returns true the computation gives up and the result is marked incomplete.
MixedCellResult ComputeMixedCells(int n, const std::vector<std::int32_t>& termCount,
                                  const ColMajorMatrix<std::int32_t>& exponents,
                                  RuntimeUniform& runtime, const CellSearchControl& control = {});

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_MIXED_CELLS_H_
