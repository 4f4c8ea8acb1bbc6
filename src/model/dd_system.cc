#include "model/dd_system.h"

#include <algorithm>
#include <utility>

namespace zormix {

void EvaluateDoubleDouble(const MonomialLayout& layout, const DdComplex* A, const DdComplex* B,
                          const DdComplex* y, std::vector<DdComplex>& J, DdComplex* F, DdComplex* G,
                          DdScratch& scratch, double* termSize) {
  const int n = layout.n;
  int rows = 1;
  for (std::int32_t d : layout.maxDegree) rows = std::max(rows, static_cast<int>(d) + 1);
  scratch.powers.resize(static_cast<std::size_t>(rows) * n);
  scratch.prefix.resize(static_cast<std::size_t>(n) + 1);
  scratch.suffix.resize(static_cast<std::size_t>(n) + 1);
  for (int k = 0; k < n; ++k) {
    DdComplex* column = scratch.powers.data() + static_cast<std::size_t>(k) * rows;
    column[0] = DdComplex(1.0);
    for (int d = 1; d <= layout.maxDegree[k]; ++d) column[d] = column[d - 1] * y[k];
  }
  auto power = [&](int k, int e) -> const DdComplex& {
    return scratch.powers[static_cast<std::size_t>(e) + static_cast<std::size_t>(k) * rows];
  };
  J.assign(static_cast<std::size_t>(n) * n, DdComplex());
  std::int64_t j = 0;
  for (int i = 0; i < n; ++i) {
    DdComplex f, g;
    double size = 0.0;
    for (std::int32_t t = 0; t < layout.termCount[i]; ++t, ++j) {
      const std::int32_t* a = layout.exponents->col(j);
      scratch.prefix[0] = DdComplex(1.0);
      for (int k = 0; k < n; ++k) scratch.prefix[k + 1] = scratch.prefix[k] * power(k, a[k]);
      scratch.suffix[n] = DdComplex(1.0);
      for (int k = n - 1; k >= 0; --k) scratch.suffix[k] = power(k, a[k]) * scratch.suffix[k + 1];
      const DdComplex term = A[j] * scratch.prefix[n];
      f += term;
      size += AbsDouble(term);
      if (B != nullptr) g += B[j] * scratch.prefix[n];
      for (int k = 0; k < n; ++k) {
        if (a[k] == 0) continue;
        const DdComplex partial = DoubleDouble(static_cast<double>(a[k])) * scratch.prefix[k] *
                                  power(k, a[k] - 1) * scratch.suffix[k + 1];
        J[i + static_cast<std::size_t>(k) * n] += A[j] * partial;
      }
    }
    if (F != nullptr) F[i] = f;
    if (G != nullptr) G[i] = g;
    if (termSize != nullptr) termSize[i] = size;
  }
}

bool DdLu::Factor(int n, std::vector<DdComplex>& J) {
  n_ = n;
  lu_ = std::move(J);
  pivot_.assign(static_cast<std::size_t>(n), 0);
  auto at = [&](int r, int c) -> DdComplex& { return lu_[r + static_cast<std::size_t>(c) * n]; };
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    for (int row = col + 1; row < n; ++row)
      if (AbsDouble(at(row, col)) > AbsDouble(at(pivot, col))) pivot = row;
    const double size = AbsDouble(at(pivot, col));
    if (!(size > 0.0) || !std::isfinite(size)) return false;
    pivot_[col] = pivot;
    if (pivot != col)
      for (int k = 0; k < n; ++k) std::swap(at(col, k), at(pivot, k));
    for (int row = col + 1; row < n; ++row) {
      const DdComplex factor = at(row, col) / at(col, col);
      at(row, col) = factor;
      for (int k = col + 1; k < n; ++k) at(row, k) -= factor * at(col, k);
    }
  }
  return true;
}

void DdLu::Solve(DdComplex* b) const {
  const int n = n_;
  auto at = [&](int r, int c) -> const DdComplex& {
    return lu_[r + static_cast<std::size_t>(c) * n];
  };
  // Factor swapped whole rows, the multipliers of earlier columns too: L belongs to P J with P
  // all the swaps, so b is permuted whole before the forward substitution.
  for (int col = 0; col < n; ++col)
    if (pivot_[col] != col) std::swap(b[col], b[pivot_[col]]);
  for (int col = 0; col < n; ++col)
    for (int row = col + 1; row < n; ++row) b[row] -= at(row, col) * b[col];
  for (int row = n - 1; row >= 0; --row) {
    for (int k = row + 1; k < n; ++k) b[row] -= at(row, k) * b[k];
    b[row] /= at(row, row);
  }
}

double MaxAbs(std::span<const DdComplex> v) {
  double largest = 0.0;
  for (const DdComplex& z : v) largest = std::max(largest, AbsDouble(z));
  return largest;
}

}  // namespace zormix
