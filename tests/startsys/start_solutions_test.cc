#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "startsys/cell_volumes.h"
#include "startsys/start_systems.h"
#include "zormix/error.h"
#include "zormix/solve.h"

namespace zormix {
namespace {

// Exponents given term by term: column p is the exponent vector of term p.
ColMajorMatrix<std::int32_t> Exponents(const std::vector<std::vector<std::int32_t>>& terms) {
  ColMajorMatrix<std::int32_t> e(static_cast<std::int64_t>(terms[0].size()),
                                 static_cast<std::int64_t>(terms.size()));
  for (std::size_t p = 0; p < terms.size(); ++p) {
    for (std::size_t i = 0; i < terms[p].size(); ++i) e(i, p) = terms[p][i];
  }
  return e;
}

void AddCell(CellList& cells, const std::vector<std::pair<std::int32_t, std::int32_t>>& pairs) {
  const std::int64_t c = cells.AddCell();
  for (int i = 0; i < cells.n(); ++i) {
    cells.First(c, i) = pairs[i].first;
    cells.Second(c, i) = pairs[i].second;
  }
}

Complex Monomial(const ColMajorMatrix<Complex>& x, std::int64_t s,
                 const ColMajorMatrix<std::int32_t>& e, std::int32_t p) {
  Complex value = 1.0;
  for (std::int64_t j = 0; j < e.rows(); ++j) value *= std::pow(x(j, s), e(j, p));
  return value;
}

// x^2 + y^2 - 1 and x - y with a zero constant term: terms x^2, y^2, 1 | x, y, 1.
ColMajorMatrix<std::int32_t> CircleAndLineExponents() {
  return Exponents({{2, 0}, {0, 2}, {0, 0}, {1, 0}, {0, 1}, {0, 0}});
}

TEST(TotalDegreeStartSolutionsTest, SolvesTheDiagonalSystemInBranchOrder) {
  const std::vector<Complex> q = {1.0, -4.0, 1.0, 8.0};
  const ColMajorMatrix<Complex> x = TotalDegreeStartSolutions(q, {2, 3}, 6);
  ASSERT_EQ(x.cols(), 6);
  const double r3 = std::sqrt(3.0);
  const Complex expected[6][2] = {{-2.0, -2.0}, {-2.0, {1.0, -r3}}, {-2.0, {1.0, r3}},
                                  {2.0, -2.0},  {2.0, {1.0, -r3}},  {2.0, {1.0, r3}}};
  for (int s = 0; s < 6; ++s) {
    for (int i = 0; i < 2; ++i) EXPECT_NEAR(std::abs(x(i, s) - expected[s][i]), 0.0, 1e-12);
  }
}

TEST(TotalDegreeStartSolutionsTest, RejectsAMismatchedCountOrCoefficientList) {
  const std::vector<Complex> q = {1.0, -4.0, 1.0, 8.0};
  EXPECT_THROW(TotalDegreeStartSolutions(q, {2, 3}, 5), Error);
  EXPECT_THROW(TotalDegreeStartSolutions(q, {2, 3, 1}, 6), Error);
}

// The start points computed one at a time are those of the whole matrix, bit for bit: coefficients
// of moduli far from 1 and of every quadrant, degrees 1 (a run of one) to 7, and a coefficient
// list that does not fit.
TEST(TotalDegreeStartSolutionsTest, PointsOneAtATimeAreTheColumnsBitForBit) {
  const std::vector<Complex> q = {{1e-3, 2.0}, {-7e4, 0.3}, {-1.0, -1e-5}, {0.25, -9.0},
                                  {3.0, 0.0},  {0.0, -1e6}, {-2.0, 5.0},   {-1e-7, -0.1}};
  for (const std::vector<std::int32_t>& degrees :
       {std::vector<std::int32_t>{7, 1, 3, 2}, {1, 1, 1, 5}, {2, 3, 2, 1}}) {
    std::int64_t count = 1;
    for (std::int32_t d : degrees) count *= d;
    const ColMajorMatrix<Complex> all = TotalDegreeStartSolutions(q, degrees, count);
    const BinomialSolutions points = TotalDegreeStartPoints(q, degrees);
    ASSERT_EQ(points.count(), count);
    std::vector<Complex> x(4);
    for (std::int64_t s = 0; s < count; ++s) {
      points.Solution(s, x.data());
      for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(x[i].real(), all(i, s).real()) << s << " " << i;
        ASSERT_EQ(x[i].imag(), all(i, s).imag()) << s << " " << i;
      }
    }
  }
  EXPECT_THROW(TotalDegreeStartPoints({1.0, 2.0}, {2, 3}), Error);
}

// Every start solution of a cell makes both monomials of each pair cancel:
// coef(p1) x^E(p1) + coef(p2) x^E(p2) = 0, and the cell has |det| of them, all distinct.
TEST(CellStartSolutionsTest, SolutionsCancelEachPairOfTheCell) {
  const ColMajorMatrix<std::int32_t> e = CircleAndLineExponents();
  CellList cells(2);
  AddCell(cells, {{0, 2}, {4, 5}});
  AddCell(cells, {{0, 1}, {3, 5}});
  AddCell(cells, {{1, 2}, {3, 4}});
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> angle(-3.0, 3.0);
  std::vector<Complex> coef(6);
  for (auto& c : coef) c = std::polar(1.0, angle(rng));
  for (std::int64_t c = 0; c < cells.size(); ++c) {
    const ColMajorMatrix<Complex> x = CellStartSolutions(c, cells, e, coef);
    ASSERT_EQ(x.cols(), 2) << "cell " << c;
    for (std::int64_t s = 0; s < x.cols(); ++s) {
      for (int i = 0; i < 2; ++i) {
        const std::int32_t p1 = cells.First(c, i), p2 = cells.Second(c, i);
        const Complex value = coef[p1] * Monomial(x, s, e, p1) + coef[p2] * Monomial(x, s, e, p2);
        EXPECT_LT(std::abs(value), 1e-12) << "cell " << c << ", solution " << s << ", eq " << i;
      }
    }
    EXPECT_GT(std::abs(x(0, 0) - x(0, 1)) + std::abs(x(1, 0) - x(1, 1)), 1e-6);
  }
}

TEST(CellStartSolutionsTest, UnimodularCellHasOneSolutionAndPairOrderDoesNotMatter) {
  // Terms xy, 1 | y, 1: x y = -c1/c0, y = -c3/c2.
  const ColMajorMatrix<std::int32_t> e = Exponents({{1, 1}, {0, 0}, {0, 1}, {0, 0}});
  const std::vector<Complex> coef = {{2.0, 1.0}, {-1.0, 3.0}, {0.5, -0.5}, {1.0, 1.0}};
  CellList cells(2);
  AddCell(cells, {{0, 1}, {2, 3}});
  AddCell(cells, {{1, 0}, {2, 3}});
  for (std::int64_t c = 0; c < 2; ++c) {
    const ColMajorMatrix<Complex> x = CellStartSolutions(c, cells, e, coef);
    ASSERT_EQ(x.cols(), 1);
    const Complex y = -coef[3] / coef[2];
    EXPECT_NEAR(std::abs(x(1, 0) - y), 0.0, 1e-13);
    EXPECT_NEAR(std::abs(x(0, 0) - (-coef[1] / coef[0]) / y), 0.0, 1e-13);
  }
  EXPECT_THROW(CellStartSolutions(2, cells, e, coef), Error);
}

TEST(CellVolumesTest, SumsAbsoluteDeterminantsOfTheEdgeMatrices) {
  const ColMajorMatrix<std::int32_t> e = CircleAndLineExponents();
  CellList cells(2);
  AddCell(cells, {{0, 2}, {4, 5}});  // edges (2, 0), (0, 1)
  AddCell(cells, {{0, 1}, {3, 5}});  // edges (2, -2), (1, 0)
  AddCell(cells, {{1, 2}, {3, 4}});  // edges (0, 2), (1, -1)
  AddCell(cells, {{0, 2}, {3, 5}});  // edges (2, 0), (1, 0): singular in the last row
  AddCell(cells, {{2, 2}, {3, 5}});  // a zero first row: the reduction reports it
  std::int64_t mixedVolume = -1, zeroPivotRowCells = -1;
  EXPECT_EQ(CellVolumes(e, cells, mixedVolume, &zeroPivotRowCells),
            (std::vector<std::int64_t>{2, 2, 2, 0, 0}));
  EXPECT_EQ(mixedVolume, 6);
  EXPECT_EQ(zeroPivotRowCells, 1);

  EXPECT_TRUE(CellVolumes(e, CellList(2), mixedVolume).empty());
  EXPECT_EQ(mixedVolume, 0);
}

TEST(CellVolumesTest, MixedVolumeBeyondThirtyTwoBitsIsAnError) {
  const ColMajorMatrix<std::int32_t> e = Exponents({{50000, 0}, {0, 0}, {0, 50000}, {0, 0}});
  CellList cells(2);
  AddCell(cells, {{0, 1}, {2, 3}});
  std::int64_t mixedVolume = 0;
  EXPECT_THROW(CellVolumes(e, cells, mixedVolume), Error);
}

}  // namespace
}  // namespace zormix
