// What a solve returns.
#ifndef ZORMIX_RESULT_H_
#define ZORMIX_RESULT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"
#include "zormix/types.h"

namespace zormix {

struct SolveResult {
  int n = 0;
  Route route = Route::kPolyhedral;
  std::uint64_t seed = 0;      // the seed that was used
  std::int64_t pathCount = 0;  // mixed volume or Bezout number
  std::int64_t cellCount = 0;  // mixed cells (polyhedral route)
  std::int64_t rootCount = 0;  // accepted roots
  std::int64_t realCount = 0;  // accepted roots classed as real
  PathCounts counts;           // what happened to the paths
  // Accepted roots, one per column, variables in the order of the input file (n x rootCount).
  ColMajorMatrix<Complex> roots;
  std::vector<double> residues;            // per root: Euclidean norm of the system at the root
  std::vector<double> conditionNumbers;    // per root: sigma_max / sigma_min of the Jacobian
  std::vector<std::uint8_t> isReal;        // per root: 1 when classed as real
  std::vector<std::uint8_t> zeroJacobian;  // per root: 1 when the Jacobian is numerically zero
  std::vector<PathRecord> records;         // per root: the path that produced it
  std::vector<PathRecord> lostPaths;       // the paths without an end point, in serial order
  std::vector<std::string> variableNames;  // trailing blanks removed
};

}  // namespace zormix

#endif  // ZORMIX_RESULT_H_
