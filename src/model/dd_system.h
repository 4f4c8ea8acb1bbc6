// Polynomial systems evaluated, and linear systems solved, in double-double arithmetic.
#ifndef ZORMIX_MODEL_DD_SYSTEM_H_
#define ZORMIX_MODEL_DD_SYSTEM_H_

#include <span>
#include <vector>

#include "base/double_double.h"
#include "model/system_eval.h"

namespace zormix {

// Work arrays of one evaluation.
struct DdScratch {
  std::vector<DdComplex> powers;  // powers[d + k * rows] = y_k^d
  std::vector<DdComplex> prefix;  // prod_{l < k} y_l^a_l of one term
  std::vector<DdComplex> suffix;  // prod_{l >= k} y_l^a_l of one term
};

// F_i = sum_j A_j y^a_j, G_i = sum_j B_j y^a_j and J(i,k) = dF_i/dy_k (n x n, column-major) over
// the terms j of equation i, every product and sum in double-double. B and G may be null, and so
// may termSize; when given, termSize[i] = sum_j |A_j y^a_j| (the size the rounding of F_i is
// relative to).
void EvaluateDoubleDouble(const MonomialLayout& layout, const DdComplex* A, const DdComplex* B,
                          const DdComplex* y, std::vector<DdComplex>& J, DdComplex* F, DdComplex* G,
                          DdScratch& scratch, double* termSize = nullptr);

// LU factorization with partial pivoting of an n x n column-major matrix.
class DdLu {
 public:
  // Factors J (consumed); false when a pivot is zero or not finite.
  bool Factor(int n, std::vector<DdComplex>& J);
  // b := J^-1 b.
  void Solve(DdComplex* b) const;

 private:
  int n_ = 0;
  std::vector<DdComplex> lu_;
  std::vector<int> pivot_;
};

// max_j |v_j| in double.
double MaxAbs(std::span<const DdComplex> v);

}  // namespace zormix

#endif  // ZORMIX_MODEL_DD_SYSTEM_H_
