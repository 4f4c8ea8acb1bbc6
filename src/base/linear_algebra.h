// Dense complex linear algebra shared by the trackers, the refinement and the condition estimate.
#ifndef ZORMIX_BASE_LINEAR_ALGEBRA_H_
#define ZORMIX_BASE_LINEAR_ALGEBRA_H_

#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"

namespace zormix {

// a * b written out on real and imaginary parts: the operations of the complex product, the same
// bits for finite factors, without its recovery of infinities from NaN results, whose branch at
// every product (and halves stored and reloaded through memory) costs more than the products in
// the kernels that multiply most. A non-finite factor still gives a non-finite product.
inline Complex Times(const Complex& a, const Complex& b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Pivots smaller than this are replaced by it (real), so a singular matrix never divides by zero:
// the huge solution that results is caught by the callers' step tests.
inline constexpr double kTinyPivot = 2.2204460492503133e-21;

// Solves A x = b by Gaussian elimination with partial pivoting (first row with the strictly largest
// modulus wins). A (n x n) is destroyed; b (n entries) is overwritten by x.
void SolveLinearComplex(int n, Complex* A, Complex* b);
inline void SolveLinearComplex(ColMajorMatrix<Complex>& A, Complex* b) {
  SolveLinearComplex(static_cast<int>(A.rows()), A.data(), b);
}
// Solves A x = b and A y = c with one elimination; b and c get the bits of two separate solves.
void SolveLinearComplex(int n, Complex* A, Complex* b, Complex* c);

// The 1-norm: largest column sum of moduli.
double MatrixNorm1(int rows, int cols, const Complex* A);
inline double MatrixNorm1(const ColMajorMatrix<Complex>& A) {
  return MatrixNorm1(static_cast<int>(A.rows()), static_cast<int>(A.cols()), A.data());
}

// Euclidean norm; scaled by the largest modulus where the plain sum of squares could overflow or
// underflow. 0 for an empty vector.
double VectorNorm2(int n, const Complex* v);

// |z| as hypot gives it, within an ulp, at a fraction of hypot's cost where the square of the
// modulus is exact.
double Modulus(const Complex& z);

// Maximum modulus of a vector (0 for an empty one, NaN when an entry is NaN).
double MaxNorm(int n, const Complex* v);

}  // namespace zormix

#endif  // ZORMIX_BASE_LINEAR_ALGEBRA_H_
