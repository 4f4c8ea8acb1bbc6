// End points become roots: refined, accepted or refused, and measured.
#ifndef ZORMIX_FINISH_FINISH_H_
#define ZORMIX_FINISH_FINISH_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "base/random.h"
#include "model/normal_form.h"
#include "zormix/col_major_matrix.h"
#include "zormix/types.h"

namespace zormix {

// The accepted roots of a solve, one per column, with what was measured at each.
struct FinishedRoots {
  ColMajorMatrix<Complex> roots;           // n x count, refined, in the unscaled variables
  std::vector<double> residuals;           // Euclidean norm of the unscaled system at the root
  std::vector<double> conditionNumbers;    // sigma_max / sigma_min of the Jacobian (1e17 if zero)
  std::vector<std::uint8_t> isReal;        // 1 when IsRealPoint
  std::vector<std::uint8_t> zeroJacobian;  // 1 when sigma_max < 1e-8
  std::vector<PathRecord> records;         // the path of each root
  std::vector<PathRecord> refused;         // refused by refinement, or re-track failed or diverged
  std::int64_t realCount = 0;
};

// The one rule for a real root: every coordinate tiny (max |x_j| < 1e-7), or
// max |Im x_j| < 1e-7 max |x_j|.
bool IsRealPoint(const Complex* x, int n);

// Refines end point k (column k of `endPoints`, unscaled, k < endPointCount) on the unscaled
// system unless its record says its re-track failed or went to infinity; an end point that
// refinement refuses is kept unrefined when the local dimension test puts it on a
// positive-dimensional set. An accepted point gets its residue, its condition number (one estimate
// per accepted root, drawing from `runtime` in column order) and the real test. Refused end points
// keep their record, with status kRefusedAtTarget unless the re-track failed or diverged. Runs on
// `threads` threads with the same results for any count. `interrupted` is asked between end points
// (FinishStop): true stops with Error kInterruptedId.
FinishedRoots FinishRoots(const NormalForm& system, const ColMajorMatrix<Complex>& endPoints,
                          std::int64_t endPointCount, const std::vector<PathRecord>& records,
                          RuntimeUniform& runtime, int threads = 1,
                          const std::function<bool()>& interrupted = {});

}  // namespace zormix

#endif  // ZORMIX_FINISH_FINISH_H_
