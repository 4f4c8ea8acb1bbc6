#include "frontend/summary.h"

namespace zormix::frontend {

std::string SummaryBlock(const SolveResult& r, bool mixedVolumeOnly) {
  const std::string route = std::string("route: ") +
                            (r.route == Route::kTotalDegree ? "total-degree" : "polyhedral") + "\n";
  if (!mixedVolumeOnly) return Summarize(r).BriefReport() + "\n" + route;
  return "mixed volume: " + std::to_string(r.pathCount) +
         "\nmixed cells: " + std::to_string(r.cellCount) + "\n" + route +
         "seed: " + std::to_string(r.seed) + "\n";
}

}  // namespace zormix::frontend
