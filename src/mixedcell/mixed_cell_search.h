// Depth-first enumeration of the mixed cells of the lifted, reduced supports.
#ifndef ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_
#define ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_

#include "mixedcell/cell_list.h"
#include "mixedcell/supports.h"

namespace zormix {

// Appends every mixed cell of the fine mixed subdivision induced by sup.w to cells: column numbers
// of sup, rows in the level order of the branch that found the cell. The branches of the first
// support's lower edges run on up to `threads` threads; the cells come out in the same order for
// every thread count.
void MixedCellSearch(const ReducedSupports& sup, CellList& cells, int threads = 1);

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_
