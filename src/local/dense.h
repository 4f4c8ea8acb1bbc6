// Dense complex kernels of the local analysis: singular values with right singular vectors, and
// least squares by them.
#ifndef ZORMIX_LOCAL_DENSE_H_
#define ZORMIX_LOCAL_DENSE_H_

#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"

namespace zormix {

// A (m x k) = U diag(sigma) V^H with V unitary (k x k) and sigma descending, k values (those
// beyond min(m, k) are 0). The numerical rank and the null space of a Macaulay matrix come from
// the small singular values, so they must be accurate relative to the matrix's size: one-sided
// Jacobi (Hestenes) on the columns, after a Householder QR of A^H when A is wide, so that Jacobi
// works on an m x m triangle and the null space beyond m is the QR's complement.
struct SingularDecomposition {
  std::vector<double> sigma;
  ColMajorMatrix<Complex> right;  // V
};
SingularDecomposition Decompose(const ColMajorMatrix<Complex>& A);
// Decompose(A).sigma alone, bit for bit, without the right vectors (the same rotations of the
// columns, none accumulated): where only the numerical rank is asked, about half the work.
std::vector<double> SingularValuesOf(const ColMajorMatrix<Complex>& A);

// The least-squares solution of A u = b (minimal norm) with the singular values below
// cutoff * sigma_1 dropped.
std::vector<Complex> TruncatedLeastSquares(const ColMajorMatrix<Complex>& A,
                                           const std::vector<Complex>& b, double cutoff);

// A left inverse of J (m x k, m >= k, full column rank): Y = (J^H J)^-1 J^H formed from the QR
// factors, J = Q R, as R^-1 R^-H J^H. Empty when R has a zero on its diagonal.
ColMajorMatrix<Complex> LeftInverse(const ColMajorMatrix<Complex>& J);

// Q (k x k, unitary) of the Householder QR of B (k x m, k >= m): its first m columns span the
// columns of B, the rest their orthogonal complement. R (m x m upper triangle) in `r` when given.
ColMajorMatrix<Complex> HouseholderQ(ColMajorMatrix<Complex> B, ColMajorMatrix<Complex>* r);

}  // namespace zormix

#endif  // ZORMIX_LOCAL_DENSE_H_
