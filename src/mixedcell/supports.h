// The supports of the mixed-cell computation after the vertex filter and the support order.
#ifndef ZORMIX_MIXEDCELL_SUPPORTS_H_
#define ZORMIX_MIXEDCELL_SUPPORTS_H_

#include <cstdint>
#include <vector>

#include "base/random.h"
#include "zormix/col_major_matrix.h"

namespace zormix {

// n supports laid out contiguously: support s holds columns startCol[s]..endCol[s] (inclusive) of
// the n x m exponent matrix; w holds one lifting value per column.
struct ReducedSupports {
  int n = 0;
  int m = 0;
  std::vector<int> counts;
  std::vector<int> startCol;
  std::vector<int> endCol;
  ColMajorMatrix<std::int32_t> exponents;
  std::vector<double> w;

  const std::int32_t* Point(int p) const { return exponents.col(p); }
  // Fills startCol/endCol from counts (support 0 starts at column 0).
  void ComputeColumnRanges();
};

// Keeps the points that are vertices of their support's convex hull. Draws the random point r
// (n numbers) from `runtime` without re-seeding it. Writes the kept columns packed into
// exponentsOut, the kept counts into countsOut, and perm[j] = input column of kept column j.
// Returns the number of kept points.
int FilterSupportVertices(int n, const ColMajorMatrix<std::int32_t>& exponentsIn,
                          const std::vector<std::int32_t>& countsIn, RuntimeUniform& runtime,
                          ColMajorMatrix<std::int32_t>& exponentsOut, std::vector<int>& countsOut,
                          std::vector<int>& perm);

// Vertex test of one support: liftedPoints holds d = n+1 rows per point, (a_p, -1); distances[p]
// is the distance of a_p to the random point. keep[p] = 1 for the vertices of the convex hull,
// 0 otherwise.
void VertexTest(int d, int c, const double* liftedPoints, const double* distances,
                std::vector<std::int8_t>& keep);

// Puts the supports into search order: a special (origin and unit vectors, or the doubled form)
// support first, then the others by point count. Permutes counts, exponents and perm accordingly
// and fills startCol/endCol.
void ReorderSupports(int n, std::vector<int>& counts, ColMajorMatrix<std::int32_t>& exponents,
                     std::vector<int>& perm, std::vector<int>& startCol, std::vector<int>& endCol);

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_SUPPORTS_H_
