// Depth-first enumeration of the mixed cells of the lifted, reduced supports.
#ifndef ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_
#define ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_

#include <functional>

#include "mixedcell/cell_list.h"
#include "mixedcell/supports.h"

namespace zormix {

// How a search is run: on how many threads, and when it should give up.
struct CellSearchControl {
  int threads = 1;
  // Asked between branches and every few hundred extensions inside one; once it returns true the
  // search ends early with an incomplete list. Must be safe to call from any thread.
  std::function<bool()> stop;
};

// Appends every mixed cell of the fine mixed subdivision induced by sup.w to cells: column numbers
// of sup, rows in the level order of the branch that found the cell. The branches of the first
// support's lower edges run on up to control.threads threads; the cells come out in the same order
// for every thread count. Returns false when control.stop ended the search: `cells` is then
// incomplete and must not be used.
bool MixedCellSearch(const ReducedSupports& sup, CellList& cells, const CellSearchControl& control);

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_MIXED_CELL_SEARCH_H_
