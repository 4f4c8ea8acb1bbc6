// Exact integer reduction, binomial systems and the start solutions of both routes.
#ifndef ZORMIX_STARTSYS_START_SYSTEMS_H_
#define ZORMIX_STARTSYS_START_SYSTEMS_H_

#include <cstdint>
#include <vector>

#include "mixedcell/cell_list.h"
#include "zormix/col_major_matrix.h"
#include "zormix/poly_system.h"

namespace zormix {

// Integer matrices of the reduction. Entries are 64-bit and every operation is checked: a value
// that leaves the 64-bit range throws Error instead of wrapping. For matrices whose reduction stays
// within 32 bits the results are those of 32-bit truncating arithmetic.
using IntMatrix = ColMajorMatrix<std::int64_t>;

// How the reduction ended. A zero pivot row met before the last row is the singular case users
// are told about (" det = 0 !  "); a zero last diagonal entry is singular too, silently.
enum class ReductionStatus { kNonsingular, kZeroPivotRow, kSingular };

// Reduces A (row i = exponent vector of equation i) in place to the lower-triangular L = A_in * U
// by unimodular column operations; U receives the transform. Returns |det A_in|, or 0 when a zero
// pivot row is met (a singular A). `status`, when given, receives how the reduction ended.
std::int64_t TriangularizeUnimodular(IntMatrix& A, IntMatrix& U, ReductionStatus* status = nullptr);

// The same steps on A alone (a copy), without U; returns |det A|.
std::int64_t AbsDeterminantByReduction(IntMatrix A, ReductionStatus* status = nullptr);

// Solves x^A(i,.) = b_i for all solutions in the complex torus, in the fixed order of the branch
// indices (row 1 slowest): column s is BinomialSolutions' solution s. b is normalised to modulus 1.
// X is resized to n x M. Returns M = |det A|; 0 (and no solutions) for a singular A.
std::int64_t SolveBinomialSystem(const IntMatrix& A, std::vector<Complex>& b,
                                 ColMajorMatrix<Complex>& X);

// The solutions of a binomial system one at a time, for systems with too many to hold.
class BinomialSolutions {
 public:
  // A and b as for SolveBinomialSystem (taken by value: the caller's are left alone).
  BinomialSolutions(IntMatrix A, std::vector<Complex> b);

  std::int64_t count() const { return count_; }  // |det A|; 0 for a singular A
  // x receives the n coordinates of solution s, 0 <= s < count().
  void Solution(std::int64_t s, Complex* x) const;

 private:
  IntMatrix L_;
  IntMatrix U_;
  std::vector<double> rho_;    // log |x_i|, the same for every solution
  std::vector<double> theta_;  // arg b_i
  std::int64_t count_ = 0;
};

// The start points of the total-degree route one at a time: solution s is column s of
// TotalDegreeStartSolutions(q, degrees, count).
BinomialSolutions TotalDegreeStartPoints(const std::vector<Complex>& q,
                                         const std::vector<std::int32_t>& degrees);

// Start solutions of 0-based cell `cell`: equation i keeps its pair (p1, p2) and reads
// coef(p1) x^E(.,p1) + coef(p2) x^E(.,p2) = 0. `coefficients` are the start coefficients.
ColMajorMatrix<Complex> CellStartSolutions(std::int64_t cell, const CellList& cells,
                                           const ColMajorMatrix<std::int32_t>& exponents,
                                           const std::vector<Complex>& coefficients);
// The same solutions one at a time (column s of CellStartSolutions, bit for bit), none stored: a
// cell of a million start solutions costs nothing before its paths run.
BinomialSolutions CellStartPoints(std::int64_t cell, const CellList& cells,
                                  const ColMajorMatrix<std::int32_t>& exponents,
                                  const std::vector<Complex>& coefficients);

// Solutions of Q(0,i) x_i^d_i + Q(1,i) = 0, with Q stored equation after equation
// (q[2i] multiplies x_i^d_i, q[2i+1] is the constant). count = product of the degrees.
ColMajorMatrix<Complex> TotalDegreeStartSolutions(const std::vector<Complex>& q,
                                                  const std::vector<std::int32_t>& degrees,
                                                  std::int64_t count);

}  // namespace zormix

#endif  // ZORMIX_STARTSYS_START_SYSTEMS_H_
