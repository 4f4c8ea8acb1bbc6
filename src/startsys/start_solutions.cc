// Start solutions of the two routes, both as binomial systems: a mixed cell keeps the two monomials
// of each equation's pair, the total-degree start system is x_i^d_i = -Q(1,i) / Q(0,i).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "startsys/start_systems.h"
#include "zormix/error.h"

namespace zormix {

// coef(p1) x^E(.,p1) + coef(p2) x^E(.,p2) = 0 divided by coef(p1) x^E(.,p2) is
// x^(E(.,p1) - E(.,p2)) = -coef(p2) / coef(p1).
namespace {

// The binomial system x^(a_p1(i) - a_p2(i)) = -coef(p2) / coef(p1) of a cell.
void CellBinomials(std::int64_t cell, const CellList& cells,
                   const ColMajorMatrix<std::int32_t>& exponents,
                   const std::vector<Complex>& coefficients, IntMatrix& A,
                   std::vector<Complex>& b) {
  const int n = cells.n();
  if (cell < 0 || cell >= cells.size()) {
    throw Error(ErrorCode::kInternal, "cell " + std::to_string(cell) + " is not in a list of " +
                                          std::to_string(cells.size()) + " cells");
  }
  A = IntMatrix(n, n);
  b.assign(static_cast<std::size_t>(n), 0.0);
  for (int i = 0; i < n; ++i) {
    const std::int32_t p1 = cells.First(cell, i), p2 = cells.Second(cell, i);
    for (int j = 0; j < n; ++j) {
      A(i, j) = std::int64_t{exponents(j, p1)} - std::int64_t{exponents(j, p2)};
    }
    b[i] = -coefficients[p2] / coefficients[p1];
  }
}

}  // namespace

ColMajorMatrix<Complex> CellStartSolutions(std::int64_t cell, const CellList& cells,
                                           const ColMajorMatrix<std::int32_t>& exponents,
                                           const std::vector<Complex>& coefficients) {
  IntMatrix A;
  std::vector<Complex> b;
  CellBinomials(cell, cells, exponents, coefficients, A, b);
  ColMajorMatrix<Complex> X;
  SolveBinomialSystem(A, b, X);
  return X;
}

BinomialSolutions CellStartPoints(std::int64_t cell, const CellList& cells,
                                  const ColMajorMatrix<std::int32_t>& exponents,
                                  const std::vector<Complex>& coefficients) {
  IntMatrix A;
  std::vector<Complex> b;
  CellBinomials(cell, cells, exponents, coefficients, A, b);
  return BinomialSolutions(std::move(A), std::move(b));
}

// The diagonal matrix of the degrees is already triangular, so the solutions are
// x_i = |b_i|^(1/d_i) exp(i (arg b_i + 2 pi k_i) / d_i), k_i = 1..d_i, k_0 changing slowest.
namespace {

// x_i^d_i = -Q(1,i) / Q(0,i): the diagonal matrix of the degrees and the right-hand sides.
void TotalDegreeBinomials(const std::vector<Complex>& q, const std::vector<std::int32_t>& degrees,
                          IntMatrix& A, std::vector<Complex>& b) {
  const std::int64_t n = static_cast<std::int64_t>(degrees.size());
  if (static_cast<std::int64_t>(q.size()) != 2 * n) {
    throw Error(ErrorCode::kInternal, "total-degree start system of " + std::to_string(n) +
                                          " equations needs " + std::to_string(2 * n) +
                                          " coefficients, got " + std::to_string(q.size()));
  }
  A.Assign(n, n);
  b.assign(static_cast<std::size_t>(n), Complex());
  for (std::int64_t i = 0; i < n; ++i) {
    A(i, i) = degrees[i];
    b[i] = -q[2 * i + 1] / q[2 * i];
  }
}

}  // namespace

BinomialSolutions TotalDegreeStartPoints(const std::vector<Complex>& q,
                                         const std::vector<std::int32_t>& degrees) {
  IntMatrix A;
  std::vector<Complex> b;
  TotalDegreeBinomials(q, degrees, A, b);
  return BinomialSolutions(std::move(A), std::move(b));
}

ColMajorMatrix<Complex> TotalDegreeStartSolutions(const std::vector<Complex>& q,
                                                  const std::vector<std::int32_t>& degrees,
                                                  std::int64_t count) {
  IntMatrix A;
  std::vector<Complex> b;
  TotalDegreeBinomials(q, degrees, A, b);
  ColMajorMatrix<Complex> X;
  const std::int64_t solutionCount = SolveBinomialSystem(A, b, X);
  // The caller sized its path arrays from `count`; a different number of solutions would make
  // it read or write past them.
  if (solutionCount != count) {
    throw Error(ErrorCode::kInternal, "the total-degree start system has " +
                                          std::to_string(solutionCount) + " solutions, but " +
                                          std::to_string(count) + " were expected");
  }
  return X;
}

}  // namespace zormix
