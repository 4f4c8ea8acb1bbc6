// The nonzero exponents of a list of points, as doubles (exact: small integers), for the
// floating-point filters of the exact decisions.
#ifndef ZORMIX_MIXEDCELL_SPARSE_EXPONENTS_H_
#define ZORMIX_MIXEDCELL_SPARSE_EXPONENTS_H_

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace zormix {

// Point p's nonzero exponents are entries start[p]..start[p+1]-1 of index/value; norm1[p] is its
// 1-norm.
struct SparseExponents {
  std::vector<int> start = {0}, index;
  std::vector<double> value, norm1;
  void Add(const std::int32_t* e, int n) {
    norm1.push_back(0.0);
    for (int k = 0; k < n; ++k) {
      if (e[k] == 0) continue;
      index.push_back(k);
      value.push_back(e[k]);
      norm1.back() += std::abs(e[k]);
    }
    start.push_back(static_cast<int>(index.size()));
  }
};

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_SPARSE_EXPONENTS_H_
