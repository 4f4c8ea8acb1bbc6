// Explicit inverse of a small dense complex matrix, for the condition numbers and the Krawczyk
// preconditioner of the finished roots.
#ifndef ZORMIX_BASE_INVERSE_H_
#define ZORMIX_BASE_INVERSE_H_

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// Gauss-Jordan elimination with partial pivoting. Returns false (and leaves `inverse`
// unspecified) when a pivot is exactly zero or a result is not finite.
bool InvertMatrix(const ColMajorMatrix<Complex>& A, ColMajorMatrix<Complex>& inverse);

// Infinity norm: largest row sum of moduli.
double MatrixNormInf(const ColMajorMatrix<Complex>& A);

}  // namespace zormix

#endif  // ZORMIX_BASE_INVERSE_H_
