// The points of one phase of the tropical homotopy, shared by the homotopy and its stage check.
#ifndef ZORMIX_MIXEDCELL_HOMOTOPY_CONFIG_H_
#define ZORMIX_MIXEDCELL_HOMOTOPY_CONFIG_H_

#include <cstdint>
#include <vector>

#include "mixedcell/sparse_exponents.h"

namespace zormix {

// The points of one phase: support s holds points start[s]..start[s+1]-1.
struct Config {
  int n = 0;
  std::vector<std::int32_t> exps;
  std::vector<std::int64_t> base;  // lifting at t = 0
  std::vector<std::int8_t> dir;    // lifting = base + t * dir
  std::vector<int> start;
  SparseExponents nz;  // the nonzero exponents, for the floating-point filters
  const std::int32_t* Point(int p) const { return exps.data() + static_cast<std::size_t>(p) * n; }
  void Add(const std::int32_t* e, std::int64_t lift) {
    exps.insert(exps.end(), e, e + n);
    base.push_back(lift);
    dir.push_back(0);
    nz.Add(e, n);
  }
};

// A list of cells laid out flat, 2n numbers per cell (per support s, the pair first < second as
// offsets within the support): one block of memory instead of one per cell (the cells of
// cyclic-13's stages are counted in hundreds of thousands).
using FlatCells = std::vector<std::int32_t>;

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_HOMOTOPY_CONFIG_H_
