#include "finish/drop_end_points.h"

#include <algorithm>
#include <cstddef>

namespace zormix {
namespace {

// Keeps the entries of v whose column is kept, in order (v may be shorter: left as it is).
template <typename T>
void KeepColumns(std::vector<T>& v, const std::vector<std::uint8_t>& drop) {
  if (v.size() != drop.size()) return;
  std::size_t out = 0;
  for (std::size_t k = 0; k < v.size(); ++k)
    if (!drop[k]) v[out++] = std::move(v[k]);
  v.resize(out);
}

void MoveToLostPaths(PathRecord record, SolveResult& result) {
  --result.counts.byStatus[static_cast<int>(record.status)];
  record.status = PathStatus::kRefusedAtTarget;
  ++result.counts.byStatus[static_cast<int>(record.status)];
  std::vector<PathRecord>& lost = result.lostPaths;
  lost.insert(std::upper_bound(lost.begin(), lost.end(), record, InSerialOrder), record);
}

}  // namespace

bool InSerialOrder(const PathRecord& a, const PathRecord& b) {
  return a.cell != b.cell ? a.cell < b.cell : a.startIndex < b.startIndex;
}

void DropEndPoints(SolveResult& result, const std::vector<std::int64_t>& dropped) {
  if (dropped.empty()) return;
  const std::int64_t count = result.roots.cols();
  std::vector<std::uint8_t> drop(static_cast<std::size_t>(count), 0);
  for (std::int64_t k : dropped) drop[static_cast<std::size_t>(k)] = 1;
  // New column of each kept column; a group keeps its leader unless the leader is dropped, and
  // a dropped end point leads no group but its own.
  std::vector<std::int64_t> newColumn(static_cast<std::size_t>(count), -1);
  std::int64_t kept = 0;
  for (std::int64_t k = 0; k < count; ++k) {
    if (drop[k]) {
      if (k < static_cast<std::int64_t>(result.records.size()))
        MoveToLostPaths(result.records[k], result);
      result.realCount -=
          k < static_cast<std::int64_t>(result.isReal.size()) ? result.isReal[k] : 0;
      continue;
    }
    newColumn[k] = kept;
    if (k != kept)
      std::copy(result.roots.col(k), result.roots.col(k) + result.n, result.roots.col(kept));
    ++kept;
  }
  result.roots.ResizeCols(kept);
  for (std::int64_t& leader : result.groupLeader)
    leader = newColumn[static_cast<std::size_t>(leader)];
  KeepColumns(result.residuals, drop);
  KeepColumns(result.conditionNumbers, drop);
  KeepColumns(result.isReal, drop);
  KeepColumns(result.zeroJacobian, drop);
  KeepColumns(result.records, drop);
  KeepColumns(result.rootStatus, drop);
  KeepColumns(result.scaledConditionNumbers, drop);
  KeepColumns(result.multiplicity, drop);
  KeepColumns(result.groupLeader, drop);
  KeepColumns(result.localDimension, drop);
  result.rootCount = kept;
}

}  // namespace zormix
