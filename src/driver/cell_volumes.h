#ifndef ZORMIX_DRIVER_CELL_VOLUMES_H_
#define ZORMIX_DRIVER_CELL_VOLUMES_H_

#include <cstdint>
#include <vector>

#include "mixedcell/cell_list.h"
#include "zormix/col_major_matrix.h"

namespace zormix {

// |det| of every cell's edge matrix (row i = first point minus second point of equation i) and
// their sum, the mixed volume. Throws Error when the sum leaves the 32-bit range that sizes the
// path arrays.
std::vector<std::int64_t> CellVolumes(const ColMajorMatrix<std::int32_t>& exponents,
                                      const CellList& cells, std::int64_t& mixedVolume);

}  // namespace zormix

#endif  // ZORMIX_DRIVER_CELL_VOLUMES_H_
