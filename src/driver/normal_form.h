// Reading "PS.num", the normal form of a system and its coefficient scaling.
#ifndef ZORMIX_DRIVER_NORMAL_FORM_H_
#define ZORMIX_DRIVER_NORMAL_FORM_H_

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// Largest problems the solver accepts; beyond them the arrays of a solve cannot be allocated.
inline constexpr int kMaxVariables = 100000;
inline constexpr std::int64_t kMaxTerms = 50000000;
// n x m exponent entries (4 bytes each): 2 GB.
inline constexpr std::int64_t kMaxExponentEntries = 500000000;

// Reads the five sections of the "PS.num" format from `in`; fileName is used in messages.
PolySystem ReadSystem(std::istream& in, const std::string& fileName);

// Equations by ascending term count (exchange sort, strict comparison).
void SortEquationsByTermCount(PolySystem& system);
// Terms of each equation by descending mixed-radix key (selection sort, first maximum wins).
void SortTermsDescending(PolySystem& system);
// Appends a zero constant term to every equation that lacks one; fills firstTerm, lastTerm,
// constantAdded and extends coefficients and rawCoefficients (rawCoefficients must hold the
// unscaled copy on entry).
void CompleteConstantTerms(PolySystem& system);

// Least-squares scaling x_k = e^{s_k} y_k, equation i times e^{s_{n+i}}: fills scaleExponents and
// scales coefficients in place. Returns false (s = 0, nothing scaled) when the fit is singular.
bool ComputeScaling(PolySystem& system);

// Householder QR least squares on A (M x N, M >= N). On success b[0..N) holds the solution and the
// function returns true; false when some |R_kk| < 1e-12.
bool SolveLeastSquares(ColMajorMatrix<double>& A, std::vector<double>& b);

// One Householder reflection (I - beta v v^T) that maps the len values x[0..len) onto alpha e_1:
// v[0] = 1; beta = 0 and alpha = x[0] when the tail of x is negligible.
void HouseholderVector(const double* x, std::int64_t len, std::vector<double>& v, double& beta,
                       double& alpha);

// Throws Error unless `system` is a well-formed system as read: n in [1, kMaxVariables], one
// term count >= 1 per equation, an n x m exponent matrix of nonnegative entries, m finite
// coefficients and n variable names. `where` starts every message (a file name or "system").
void CheckSystemAsRead(const PolySystem& system, const std::string& where);

// Largest exponent sum among the terms of each equation. Throws Error when a sum leaves 32 bits.
std::vector<std::int32_t> TotalDegrees(const PolySystem& system);
// Product of the degrees, checked: throws Error when it exceeds the 2147483647 paths the solver
// can track.
std::int64_t BezoutNumber(const std::vector<std::int32_t>& degrees);

// The whole normal form as the driver applies it: sort equations and terms, keep the unscaled
// coefficients, scale unless some equation has fewer than 2 terms, complete the constant terms.
void BringToNormalForm(PolySystem& system);

}  // namespace zormix

#endif  // ZORMIX_DRIVER_NORMAL_FORM_H_
