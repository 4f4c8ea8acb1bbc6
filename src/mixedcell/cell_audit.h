// The audit of a finished cell list (the depth-first search's; the homotopy checks its own stages):
// every cell decided exactly, and the volume sum compared with the mixed volume of a second
// lifting.
#ifndef ZORMIX_MIXEDCELL_CELL_AUDIT_H_
#define ZORMIX_MIXEDCELL_CELL_AUDIT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixedcell/cell_list.h"
#include "mixedcell/mixed_cell_search.h"
#include "mixedcell/supports.h"

namespace zormix {

// When the tropical homotopy cannot pass an event on the second lifting, the depth-first search
// takes its place within this many stop polls (256 extensions each, about a tenth of a second);
// past it the comparison is skipped.
constexpr std::int64_t kIndependentSearchPolls = 256;

struct CellAudit {
  std::int64_t volumeSum = 0;  // |det| summed over the cells kept
  std::int64_t removed = 0;    // cells with a point strictly below (or not one pair per support)
  std::int64_t tied = 0;  // lower faces with a further point on them: the lifting is not generic
  std::int64_t unchecked = 0;  // the lifting has no common integer scale: not decided
  // The mixed volume of the same supports under a lifting of its own (its cells decided exactly
  // too); -1 when it was not computed.
  std::int64_t independentVolume = -1;
  // One sentence per finding that puts the completeness of the cells in doubt; empty when none.
  std::vector<std::string> warnings;
};

// Decides every cell of `cells` (column numbers of sup) exactly on control.threads threads, removes
// those that are not lower facets, and, when `independent`, compares the remaining volume sum with
// the mixed volume of the same supports under a second lifting of its own (by the tropical
// homotopy, or by the search within `independentPolls` stop polls). control.stop is honoured by
// the second computation (the comparison is then skipped).
CellAudit AuditCells(const ReducedSupports& sup, CellList& cells, const CellSearchControl& control,
                     bool independent = true,
                     std::int64_t independentPolls = kIndependentSearchPolls);

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_CELL_AUDIT_H_
