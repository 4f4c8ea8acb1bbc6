// Values and Jacobian of a polynomial system at a point, and the guarded Euclidean norm.
#ifndef ZORMIX_MODEL_SYSTEM_EVAL_H_
#define ZORMIX_MODEL_SYSTEM_EVAL_H_

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "base/linear_algebra.h"
#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// The terms of a system with one set of coefficients (scaled or unscaled). Terms of equation i are
// contiguous and follow those of equation i-1.
struct SystemView {
  int n = 0;
  std::span<const std::int32_t> termCount;
  const ColMajorMatrix<std::int32_t>* exponents = nullptr;
  std::span<const Complex> coefficients;
};

// The monomials of a system, shared by every coefficient set over them: equation i owns
// termCount[i] consecutive columns of `exponents`; maxDegree[k] is the largest exponent of
// variable k (see MaxDegrees).
struct MonomialLayout {
  int n = 0;
  std::span<const std::int32_t> termCount;
  const ColMajorMatrix<std::int32_t>* exponents = nullptr;
  std::span<const std::int32_t> maxDegree;
};

// Largest exponent of each variable over all terms (0 when none is positive).
std::vector<std::int32_t> MaxDegrees(const ColMajorMatrix<std::int32_t>& exponents);

// Above this degree no power table is built: a column holds every power of its variable up to the
// largest exponent (x^10000000 - 1: 160 MB and ten million products per evaluation), while each
// power a monomial uses costs some 2 log2 d products by repeated squaring. Systems of lower
// degrees keep the table and its bits.
inline constexpr std::int32_t kLargestTabulatedDegree = 1024;

// Scratch of one evaluation. Callers that evaluate repeatedly (every corrector iteration) keep
// one per thread and size it once, so no evaluation allocates.
//
// Terms of different equations with the same exponents share one monomial: its value x^a and its
// partial-derivative factors are computed once per evaluation and read by every term using it.
// Dense systems, whose equations all have the same monomials, evaluate them n times less often;
// the values are the same bits as when each term computed its own.
struct EvaluationWorkspace {
  // Whether the powers come from the table (every degree at most kLargestTabulatedDegree).
  bool tabulated = true;
  int powerRows = 0;                          // max_k maxDegree[k] + 1: row 0 holds x^0 = 1
  std::vector<Complex> powers;                // powers[d + k * powerRows] = x_k^d
  std::vector<Complex> values, secondValues;  // F and G being accumulated
  std::vector<std::int64_t> equationStart;    // first term of each equation
  std::int32_t longestEquation = 0;           // most terms of one equation
  // monomialOf[j]: the distinct monomial of term j.
  std::vector<std::int32_t> monomialOf;
  // The nonzero exponents of every distinct monomial, so that it costs its support, not n:
  // monomial u owns entries monomialStart[u] .. monomialStart[u + 1] - 1 of variable/exponent, in
  // increasing variable order.
  std::vector<std::int64_t> monomialStart;
  std::vector<std::int32_t> variable;
  std::vector<std::int32_t> exponent;
  std::vector<Complex> monomialValue;  // x^a per distinct monomial
  // d(x^a)/dx_k per entry of variable/exponent.
  std::vector<Complex> derivative;
  // Supports share their leading and their trailing entries (cyclic-8: 232 entries, 92 distinct
  // prefixes, 63 distinct suffixes), so the prefix and suffix products of the derivatives are
  // computed once per distinct prefix and suffix: node 0 of each tree is the empty product, a
  // node extends its parent by one entry, parents come first. Every product is formed in the order
  // of one monomial's own prefix and suffix passes, so the bits are those of a monomial alone.
  struct ProductNode {
    std::int32_t parent;
    std::int32_t entry;  // an entry of variable/exponent with the node's variable and exponent
  };
  std::vector<ProductNode> prefixNodes, suffixNodes;
  std::vector<std::int32_t> entryPrefix;     // per entry: the prefix node ending with it
  std::vector<std::int32_t> entrySuffix;     // per entry: the suffix node of the entries after it
  std::vector<std::int32_t> monomialPrefix;  // per distinct monomial: its whole support's node
  // Per prefix node: the product of its powers, and e x_k^(e-1) times its parent's product for
  // its last entry; per suffix node: the product of its powers, the last entry first.
  std::vector<Complex> prefixValue, prefixFactor, suffixValue;
  // Without the table: x_k^(e - 1) and x_k^e of entry q at 2q and 2q + 1.
  std::vector<Complex> entryPowers;

  // Sizes the arrays for `layout`; reallocates only when they grow. Preparing again for the same
  // exponents, term counts and degrees (by value) costs one comparison.
  void Prepare(const MonomialLayout& layout);

 private:
  std::vector<std::int32_t> preparedExponents_;
  std::vector<std::int32_t> preparedDegrees_;
  std::vector<std::int32_t> preparedTermCount_;
  int preparedN_ = -1;
};

// F_i = sum_j A_j x^a_j, G_i = sum_j B_j x^a_j and J(i,k) = dF_i/dx_k over the monomials j of
// equation i. Derivatives come from prefix and suffix products over a power table, so a zero
// coordinate needs no division. B, F and G may be null (not computed). J must be n x n and the
// workspace prepared for the layout.
void EvaluateMonomials(const MonomialLayout& layout, const Complex* A, const Complex* B,
                       const Complex* x, ColMajorMatrix<Complex>& J, Complex* F, Complex* G,
                       EvaluationWorkspace& workspace);

// Evaluates F (n values) and J (n x n, J(i,k) = dF_i/dx_k) of the system at x. J and F are
// resized as needed.
void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F);

// As above, with caller-owned scratch.
void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F,
                    EvaluationWorkspace& workspace);

// F (n values) and J (n x n, column-major, J[i + k n] = dF_i/dx_k) of the system at x with every
// product and sum in long double, for the checks that double cannot resolve. The powers x_k^d
// come from a table built by repeated multiplication; a term multiplies only the powers of its
// own variables, in increasing order (prefix products from its coefficient, suffix products from
// 1), so it costs its support, not n.
void EvaluateSystemWide(const SystemView& system, const std::complex<long double>* x,
                        std::vector<std::complex<long double>>& F,
                        std::vector<std::complex<long double>>& J);

// F alone, as EvaluateSystemWide computes it (the same products in the same order).
void EvaluateSystemWideValues(const SystemView& system, const std::complex<long double>* x,
                              std::vector<std::complex<long double>>& F);

}  // namespace zormix

#endif  // ZORMIX_MODEL_SYSTEM_EVAL_H_
