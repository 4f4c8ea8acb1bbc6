#include "cli/json_output.h"

#include <cstddef>
#include <string>

namespace zormix::cli {
namespace {

void AddClassification(const SolveResult& r, std::int64_t k, nlohmann::ordered_json& root) {
  const auto idx = static_cast<std::size_t>(k);
  if (idx >= r.rootStatus.size()) return;
  root["status"] = r.rootStatus[idx] == RootStatus::kRegular ? "regular" : "singular";
  root["scaled_condition_number"] = r.scaledConditionNumbers[idx];
  root["multiplicity"] = r.multiplicity[idx];
  root["group_leader"] = r.groupLeader[idx];
  root["certified"] = idx < r.certified.size() && r.certified[idx] != 0;
  if (!root["certified"].get<bool>()) return;
  nlohmann::ordered_json center = nlohmann::ordered_json::array();
  for (int v = 0; v < r.n; ++v)
    center.push_back({r.boxCenters(v, k).real(), r.boxCenters(v, k).imag()});
  root["box"] = {{"center", center}, {"radius", r.boxRadii[idx]}};
  root["certified_real"] = r.certifiedReal[idx] != 0;
}

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
  AddClassification(r, k, root);
  return root;
}

nlohmann::ordered_json PathToJson(const PathRecord& p) {
  return {{"cell", p.cell},
          {"start_index", p.startIndex},
          {"steps", p.steps},
          {"retracks", p.retrackCount},
          {"status", PathStatusName(p.status)}};
}

void AddSummary(const SolveResult& r, nlohmann::ordered_json& j) {
  j["regular_count"] = r.classes.regular;
  j["singular_count"] = r.classes.singular;
  j["singular_end_point_count"] = r.classes.singularEndPoints;
  j["real_regular_count"] = r.classes.realRegular;
  j["at_infinity_count"] = r.classes.atInfinity;
  j["failed_count"] = r.classes.failed;
  j["rescued_count"] = r.classes.rescued;
  j["certification_run"] = r.certification.run;
  j["certified_count"] = r.certification.certified;
  j["certified_distinct_count"] = r.certification.distinct;
  j["certified_real_count"] = r.certification.real;
  // Clock readings differ from run to run: only a run that measures its costs (certification
  // asked for) writes them, so that by default the same seed writes the same file byte for byte.
  if (r.certification.run)
    j["timings"] = {{"mixed_cells", r.timings.mixedCells},
                    {"tracking", r.timings.tracking},
                    {"finishing", r.timings.finishing},
                    {"classification", r.timings.classification},
                    {"certification", r.timings.certification}};
  nlohmann::ordered_json lost = nlohmann::ordered_json::array();
  for (const PathRecord& p : r.lostPaths) lost.push_back(PathToJson(p));
  j["lost_paths"] = lost;
}

}  // namespace

nlohmann::ordered_json ResultToJson(const SolveResult& r, bool mixedVolumeOnly) {
  nlohmann::ordered_json j;
  j["zormix_version"] = ZORMIX_VERSION;
  j["route"] = r.route == Route::kTotalDegree ? "total-degree" : "polyhedral";
  j["seed"] = r.seed;
  j["seed_text"] = std::to_string(r.seed);
  j["schema_version"] = kSchemaVersion;
  j["variables"] = r.variableNames;
  j["path_count"] = r.pathCount;
  j["cell_count"] = r.cellCount;
  if (mixedVolumeOnly) {
    j["mixed_volume"] = r.pathCount;
    return j;
  }
  j["root_count"] = r.rootCount;
  j["real_count"] = r.realCount;
  j["blow_up_count"] = r.counts.blowUps;
  j["end_point_count"] = r.counts.endPoints;
  j["retracked_paths"] = r.counts.retracked;
  j["separated_pairs"] = r.counts.separatedPairs;
  j["rescue_attempts"] = r.counts.rescueAttempts;
  j["rescued_paths"] = r.counts.rescued;
  AddSummary(r, j);
  j["lost_path_count"] = r.counts.lost();
  j["warnings"] = r.warnings;
  nlohmann::ordered_json roots = nlohmann::ordered_json::array();
  for (std::int64_t k = 0; k < r.roots.cols(); ++k) roots.push_back(RootToJson(r, k));
  j["roots"] = roots;
  return j;
}

}  // namespace zormix::cli
