// A witness set broken into the witness sets of its irreducible components: monodromy loops join
// the points that lie on one component, and the linear trace test says when a group of joined
// points is a complete component.
#ifndef ZORMIX_DECOMPOSE_MONODROMY_BREAKUP_H_
#define ZORMIX_DECOMPOSE_MONODROMY_BREAKUP_H_

#include <cstdint>
#include <span>
#include <vector>

#include "decompose/monodromy.h"
#include "decompose/trace_test.h"
#include "zormix/col_major_matrix.h"
#include "zormix/parametric.h"

namespace zormix {

struct WitnessBreakup {
  // Per component: its points (indices into monodromy.points, whose first columns are the given
  // points in their order), and its trace test.
  std::vector<std::vector<std::int64_t>> components;
  std::vector<TraceTestResult> trace;
  // Every component passed its trace test. False when the loops stopped (stable or at their limit)
  // with groups whose trace is not linear: then `components` are the groups the loops joined,
  // each on one component but not proved complete.
  bool allPassed = false;
  MonodromyResult monodromy;  // the points (given first, then any the loops found), the loops
  TracePencil pencil;         // every point followed along the trace pencil
};

// Breaks the witness points `points` (n x count, regular roots of witnessFamily at `base`) into
// components. `direction` moves the slice parallel to itself (only the slice constants change)
// for the trace test; the loops draw their parameters as options.drawParameters says (by default
// every parameter moves). The loops stop once every group passes the trace test (also when the
// union of a few failing groups passes: their traces add up), or as options say (stable loops,
// loop limit); options.complete and options.targetCount are not used. Throws Error on misfit
// arrays and kInterruptedId.
WitnessBreakup BreakWitnessSet(const ParametricSystem& witnessFamily, std::span<const Complex> base,
                               const ColMajorMatrix<Complex>& points,
                               std::span<const Complex> direction, const MonodromyOptions& options);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_MONODROMY_BREAKUP_H_
