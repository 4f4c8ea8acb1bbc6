#include "decompose/witness_refinement.h"

#include <utility>

#include "local/analyze.h"

namespace zormix {

std::vector<Complex> RefinedWitnessPoint(const PolySystem& witness, std::vector<Complex> x,
                                         int multiplicityBound) {
  const PointAnalysis analysis = AnalyzeSingularPoint(witness, {x}, multiplicityBound);
  if (analysis.verdict != PointVerdict::kIsolatedRoot || analysis.point.size() != x.size())
    return x;
  return analysis.point;
}

}  // namespace zormix
