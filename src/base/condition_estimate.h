// Estimates of the extreme singular values of a square complex matrix, and the complex Householder
// QR they are built on.
#ifndef ZORMIX_BASE_CONDITION_ESTIMATE_H_
#define ZORMIX_BASE_CONDITION_ESTIMATE_H_

#include "base/random.h"
#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"

namespace zormix {

struct SingularValueEstimate {
  double sigmaMax = 0.0;
  double sigmaMin = 0.0;
};

// Estimates the largest and smallest singular values of J (destroyed: holds R of J = QR) by at most
// 8 power and 8 inverse iterations from a random start vector drawn after re-seeding `runtime`.
SingularValueEstimate EstimateCondition(ColMajorMatrix<Complex>& J, double tol,
                                        RuntimeUniform& runtime);

// One Householder reflection for the segment x (length L): alpha = -(x_0/|x_0|) ||x|| (or -||x||
// when |x_0| <= eps), v = (x - alpha e_0) / ||x - alpha e_0|| (left unnormalised when that norm is
// <= eps). (I - 2 v v^H) x = alpha e_0.
void ComplexHouseholderVector(int L, const Complex* x, Complex* v, Complex& alpha);

// In-place triangularisation A = Q R (n x n, column-major); A holds R with exact zeros below the
// diagonal. Column n-1 gets no reflection of its own.
void HouseholderQRComplex(int n, Complex* A);

}  // namespace zormix

#endif  // ZORMIX_BASE_CONDITION_ESTIMATE_H_
