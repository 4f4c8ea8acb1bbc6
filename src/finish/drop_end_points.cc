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

void MoveToLostPaths(PathRecord record, PathStatus status, SolveResult& result) {
  --result.counts.byStatus[static_cast<int>(record.status)];
  record.status = status;
  ++result.counts.byStatus[static_cast<int>(record.status)];
  std::vector<PathRecord>& lost = result.lostPaths;
  lost.insert(std::upper_bound(lost.begin(), lost.end(), record, InSerialOrder), record);
}

}  // namespace

bool InSerialOrder(const PathRecord& a, const PathRecord& b) {
  return a.cell != b.cell ? a.cell < b.cell : a.startIndex < b.startIndex;
}

void DropEndPoints(SolveResult& result, const std::vector<DroppedEndPoint>& dropped) {
  if (dropped.empty()) return;
  const std::int64_t count = result.roots.cols();
  std::vector<std::uint8_t> drop(static_cast<std::size_t>(count), 0);
  std::vector<PathStatus> status(static_cast<std::size_t>(count), PathStatus::kRefusedAtTarget);
  for (const DroppedEndPoint& d : dropped) {
    drop[static_cast<std::size_t>(d.column)] = 1;
    status[static_cast<std::size_t>(d.column)] = d.status;
  }
  // New column of each kept column.
  std::vector<std::int64_t> newColumn(static_cast<std::size_t>(count), -1);
  std::int64_t kept = 0;
  for (std::int64_t k = 0; k < count; ++k) {
    if (drop[k]) {
      if (k < static_cast<std::int64_t>(result.records.size()))
        MoveToLostPaths(result.records[k], status[k], result);
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
  // A group whose leader is dropped is led by its first kept member.
  std::vector<std::int64_t> newLeader(static_cast<std::size_t>(count), -1);
  for (std::size_t k = 0; k < result.groupLeader.size(); ++k) {
    const std::int64_t leader = result.groupLeader[k];
    if (!drop[k] && newLeader[leader] < 0) newLeader[leader] = newColumn[k];
  }
  for (std::int64_t& leader : result.groupLeader) leader = newLeader[leader];
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
