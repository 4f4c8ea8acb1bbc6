#include "tracker/homotopy/homotopy_eval.h"

#include <algorithm>

namespace zormix {

void EvaluateValuesExtended(const MonomialLayout& layout, const LongComplex* A, const Complex* y,
                            LongComplex* F, std::vector<LongComplex>& powers,
                            long double* termSizeMax, long double* termSize) {
  long double largest = 0.0L;
  const int n = layout.n;
  int rows = 1;
  for (std::int32_t d : layout.maxDegree) rows = std::max(rows, static_cast<int>(d) + 1);
  powers.resize(static_cast<std::size_t>(rows) * n);
  for (int k = 0; k < n; ++k) {
    LongComplex* column = powers.data() + static_cast<std::size_t>(k) * rows;
    column[0] = 1.0L;
    for (int d = 1; d <= layout.maxDegree[k]; ++d) column[d] = column[d - 1] * LongComplex(y[k]);
  }
  std::int64_t j = 0;
  for (int i = 0; i < n; ++i) {
    LongComplex f = 0.0L;
    long double size = 0.0L;
    for (std::int32_t t = 0; t < layout.termCount[i]; ++t, ++j) {
      const std::int32_t* a = layout.exponents->col(j);
      LongComplex c = A[j];
      for (int k = 0; k < n; ++k) {
        if (a[k] != 0) c *= powers[a[k] + static_cast<std::size_t>(k) * rows];
      }
      f += c;
      size += std::abs(c);
    }
    F[i] = f;
    if (termSize != nullptr) termSize[i] = size;
    largest = std::max(largest, size);
  }
  if (termSizeMax != nullptr) *termSizeMax = largest;
}

Complex IntegerPower(Complex z, std::int32_t k) {
  std::uint64_t e = k < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(k))
                          : static_cast<std::uint64_t>(k);
  Complex result(1.0, 0.0);
  Complex base = z;
  while (e != 0) {
    if (e & 1u) result *= base;
    e >>= 1;
    if (e != 0) base *= base;
  }
  return k < 0 ? Complex(1.0, 0.0) / result : result;
}

}  // namespace zormix
