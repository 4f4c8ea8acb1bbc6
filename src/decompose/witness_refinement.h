// Singular witness points refined before their ranks are decided.
#ifndef ZORMIX_DECOMPOSE_WITNESS_REFINEMENT_H_
#define ZORMIX_DECOMPOSE_WITNESS_REFINEMENT_H_

#include <vector>

#include "zormix/complex.h"
#include "zormix/poly_system.h"

namespace zormix {

// The witness point x, a root of multiplicity m <= multiplicityBound of the witness system
// `witness` (square, at its slice constants), as the local analysis refines it. The end game
// leaves such a root with about half its digits (an error e leaves residuals of size e^m), and a
// rank decided there counts the singular values of size e it leaves as nonzero, and makes the
// deflation's multipliers as inaccurate. The local analysis (local/analyze.h) refines the regular
// directions by Newton's method and the whole root by the deflation its dual space confirms, to
// full accuracy; where it finds no isolated root there (a point whose multiplicity exceeds the
// bound, or a failed step), x is returned as it is.
std::vector<Complex> RefinedWitnessPoint(const PolySystem& witness, std::vector<Complex> x,
                                         int multiplicityBound);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_WITNESS_REFINEMENT_H_
