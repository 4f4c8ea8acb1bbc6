// Test helpers: supports with the origin appended, and the mixed volume of a cell list by exact
// determinants.
#ifndef ZORMIX_TESTS_MIXEDCELL_MIXED_VOLUME_UTIL_H_
#define ZORMIX_TESTS_MIXEDCELL_MIXED_VOLUME_UTIL_H_

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/random.h"
#include "mixedcell/cell_list.h"
#include "mixedcell/supports.h"
#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix::testing {

struct Supports {
  int n = 0;
  std::vector<std::int32_t> termCount;
  ColMajorMatrix<std::int32_t> exponents;
};

// Every equation that lacks a constant term gets the origin appended after its terms.
inline Supports WithOrigin(int n, const std::vector<std::int32_t>& termCount,
                           const ColMajorMatrix<std::int32_t>& exponents) {
  Supports s;
  s.n = n;
  std::vector<std::vector<std::int32_t>> cols;
  std::int64_t p = 0;
  for (int i = 0; i < n; ++i) {
    bool hasOrigin = false;
    int count = 0;
    for (int t = 0; t < termCount[i]; ++t, ++p) {
      std::vector<std::int32_t> e(n);
      bool zero = true;
      for (int k = 0; k < n; ++k) {
        e[k] = exponents(k, p);
        zero = zero && e[k] == 0;
      }
      hasOrigin = hasOrigin || zero;
      cols.push_back(e);
      ++count;
    }
    if (!hasOrigin) {
      cols.push_back(std::vector<std::int32_t>(n, 0));
      ++count;
    }
    s.termCount.push_back(count);
  }
  s.exponents.Assign(n, static_cast<std::int64_t>(cols.size()));
  for (std::size_t j = 0; j < cols.size(); ++j) {
    for (int k = 0; k < n; ++k) s.exponents(k, static_cast<std::int64_t>(j)) = cols[j][k];
  }
  return s;
}

inline Supports WithOrigin(const PolySystem& sys) {
  return WithOrigin(sys.n, sys.termCount, sys.exponents);
}

// Exact determinant by fraction-free (Bareiss) elimination.
inline __int128 Determinant(std::vector<__int128> a, int n) {
  __int128 prev = 1;
  int sign = 1;
  for (int k = 0; k < n; ++k) {
    int pivot = k;
    while (pivot < n && a[pivot * n + k] == 0) ++pivot;
    if (pivot == n) return 0;
    if (pivot != k) {
      for (int j = 0; j < n; ++j) std::swap(a[k * n + j], a[pivot * n + j]);
      sign = -sign;
    }
    for (int i = k + 1; i < n; ++i) {
      for (int j = k + 1; j < n; ++j) {
        a[i * n + j] = (a[i * n + j] * a[k * n + k] - a[i * n + k] * a[k * n + j]) / prev;
      }
    }
    prev = a[k * n + k];
  }
  return sign * a[(n - 1) * n + (n - 1)];
}

// |det| of cell c's edge matrix: row i = first point minus second point of row i.
inline std::int64_t CellVolume(const ColMajorMatrix<std::int32_t>& e, const CellList& cells,
                               std::int64_t c) {
  const int n = cells.n();
  std::vector<__int128> a(static_cast<std::size_t>(n) * n);
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < n; ++k) {
      a[i * n + k] = e(k, cells.First(c, i)) - e(k, cells.Second(c, i));
    }
  }
  const __int128 det = Determinant(a, n);
  return static_cast<std::int64_t>(det < 0 ? -det : det);
}

inline std::int64_t MixedVolume(const ColMajorMatrix<std::int32_t>& e, const CellList& cells) {
  std::int64_t sum = 0;
  for (std::int64_t c = 0; c < cells.size(); ++c) sum += CellVolume(e, cells, c);
  return sum;
}

// The supports as the search takes them, lifted by a generator of the test's own.
inline ReducedSupports Reduced(const Supports& s, std::uint64_t seed) {
  ReducedSupports sup;
  sup.n = s.n;
  sup.m = static_cast<int>(s.exponents.cols());
  sup.counts.assign(s.termCount.begin(), s.termCount.end());
  sup.exponents = s.exponents;
  sup.ComputeColumnRanges();
  RuntimeUniform runtime(seed);
  runtime.Reseed();
  for (int p = 0; p < sup.m; ++p) sup.w.push_back(runtime.Next());
  return sup;
}

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_MIXEDCELL_MIXED_VOLUME_UTIL_H_
