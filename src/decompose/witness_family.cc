#include "decompose/witness_family.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "decompose/affine_family.h"
#include "zormix/error.h"

namespace zormix {
namespace {

[[noreturn]] void Fail(const std::string& message) {
  throw Error(ErrorCode::kInvalidInput, "system: " + message);
}

void CheckArrays(const PolySystem& system) {
  if (system.n < 1) Fail("no variables");
  if (system.termCount.empty()) Fail("no equations");
  std::int64_t m = 0;
  for (std::size_t i = 0; i < system.termCount.size(); ++i) {
    if (system.termCount[i] < 1) {
      Fail("equation " + std::to_string(i + 1) +
           " is identically zero (all its coefficients are 0)");
    }
    m += system.termCount[i];
  }
  if (system.exponents.rows() != system.n || system.exponents.cols() != m ||
      static_cast<std::int64_t>(system.coefficients.size()) != m ||
      system.variableNames.size() != static_cast<std::size_t>(system.n)) {
    Fail("the exponents, coefficients and names do not fit the term counts");
  }
  for (std::int64_t p = 0; p < m; ++p) {
    const Complex c = system.coefficients[p];
    if (!std::isfinite(c.real()) || !std::isfinite(c.imag()))
      Fail("the coefficient of term " + std::to_string(p + 1) + " is not finite");
    for (int k = 0; k < system.n; ++k)
      if (system.exponents(k, p) < 0) Fail("negative exponent in term " + std::to_string(p + 1));
  }
}

// Each equation divided by the power of two nearest its largest coefficient: exact, and no row
// outweighs the slack terms or another row in a random combination.
PolySystem ScaleRows(PolySystem system) {
  std::int64_t p = 0;
  for (std::size_t i = 0; i < system.termCount.size(); ++i) {
    double largest = 0.0;
    for (std::int32_t t = 0; t < system.termCount[i]; ++t)
      largest = std::max(largest, std::abs(system.coefficients[p + t]));
    if (largest == 0.0)
      Fail("equation " + std::to_string(i + 1) +
           " is identically zero (all its coefficients are 0)");
    const double scale = std::ldexp(1.0, -std::ilogb(largest));
    for (std::int32_t t = 0; t < system.termCount[i]; ++t) system.coefficients[p + t] *= scale;
    p += system.termCount[i];
  }
  return system;
}

int RowCount(const Equations& equations) {
  return static_cast<int>(equations.rows.termCount.size());
}

std::span<const Complex> SliceRow(const Embedding& embedding, int j, std::vector<Complex>& row) {
  row.resize(static_cast<std::size_t>(embedding.slice.cols()));
  for (std::int64_t l = 0; l < embedding.slice.cols(); ++l) row[l] = embedding.slice(j, l);
  return row;
}

// The rows of F and the slack terms of the slices 1..k, with slice `scaled` (if >= 1) times the
// parameter s.
AffineFamily LevelFamily(const Equations& equations, const Embedding& embedding, int k,
                         int scaled) {
  if (k < 0 || k > embedding.top) throw Error(ErrorCode::kInternal, "level out of range");
  const int n = equations.n;
  AffineFamily family(n, scaled >= 1 ? 1 : 0, n);
  for (int i = 0; i < RowCount(equations); ++i)
    family.AddPolynomial(i, equations.rows, i, Complex(1.0, 0.0));
  std::vector<Complex> row;
  for (int j = 0; j < k; ++j) {
    const std::span<const Complex> c = SliceRow(embedding, j, row);
    for (int i = 0; i < n; ++i) {
      const Complex weight = -embedding.weights(i, j);
      if (j + 1 == scaled) {
        family.AddScaledAffine(i, c, embedding.constants[j], weight, 0);
      } else {
        family.AddAffine(i, c, embedding.constants[j], weight, -1);
      }
    }
  }
  return family;
}

}  // namespace

Complex RandomComplex(RuntimeUniform& draws) {
  const double re = 2.0 * draws.Next() - 1.0;
  return {re, 2.0 * draws.Next() - 1.0};
}

Equations PrepareEquations(const PolySystem& system, RuntimeUniform& draws) {
  CheckArrays(system);
  Equations equations;
  equations.n = system.n;
  equations.given = static_cast<int>(system.termCount.size());
  equations.original = ScaleRows(system);
  equations.asGiven = system;
  equations.randomized = equations.given > system.n;
  if (!equations.randomized) {
    equations.rows = equations.original;
    return equations;
  }
  // f_1..n + B f_n+1..N: the first n rows keep their sparsity.
  AffineFamily rows(system.n, 0, system.n);
  for (int i = 0; i < system.n; ++i) {
    rows.AddPolynomial(i, equations.original, i, Complex(1.0, 0.0));
    for (int e = system.n; e < equations.given; ++e)
      rows.AddPolynomial(i, equations.original, e, RandomComplex(draws));
  }
  equations.rows = rows.ValuesAsSystem(system.variableNames);
  return equations;
}

Embedding DrawEmbedding(int n, int top, RuntimeUniform& draws) {
  Embedding embedding;
  embedding.top = top;
  embedding.weights.Assign(n, top);
  embedding.slice.Assign(top, n);
  for (int j = 0; j < top; ++j) {
    for (int i = 0; i < n; ++i) embedding.weights(i, j) = RandomComplex(draws);
    for (int l = 0; l < n; ++l) embedding.slice(j, l) = RandomComplex(draws);
    embedding.constants.push_back(RandomComplex(draws));
  }
  return embedding;
}

PolySystem LevelSystem(const Equations& equations, const Embedding& embedding, int k) {
  return LevelFamily(equations, embedding, k, 0).ValuesAsSystem(equations.rows.variableNames);
}

ParametricSystem CascadeStep(const Equations& equations, const Embedding& embedding, int k) {
  return LevelFamily(equations, embedding, k, k).Build(equations.rows.variableNames, {"s"});
}

double SliceResidual(const Embedding& embedding, int k, std::span<const Complex> x) {
  double worst = 0.0;
  for (int j = 0; j < k; ++j) {
    Complex value = embedding.constants[j];
    double size = std::abs(value);
    for (std::size_t l = 0; l < x.size(); ++l) {
      value += embedding.slice(j, l) * x[l];
      size += std::abs(embedding.slice(j, l) * x[l]);
    }
    worst = std::max(worst, std::abs(value) / size);
  }
  return worst;
}

double SystemResidual(const Equations& equations, std::span<const Complex> x) {
  const PolySystem& f = equations.original;
  double radius = 1.0;
  for (const Complex& value : x) radius = std::max(radius, std::abs(value));
  double worst = 0.0;
  std::int64_t p = 0;
  for (std::size_t i = 0; i < f.termCount.size(); ++i) {
    Complex value(0.0, 0.0);
    double size = 0.0;
    for (std::int32_t t = 0; t < f.termCount[i]; ++t, ++p) {
      Complex term = f.coefficients[p];
      double bound = std::abs(term);
      for (int k = 0; k < f.n; ++k) {
        for (std::int32_t e = 0; e < f.exponents(k, p); ++e) {
          term *= x[k];
          bound *= radius;
        }
      }
      value += term;
      size += bound;
    }
    worst = std::max(worst, std::abs(value) / size);
  }
  return worst;
}

ColMajorMatrix<Complex> DrawMix(const Equations& equations, int k, RuntimeUniform& draws) {
  const int rows = RowCount(equations);
  ColMajorMatrix<Complex> mix;
  mix.Assign(equations.n - k, rows);
  for (int i = 0; i < equations.n - k; ++i)
    for (int e = 0; e < rows; ++e) mix(i, e) = RandomComplex(draws);
  return mix;
}

AffineFamily WitnessRows(const Equations& equations, const ColMajorMatrix<Complex>& mix,
                         const ColMajorMatrix<Complex>& slice) {
  const int n = equations.n;
  const int k = static_cast<int>(slice.rows());
  AffineFamily family(n, k, n);
  for (int i = 0; i < n - k; ++i)
    for (int e = 0; e < RowCount(equations); ++e)
      family.AddPolynomial(i, equations.rows, e, mix(i, e));
  for (int j = 0; j < k; ++j) {
    std::vector<Complex> row(static_cast<std::size_t>(n));
    for (int l = 0; l < n; ++l) row[l] = slice(j, l);
    family.AddAffine(n - k + j, row, Complex(0.0, 0.0), Complex(1.0, 0.0), j);
  }
  return family;
}

std::vector<std::string> SliceConstantNames(int k) {
  std::vector<std::string> names;
  for (int j = 0; j < k; ++j) names.push_back(std::string("c").append(std::to_string(j + 1)));
  return names;
}

ParametricSystem WitnessSystem(const Equations& equations, const ColMajorMatrix<Complex>& mix,
                               const ColMajorMatrix<Complex>& slice) {
  return WitnessRows(equations, mix, slice)
      .Build(equations.rows.variableNames, SliceConstantNames(static_cast<int>(slice.rows())));
}

}  // namespace zormix
