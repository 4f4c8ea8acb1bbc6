#include "cli/json_output.h"

#include <cstddef>

namespace zormix::cli {
namespace {

nlohmann::ordered_json RootToJson(const SolveResult& r, std::int64_t k) {
  const auto idx = static_cast<std::size_t>(k);
  nlohmann::ordered_json values = nlohmann::ordered_json::array();
  for (int v = 0; v < r.n; ++v) values.push_back({r.roots(v, k).real(), r.roots(v, k).imag()});
  nlohmann::ordered_json root = {{"values", values}};
  if (idx < r.residues.size()) root["residue"] = r.residues[idx];
  if (idx < r.conditionNumbers.size()) root["condition_number"] = r.conditionNumbers[idx];
  if (idx < r.isReal.size()) root["real"] = r.isReal[idx] != 0;
  if (idx < r.records.size()) {
    const PathRecord& p = r.records[idx];
    root["path"] = {{"cell", p.cell},
                    {"start_index", p.startIndex},
                    {"steps", p.steps},
                    {"retracks", p.retrackCount}};
  }
  return root;
}

}  // namespace

nlohmann::ordered_json ResultToJson(const SolveResult& r, bool mixedVolumeOnly) {
  nlohmann::ordered_json j;
  j["zormix_version"] = ZORMIX_VERSION;
  j["route"] = r.route == Route::kTotalDegree ? "total-degree" : "polyhedral";
  j["seed"] = r.seed;
  j["variables"] = r.variableNames;
  j["path_count"] = r.pathCount;
  j["cell_count"] = r.cellCount;
  if (mixedVolumeOnly) {
    j["mixed_volume"] = r.pathCount;
    return j;
  }
  j["root_count"] = r.rootCount;
  j["real_count"] = r.realCount;
  j["blow_up_count"] = r.blowUpCount;
  j["end_point_count"] = r.endPointCount;
  j["retracked_paths"] = r.retrackedPaths;
  j["separated_pairs"] = r.separatedPairs;
  j["rescue_attempts"] = r.rescueAttempts;
  j["rescued_paths"] = r.rescuedPaths;
  j["lost_paths"] = r.lostPaths;
  j["warnings"] = r.warnings;
  nlohmann::ordered_json roots = nlohmann::ordered_json::array();
  for (std::int64_t k = 0; k < r.roots.cols(); ++k) roots.push_back(RootToJson(r, k));
  j["roots"] = roots;
  return j;
}

}  // namespace zormix::cli
