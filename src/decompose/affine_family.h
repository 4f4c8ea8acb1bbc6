// Polynomial systems whose coefficients are affine in a few parameters, built row by row: the
// levels of the cascade, the witness systems whose slice constants move, and their deflations.
// Term (row, a) has the coefficient value + sum_l slopes[l] c_l; terms are kept in exponent order,
// so that the family built from the same additions is the same bit for bit.
#ifndef ZORMIX_DECOMPOSE_AFFINE_FAMILY_H_
#define ZORMIX_DECOMPOSE_AFFINE_FAMILY_H_

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/parametric.h"
#include "zormix/poly_system.h"

namespace zormix {

using Exponents = std::vector<std::int32_t>;

class AffineFamily {
 public:
  AffineFamily(int unknowns, int parameters, int rows);

  int unknowns() const { return unknowns_; }
  int parameters() const { return parameters_; }
  int rows() const { return static_cast<int>(rows_.size()); }

  // A new empty row; returns its index.
  int AddRow();
  void Add(int row, const Exponents& a, Complex value);
  void AddSlope(int row, const Exponents& a, int parameter, Complex slope);
  // Adds weight * (slice . x + constant) to a row (x: the first slice.size() unknowns); the
  // constant is parameter `parameter` when it is >= 0, else the number `constant`.
  void AddAffine(int row, std::span<const Complex> slice, Complex constant, Complex weight,
                 int parameter);
  // Adds weight * (slice . x + constant) * s, s being parameter `parameter`.
  void AddScaledAffine(int row, std::span<const Complex> slice, Complex constant, Complex weight,
                       int parameter);
  // Adds weight * equation `equation` of `system` (whose unknowns are the first system.n).
  void AddPolynomial(int row, const PolySystem& system, int equation, Complex weight);
  // Adds weight * row `source` of this family.
  void AddRowOf(int row, int source, Complex weight);
  // Adds weight * z_factor * d(row `source`)/dz_variable (factor < 0: no factor).
  void AddDerivativeTimes(int row, int source, int variable, int factor, Complex weight);

  // The same rows in more unknowns (the new ones appear in no term).
  AffineFamily Widened(int unknowns) const;
  // The rows `which`, in that order.
  AffineFamily Selected(std::span<const int> which) const;
  // True when some coefficient of the row moves with the parameters.
  bool MovesWithParameters(int row) const;

  // The rows' values F and Jacobian J (rows x unknowns) at z and the parameters c.
  void Evaluate(std::span<const Complex> z, std::span<const Complex> c, std::vector<Complex>& F,
                ColMajorMatrix<Complex>& J) const;

  // max_i |F_i(z; c)| / S_i, S_i = sum over the terms a z^e of row i of |a| prod_k s_k^e_k with
  // s_k = max(|z_k|, sizes_k): how far z is from solving the rows, relative to the size of their
  // terms near z (0 for a row without terms). `sizes` (one per unknown) give the coordinates that
  // vanish at z a size: x^2 at x = 1e-16 is no root relative to its own term, but is one in units
  // where x is of size 1. With sizes that follow a rescaling of the unknowns (local/units.h's
  // NaturalSizes), the residual is unchanged when a row is multiplied by a constant or an unknown
  // rescaled.
  double RelativeResidual(std::span<const Complex> z, std::span<const Complex> c,
                          std::span<const double> sizes) const;

  // As a family (square: rows == unknowns); `variableNames` are padded.
  ParametricSystem Build(const std::vector<std::string>& variableNames,
                         std::vector<std::string> parameterNames) const;
  // The rows at parameters 0, as a system (any number of rows).
  PolySystem ValuesAsSystem(const std::vector<std::string>& variableNames) const;
  // The rows at the parameters c, as a system (any number of rows).
  PolySystem AtParameters(std::span<const Complex> c,
                          const std::vector<std::string>& variableNames) const;

 private:
  struct Coefficient {
    Complex value{0.0, 0.0};
    std::vector<Complex> slopes;
  };
  Coefficient& At(int row, const Exponents& a);

  int unknowns_;
  int parameters_;
  std::vector<std::map<Exponents, Coefficient>> rows_;
};

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_AFFINE_FAMILY_H_
