// Least-squares coefficient scaling of a system in normal form.
#ifndef ZORMIX_MODEL_SCALING_H_
#define ZORMIX_MODEL_SCALING_H_

#include <cstdint>
#include <vector>

#include "model/normal_form.h"
#include "zormix/col_major_matrix.h"

namespace zormix {

// Least-squares scaling x_k = e^{s_k} y_k, equation i times e^{s_{n+i}}: fills scaleExponents and
// scales coefficients in place. Returns false (s = 0, nothing scaled) when the fit is singular.
bool ComputeScaling(NormalForm& system);

// Householder QR least squares on A (M x N, M >= N). On success b[0..N) holds the solution and the
// function returns true; false when some |R_kk| < 1e-12.
bool SolveLeastSquares(ColMajorMatrix<double>& A, std::vector<double>& b);

// One Householder reflection (I - beta v v^T) that maps the len values x[0..len) onto alpha e_1:
// v[0] = 1; beta = 0 and alpha = x[0] when the tail of x is negligible.
void HouseholderVector(const double* x, std::int64_t len, std::vector<double>& v, double& beta,
                       double& alpha);

}  // namespace zormix

#endif  // ZORMIX_MODEL_SCALING_H_
