// The normal form every stage of a solve works on: equations by ascending term count, terms in
// descending order, scaled coefficients and a constant term in every equation.
#ifndef ZORMIX_MODEL_NORMAL_FORM_H_
#define ZORMIX_MODEL_NORMAL_FORM_H_

#include <cstdint>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// A system in normal form: the scaled system that the homotopies track (every equation's last term
// is its constant term) and what the normal form adds to undo the scaling and the completion.
struct NormalForm {
  NormalForm() = default;
  explicit NormalForm(const PolySystem& system) : scaled(system) {}

  PolySystem scaled;                        // sorted, scaled, a constant term in every equation
  std::vector<Complex> rawCoefficients;     // m, the coefficients without scaling
  std::vector<std::int32_t> firstTerm;      // per equation, index of its first term
  std::vector<std::int32_t> lastTerm;       // per equation, index of its last term (inclusive)
  std::vector<std::int32_t> constantAdded;  // 1 where a zero constant term was appended
  std::vector<double> scaleExponents;       // 2n natural-log scale factors; all 0 when unscaled
};

// Equations by ascending term count (exchange sort, strict comparison).
void SortEquationsByTermCount(PolySystem& system);
// Terms of each equation by descending mixed-radix key (selection sort, first maximum wins).
void SortTermsDescending(PolySystem& system);
// Appends a zero constant term to every equation that lacks one; fills firstTerm, lastTerm,
// constantAdded and extends coefficients and rawCoefficients (rawCoefficients must hold the
// unscaled copy on entry).
void CompleteConstantTerms(NormalForm& system);

// The whole normal form: sort equations and terms, keep the unscaled coefficients, scale unless
// some equation has fewer than 2 terms, complete the constant terms.
NormalForm BringToNormalForm(const PolySystem& system);

}  // namespace zormix

#endif  // ZORMIX_MODEL_NORMAL_FORM_H_
