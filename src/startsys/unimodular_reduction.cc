// Reduction of a square integer matrix to lower-triangular form L = A_in * U by unimodular column
// operations. Row k picks the column with the smallest nonzero |A(k, j)|, size-reduces the rest of
// the row against it, then folds each remaining entry into the pivot by a determinant-1 gcd step;
// finally the entries below the diagonal are centred modulo their row's diagonal entry. The
// binomial solver derives the order and the angles of the start solutions from this exact L and U.
#include <cstdint>
#include <string>
#include <utility>

#include "base/checked_int.h"
#include "startsys/extended_gcd.h"
#include "startsys/start_systems.h"
#include "zormix/col_major_matrix.h"
#include "zormix/error.h"

namespace zormix {
namespace {

using WideMatrix = ColMajorMatrix<Int128>;

// The reduction on A, and on U when U is not null (the determinant-only form passes null).
class Reduction {
 public:
  Reduction(WideMatrix& A, WideMatrix* U) : A_(A), U_(U), n_(A.rows()) {}

  // True when the reduction stopped at a zero pivot row before the last row.
  bool metZeroPivotRow() const { return zeroPivotRow_; }

  Int128 Run() {
    if (U_ != nullptr) {
      U_->Assign(n_, n_, 0);
      for (std::int64_t i = 0; i < n_; ++i) (*U_)(i, i) = 1;
    }
    for (std::int64_t k = 0; k + 1 < n_; ++k) {
      const std::int64_t pivot = FindPivot(k);
      if (pivot < 0) {  // singular: the caller reports it
        zeroPivotRow_ = true;
        return 0;
      }
      SwapColumns(k, pivot);
      for (std::int64_t j = k + 1; j < n_; ++j) CentredReduce(k, j);
      for (std::int64_t j = k + 1; j < n_; ++j) {
        if (A_(k, j) != 0) Eliminate(k, j);
      }
    }
    ReduceBelowDiagonal();
    return AbsDiagonalProduct();
  }

 private:
  // Column of the smallest nonzero |A(k, j)|, j >= k, leftmost on ties; -1 when the row is zero.
  std::int64_t FindPivot(std::int64_t k) const {
    std::int64_t best = -1;
    Int128 bestAbs = 0;
    for (std::int64_t j = k; j < n_; ++j) {
      const Int128 v = CheckedAbs(A_(k, j));
      if (v != 0 && (best < 0 || v < bestAbs)) best = j, bestAbs = v;
    }
    return best;
  }

  void SwapColumns(std::int64_t a, std::int64_t b) {
    if (a == b) return;
    for (std::int64_t i = 0; i < n_; ++i) std::swap(A_(i, a), A_(i, b));
    if (U_ != nullptr) {
      for (std::int64_t i = 0; i < n_; ++i) std::swap((*U_)(i, a), (*U_)(i, b));
    }
  }

  // Column j -= q * column p, on rows `from`.. of A and all rows of U.
  void SubtractColumnMultiple(std::int64_t from, std::int64_t j, std::int64_t p, Int128 q) {
    for (std::int64_t i = from; i < n_; ++i)
      A_(i, j) = CheckedSub(A_(i, j), CheckedMul(q, A_(i, p)));
    if (U_ == nullptr) return;
    WideMatrix& U = *U_;
    for (std::int64_t i = 0; i < n_; ++i) U(i, j) = CheckedSub(U(i, j), CheckedMul(q, U(i, p)));
  }

  // Centred reduction of a = A(row, j) against p = A(row, row): only when |a| > 3, subtract
  // q = round(a / p) times the pivot column, exact halves rounded toward zero.
  void CentredReduce(std::int64_t row, std::int64_t j) {
    const Int128 a = A_(row, j), p = A_(row, row);
    if (CheckedAbs(a) <= 3) return;
    const Int128 t = CheckedDiv(a, p);
    const Int128 r = CheckedSub(a, CheckedMul(p, t));
    Int128 q = t;
    if (CheckedMul(Int128{2}, CheckedAbs(r)) > CheckedAbs(p)) {
      q = ((a > 0) == (p > 0)) ? CheckedAdd(t, Int128{1}) : CheckedSub(t, Int128{1});
    }
    SubtractColumnMultiple(row, j, row, q);
  }

