// End points that classification gives up: out of the roots, into the paths without an end point.
#ifndef ZORMIX_FINISH_DROP_END_POINTS_H_
#define ZORMIX_FINISH_DROP_END_POINTS_H_

#include <cstdint>
#include <vector>

#include "zormix/result.h"

namespace zormix {

// The serial order of path records: by cell, then by start index.
bool InSerialOrder(const PathRecord& a, const PathRecord& b);

// An end point given up, and the status its path takes.
struct DroppedEndPoint {
  std::int64_t column = 0;
  PathStatus status = PathStatus::kRefusedAtTarget;
};

// Removes the columns of `dropped` (ascending) from every per-root field of `result` (the roots
// and their residuals, conditions, real flags, records and classification; certification has not
// run yet), renumbers the group leaders (a dropped column leads no group but its own), and appends
// each dropped record to lostPaths in serial order (cell, then start index) with its status,
// moving it in counts.byStatus too. rootCount and realCount follow.
void DropEndPoints(SolveResult& result, const std::vector<DroppedEndPoint>& dropped);

}  // namespace zormix

#endif  // ZORMIX_FINISH_DROP_END_POINTS_H_
