// Sentences for the result's warnings where the verdicts on the end points cannot be trusted as
// they stand: groups whose winding numbers contradict their size, and a route with no path.
#ifndef ZORMIX_FINISH_VERDICT_WARNINGS_H_
#define ZORMIX_FINISH_VERDICT_WARNINGS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zormix/result.h"

namespace zormix {

// Whether the winding numbers of the end points of one root can all be true: the monodromy around
// the target permutes the paths that end at a root of multiplicity m in cycles, and a path on a
// cycle of length w has winding number w; so, for every w, the end points with winding number w
// come in whole cycles (their count is a multiple of w), and their counts add up to m (the group
// holds all of them). A group with any unknown winding number (0) is not judged.
bool WindingNumbersFormCycles(const std::vector<std::int32_t>& windingNumbers);

// One sentence (or none) on the isolated roots (end points grouped by groupLeader, columns on
// positive-dimensional sets left out) whose paths' winding numbers do not form whole cycles (a
// rescued path's counts as unknown: no end game measured it): how many, the first five with their
// winding numbers; their multiplicities may be wrong (a path
// missing, or end points of two roots grouped as one).
std::vector<std::string> InconsistentGroupWarnings(const std::vector<std::int64_t>& groupLeader,
                                                   const std::vector<RootStatus>& status,
                                                   const std::vector<PathRecord>& records);

// The sentence for a route without paths: on the polyhedral route a mixed volume of 0 means that
// the system has no isolated root with all coordinates nonzero; it does not mean no root exists
// (x y = 0, x y = 0 is two lines). Empty when there are paths or on the total-degree route.
std::string NoPathWarning(Route route, std::int64_t pathCount);

}  // namespace zormix

#endif  // ZORMIX_FINISH_VERDICT_WARNINGS_H_
