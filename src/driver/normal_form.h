// Reading "PS.num", the normal form of a system and its coefficient scaling.
#ifndef ZORMIX_DRIVER_NORMAL_FORM_H_
#define ZORMIX_DRIVER_NORMAL_FORM_H_

#include <istream>
#include <string>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

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

// The whole normal form as the driver applies it: sort equations and terms, keep the unscaled
// coefficients, scale unless some equation has fewer than 2 terms, complete the constant terms.
void BringToNormalForm(PolySystem& system);

}  // namespace zormix

#endif  // ZORMIX_DRIVER_NORMAL_FORM_H_
