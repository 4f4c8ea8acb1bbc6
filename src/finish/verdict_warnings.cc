#include "finish/verdict_warnings.h"

#include <map>

namespace zormix {
namespace {

constexpr std::int64_t kListedGroups = 5;  // groups named in the warning, at most

// A rescued path was re-tracked without the end game (in double-double, 1 whenever it arrived):
// its winding number says nothing of a singular end (the rescued one of the three paths to the
// root of (x - 1)^3 said 1 beside the others' cycle of 3).
std::int32_t MeasuredWindingNumber(const PathRecord& record) {
  return record.status == PathStatus::kRescued ? 0 : record.windingNumber;
}

}  // namespace

bool WindingNumbersFormCycles(const std::vector<std::int32_t>& windingNumbers) {
  std::map<std::int32_t, std::int64_t> endPointsPerWinding;
  for (const std::int32_t w : windingNumbers) {
    if (w <= 0) return true;
    ++endPointsPerWinding[w];
  }
  for (const auto& [w, count] : endPointsPerWinding)
    if (count % w != 0) return false;
  return true;
}

std::vector<std::string> InconsistentGroupWarnings(const std::vector<std::int64_t>& groupLeader,
                                                   const std::vector<RootStatus>& status,
                                                   const std::vector<PathRecord>& records) {
  std::map<std::int64_t, std::vector<std::int32_t>> windingsOfGroup;
  for (std::size_t k = 0; k < groupLeader.size(); ++k) {
    if (status[k] == RootStatus::kPositiveDimensional) continue;
    const std::int32_t w = k < records.size() ? MeasuredWindingNumber(records[k]) : 0;
    windingsOfGroup[groupLeader[k]].push_back(w);
  }
  std::int64_t inconsistent = 0;
  std::string examples;
  for (const auto& [leader, windings] : windingsOfGroup) {
    if (WindingNumbersFormCycles(windings)) continue;
    if (++inconsistent > kListedGroups) continue;
    std::string list;
    for (const std::int32_t w : windings) list += (list.empty() ? "" : ", ") + std::to_string(w);
    examples += (examples.empty() ? "" : "; ") + std::string("root ") + std::to_string(leader + 1) +
                ": " + list;
  }
  if (inconsistent == 0) return {};
  if (inconsistent > kListedGroups) examples += "; ...";
  return {std::to_string(inconsistent) + (inconsistent == 1 ? " root was" : " roots were") +
          " reached by paths whose winding numbers do not form whole cycles (" + examples +
          "): their multiplicities may be wrong"};
}

std::string NoPathWarning(Route route, std::int64_t pathCount) {
  if (pathCount != 0 || route != Route::kPolyhedral) return {};
  return "the mixed volume is 0: no isolated root exists with all coordinates nonzero; the "
         "solution set may be positive-dimensional (the total-degree route samples it)";
}

}  // namespace zormix
