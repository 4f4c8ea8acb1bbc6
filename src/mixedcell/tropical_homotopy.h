// Mixed cells by a tropical homotopy (regeneration one support at a time): the cells of a system
// whose supports are unit simplices are known, and each support in turn is replaced by the real one
// through changes of the lifting alone, every cell followed on its own from flip to flip. The work
// grows with the cells met on the way, not with the partial cells of a depth-first search.
#ifndef ZORMIX_MIXEDCELL_TROPICAL_HOMOTOPY_H_
#define ZORMIX_MIXEDCELL_TROPICAL_HOMOTOPY_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mixedcell/cell_list.h"
#include "mixedcell/supports.h"

namespace zormix {

enum class HomotopyOutcome {
  kDone,         // `cells` holds every mixed cell of sup.w
  kDegenerate,   // an event the homotopy cannot pass (ties, a non-generic lifting, negative
                 // exponents): `cells` is unusable, another method must be used
  kStopped,      // `stop` returned true
  kFailedCheck,  // the cells of a stage failed its check (a cell lost, repeated or wrong; the
                 // findings say which): `cells` is unusable, another method must be used
};

// A fault planted for tests of the stage check: in stage `stage` (0-based), the first cell that the
// second phase's start cells from number `startCell` on end in (among the 64 start cells handed
// to one thread with it) is lost, or found twice.
struct PlantedFault {
  int stage = -1;
  std::int64_t startCell = -1;
  bool twice = false;
};

// Appends the mixed cells of the fine mixed subdivision of sup lifted by sup.w: one row per
// support in support order, column numbers of sup, first < second in each row. Every decision is
// exact (the lifting scaled to integers). The cells of each phase are followed on up to `threads`
// threads. `stop`, when set, is polled every few hundred flips (from any of them).
//
// Every stage is checked as it ends (mixedcell/stage_check.h): its cells are decided from scratch
// and their volumes, with those of the cells that run off, must sum to the stage's mixed volume,
// known from the previous stage. A stage that fails appends a sentence to `findings` and ends the
// homotopy as kFailedCheck.
HomotopyOutcome TropicalHomotopyCells(const ReducedSupports& sup, CellList& cells, int threads,
                                      const std::function<bool()>& stop,
                                      std::vector<std::string>* findings = nullptr,
                                      const PlantedFault& fault = {});

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_TROPICAL_HOMOTOPY_H_
