// The certificate of one stage of the tropical homotopy: the cells it found are all the mixed cells
// of the stage, by a count of volume that does not depend on how they were found.
//
// Stage k replaces the unit simplex D of support k by A_k and works on A_k u V, V = d D with
// conv A_k in conv V. At the end of its second phase (V raised to +inf) every cell it followed is a
// mixed cell of (A_1, .., A_k u V, D, ..) under the lifting at t -> +inf: either one without a
// point of V (a cell of A_1, .., A_k, D, ..: kept) or one that runs off with V. The mixed volume
// depends on the convex hulls only, so all mixed cells of that lifting sum to MV(A_1, .., A_{k-1},
// d D, D, ..) = d * MV(A_1, .., A_{k-1}, D, ..), the volume the previous stage kept (1 for the
// simplices before stage 0). Cells decided exactly (strictly below nothing, nothing on them),
// pairwise distinct and summing to that volume are therefore all of them: the kept ones are every
// mixed cell of the stage, and their volume is the next stage's mixed volume. A lost cell falls
// short of the sum, a cell followed twice is a repeat, a wrong one fails its decision.
#ifndef ZORMIX_MIXEDCELL_STAGE_CHECK_H_
#define ZORMIX_MIXEDCELL_STAGE_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixedcell/exact_decision.h"
#include "mixedcell/homotopy_config.h"

namespace zormix {

// What the cells recorded by one checker add up to.
struct StageTally {
  __int128 keptVolume = 0, runOffVolume = 0;
  std::int64_t failed = 0;            // not a cell, a point on it, singular, or not decided
  std::vector<std::uint64_t> hashes;  // one per cell, to find repeats
  void Merge(StageTally&& other);
};

// Decides the cells at the end of a stage's second phase exactly (one checker per thread: it
// keeps scratch) and adds them to a tally.
class StageChecker {
 public:
  explicit StageChecker(const Config& cfg) : cfg_(cfg) {}
  // `cell`: 2n offsets; `kept`: the cell has no point of V.
  void Record(const std::int32_t* cell, bool kept, StageTally& tally);

 private:
  const Config& cfg_;
  DecisionScratch<__int128> scratch_;
};

// Empty when the stage's tally proves its cells complete against `expected` (d times the previous
// stage's kept volume); otherwise the sentence that says what failed. Sorts tally.hashes.
std::string CheckStage(StageTally& tally, __int128 expected, int stage);

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_STAGE_CHECK_H_
