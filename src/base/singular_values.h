// Singular values and right singular vectors of a small dense complex matrix.
#ifndef ZORMIX_BASE_SINGULAR_VALUES_H_
#define ZORMIX_BASE_SINGULAR_VALUES_H_

#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// A V = [sigma_1 u_1, ..., sigma_n u_n] with V unitary, sigma_1 >= ... >= sigma_n >= 0: the
// columns of `scaledLeft` are sigma_j u_j, so a least-squares step is
//   A^+ b = sum_j v_j (scaledLeft_j^H b) / sigma_j^2.
struct SingularValues {
  std::vector<double> sigma;
  ColMajorMatrix<Complex> right;       // V (n x n)
  ColMajorMatrix<Complex> scaledLeft;  // A V (rows x n)
};

// One-sided Jacobi (Hestenes): plane rotations of column pairs until every pair is orthogonal to
// working precision. Accurate in the small singular values relative to the column sizes, which
// is what a numerical rank needs; n <= a few dozen here, so O(n^3) per sweep is cheap.
SingularValues ComputeSingularValues(const ColMajorMatrix<Complex>& A);
// The singular values alone (the `sigma` of ComputeSingularValues, the same bits), without
// accumulating V: half the rotations' work.
std::vector<double> SingularValueList(const ColMajorMatrix<Complex>& A);

// Number of singular values <= tolerance * sigma_1 (all of them for a zero matrix).
int NumericalCorank(const SingularValues& svd, double tolerance);

// The least-squares solution u of min ||B u - g|| (B rows x n, rows >= n) by Householder QR,
// B = Q R, when B has full column rank beyond doubt: sigma_n / sigma_1 >= 1 / (||R||_F ||R^-1||_F)
// (the Frobenius norms bound the 2-norms of R and R^-1 from above), and that bound exceeds
// `tolerance` by a margin of 100 for rounding. Then NumericalCorank(ComputeSingularValues(B),
// tolerance) is 0 and u is the pseudo-inverse step of the decomposition, at a tenth of its cost.
// False when the bound does not show full rank (rank deficient, ill-conditioned, or not finite);
// u is unspecified then.
bool FullRankLeastSquares(const ColMajorMatrix<Complex>& B, const std::vector<Complex>& g,
                          double tolerance, std::vector<Complex>& u);

}  // namespace zormix

#endif  // ZORMIX_BASE_SINGULAR_VALUES_H_