  // With (g, c1, c2) = ExtendedGcd(p, a), p = A(k, k), a = A(k, j):
  //   column k <- c1 column k + c2 column j,  column j <- (p/g) column j - (a/g) column k.
  // The transform has determinant 1 and leaves A(k, j) = 0, A(k, k) = g.
  void Eliminate(std::int64_t k, std::int64_t j) {
    const Int128 p = A_(k, k), a = A_(k, j);
    const GcdOf<Int128> gcd = ExtendedGcdChecked(p, a);
    const Int128 pg = CheckedDiv(p, gcd.g), ag = CheckedDiv(a, gcd.g);
    CombineColumns(A_, k, k, j, gcd.k, gcd.l, pg, ag);
    if (U_ != nullptr) CombineColumns(*U_, 0, k, j, gcd.k, gcd.l, pg, ag);
  }

  void CombineColumns(WideMatrix& M, std::int64_t from, std::int64_t k, std::int64_t j, Int128 c1,
                      Int128 c2, Int128 pg, Int128 ag) {
    for (std::int64_t i = from; i < n_; ++i) {
      const Int128 oldK = M(i, k), oldJ = M(i, j);
      M(i, k) = CheckedAdd(CheckedMul(c1, oldK), CheckedMul(c2, oldJ));
      M(i, j) = CheckedSub(CheckedMul(pg, oldJ), CheckedMul(ag, oldK));
    }
  }

  // For i = 1.., j = 0..i-1: centre A(i, j) modulo A(i, i). A zero diagonal entry (only possible
  // in the last row of a singular matrix) has nothing to reduce against and is skipped.
  void ReduceBelowDiagonal() {
    for (std::int64_t i = 1; i < n_; ++i) {
      if (A_(i, i) == 0) continue;
      for (std::int64_t j = 0; j < i; ++j) CentredReduce(i, j);
    }
  }

  Int128 AbsDiagonalProduct() const {
    for (std::int64_t i = 0; i < n_; ++i) {
      if (A_(i, i) == 0) return 0;
    }
    Int128 det = 1;
    for (std::int64_t i = 0; i < n_; ++i) det = CheckedMul(det, CheckedAbs(A_(i, i)));
    return det;
  }

  WideMatrix& A_;
  WideMatrix* U_;
  std::int64_t n_;
  bool zeroPivotRow_ = false;
};

std::int64_t RunReduction(IntMatrix& A, IntMatrix* U, ReductionStatus* status) {
  if (A.rows() != A.cols()) {
    throw Error(ErrorCode::kInternal, "the unimodular reduction needs a square matrix, got " +
                                          std::to_string(A.rows()) + " x " +
                                          std::to_string(A.cols()));
  }
  const std::int64_t n = A.rows();
  try {
    WideMatrix wideA(n, n), wideU;
    for (std::int64_t e = 0; e < n * n; ++e) wideA.data()[e] = A.data()[e];
    Reduction reduction(wideA, U != nullptr ? &wideU : nullptr);
    const Int128 det = reduction.Run();
    if (status != nullptr) {
      *status = reduction.metZeroPivotRow() ? ReductionStatus::kZeroPivotRow
                : det == 0                  ? ReductionStatus::kSingular
                                            : ReductionStatus::kNonsingular;
    }
    const std::int64_t narrowDet = NarrowToInt64(det);
    for (std::int64_t e = 0; e < n * n; ++e) A.data()[e] = NarrowToInt64(wideA.data()[e]);
    if (U != nullptr) {
      U->Assign(n, n);
      for (std::int64_t e = 0; e < n * n; ++e) U->data()[e] = NarrowToInt64(wideU.data()[e]);
    }
    return narrowDet;
  } catch (const IntegerOverflow&) {
    const std::string n = std::to_string(A.rows());
    throw Error(ErrorCode::kInvalidInput, "integer overflow in the unimodular reduction of a " + n +
                                              " x " + n + " matrix; the exponents are too large");
  }
}

}  // namespace

std::int64_t TriangularizeUnimodular(IntMatrix& A, IntMatrix& U, ReductionStatus* status) {
  return RunReduction(A, &U, status);
}

std::int64_t AbsDeterminantByReduction(IntMatrix A, ReductionStatus* status) {
  return RunReduction(A, nullptr, status);
}

}  // namespace zormix
