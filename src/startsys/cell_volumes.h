#ifndef ZORMIX_STARTSYS_CELL_VOLUMES_H_
#define ZORMIX_STARTSYS_CELL_VOLUMES_H_

#include <cstdint>
#include <vector>

#include "mixedcell/cell_list.h"
#include "zormix/col_major_matrix.h"

namespace zormix {

// |det| of every cell's edge matrix (row i = first point minus second point of equation i) and
// their sum, the mixed volume. A singular edge matrix gives volume 0 (no start solutions);
// zeroPivotRowCells, when given, counts the cells whose reduction met a zero pivot row. Throws
// Error when the sum leaves the 32-bit range that sizes the path arrays.
std::vector<std::int64_t> CellVolumes(const ColMajorMatrix<std::int32_t>& exponents,
                                      const CellList& cells, std::int64_t& mixedVolume,
                                      std::int64_t* zeroPivotRowCells = nullptr);

}  // namespace zormix

#endif  // ZORMIX_STARTSYS_CELL_VOLUMES_H_
