// The layout on which the roots of a family are tracked to one member: the normal form of the
// family's support at the member, with each term's origin in the family and its scale factor.
#ifndef ZORMIX_SOLVE_FAMILY_LAYOUT_H_
#define ZORMIX_SOLVE_FAMILY_LAYOUT_H_

#include <cstdint>
#include <span>
#include <vector>

#include "base/random.h"
#include "model/normal_form.h"
#include "zormix/col_major_matrix.h"
#include "zormix/parametric.h"

namespace zormix {

// An independent generator per purpose of a family's work, derived from the seed and the stream's
// number (the sweep: stream 0 draws p0, stream k >= 1 the draws of member k).
RuntimeUniform StreamOf(std::uint64_t seed, std::int64_t stream);

// The start parameters p0 of a seed: real and imaginary parts uniform in [-1, 1], drawn from
// stream 0.
std::vector<Complex> StartParameters(const ParametricSystem& family, std::uint64_t seed);

// The layout every member is tracked on: the normal form of the family's support. Its term order
// depends on the exponents only, so it is found once by tagging each term with its number.
struct MemberLayout {
  NormalForm system;                       // normal form at the member, zero coefficients kept
  std::vector<std::int64_t> termOfFamily;  // normal-form term -> family term, -1: added constant
  std::vector<double> termScale;           // e^(equation scale + exponents . variable scales)
};

MemberLayout LayoutAt(const ParametricSystem& family, std::span<const Complex> parameters);

// Points x (columns) in the member's scaled variables: x_k = e^{s_k} y_k, so y_k = x_k e^{-s_k}.
ColMajorMatrix<Complex> ScaledPoints(const ColMajorMatrix<Complex>& points,
                                     const NormalForm& system);

}  // namespace zormix

#endif  // ZORMIX_SOLVE_FAMILY_LAYOUT_H_
