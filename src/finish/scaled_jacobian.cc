#include "finish/scaled_jacobian.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "finish/parameters.h"
#include "model/equation_scale.h"
#include "model/system_eval.h"

namespace zormix {
namespace {

// A numerically zero coordinate carries no scale of its own: it takes the point's.
double ColumnScale(double modulus, double M) {
  if (M == 0.0) return 1.0;
  return modulus > finish::kZeroCoordinate * M ? modulus : M;
}

}  // namespace

double MaxModulus(const Complex* x, int n) {
  double m = 0.0;
  for (int j = 0; j < n; ++j) m = std::max(m, std::abs(x[j]));
  return m;
}

std::vector<double> OriginScales(const NormalForm& system) {
  std::vector<double> scales(static_cast<std::size_t>(system.scaled.n), finish::kOriginShare);
  for (std::size_t k = 0; k < scales.size() && k < system.scaleExponents.size(); ++k)
    scales[k] = finish::kOriginShare * std::exp(system.scaleExponents[k]);
  return scales;
}

NormalForm WithEquationsNormalized(const NormalForm& system) {
  NormalForm out = system;
  const SystemView view{system.scaled.n, system.scaled.termCount, &system.scaled.exponents,
                        system.rawCoefficients};
  out.rawCoefficients = NormalizedEquationCoefficients(view);
  return out;
}

UnitsEvaluation::UnitsEvaluation(const NormalForm& system)
    : system(system), maxDegree(MaxDegrees(system.scaled.exponents)) {
  absCoefficients.resize(system.rawCoefficients.size());
  for (std::size_t t = 0; t < absCoefficients.size(); ++t)
    absCoefficients[t] = std::abs(system.rawCoefficients[t]);
}

std::vector<double> RowUnits(const UnitsEvaluation& evaluation, const Complex* x,
                             const std::vector<double>& column) {
  const NormalForm& system = evaluation.system;
  const int n = system.scaled.n;
  std::vector<Complex> absX(static_cast<std::size_t>(n));
  for (int j = 0; j < n; ++j) absX[j] = std::abs(x[j]);
  const SystemView view{n, system.scaled.termCount, &system.scaled.exponents,
                        evaluation.absCoefficients};
  ColMajorMatrix<Complex> J;
  std::vector<Complex> S;
  EvaluateSystem(view, evaluation.maxDegree, absX.data(), J, S);
  std::vector<double> row(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    double change = 0.0;
    for (int j = 0; j < n; ++j) change += J(i, j).real() * column[j];
    row[i] = std::max(S[i].real(), change);
    if (!(row[i] > 0.0)) row[i] = 1.0;
  }
  return row;
}

std::vector<double> RowUnits(const NormalForm& system, const Complex* x,
                             const std::vector<double>& column) {
  return RowUnits(UnitsEvaluation(system), x, column);
}

std::vector<double> ColumnUnitsAt(const Complex* x, int n) {
  const double M = MaxModulus(x, n);
  std::vector<double> column(static_cast<std::size_t>(n));
  for (int j = 0; j < n; ++j) column[j] = ColumnScale(std::abs(x[j]), M);
  return column;
}

PointUnits UnitsAt(const NormalForm& system, const Complex* x) {
  PointUnits units;
  units.column = ColumnUnitsAt(x, system.scaled.n);
  units.row = RowUnits(system, x, units.column);
  return units;
}

std::vector<double> ColumnUnitsAtOrigin(const Complex* x, const std::vector<double>& origin) {
  const int n = static_cast<int>(origin.size());
  const double M = MaxModulus(x, n);
  std::vector<double> column(origin.size());
  for (int j = 0; j < n; ++j) {
    column[j] = ColumnScale(std::abs(x[j]), M);
    if (std::abs(x[j]) < origin[j]) column[j] = std::max(column[j], M);
  }
  return column;
}

namespace {

void ScaledJacobianOf(const NormalForm& system, std::span<const std::int32_t> maxDegree,
                      const PointUnits& units, const Complex* x, ColMajorMatrix<Complex>& A,
                      std::vector<Complex>& G) {
  const int n = system.scaled.n;
  const SystemView unscaled{n, system.scaled.termCount, &system.scaled.exponents,
                            system.rawCoefficients};
  EvaluateSystem(unscaled, maxDegree, x, A, G);
  for (int i = 0; i < n; ++i) G[i] /= units.row[i];
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) A(i, j) *= units.column[j] / units.row[i];
  }
}

}  // namespace

void ScaledJacobian(const NormalForm& system, const PointUnits& units, const Complex* x,
                    ColMajorMatrix<Complex>& A, std::vector<Complex>& G) {
  ScaledJacobianOf(system, MaxDegrees(system.scaled.exponents), units, x, A, G);
}

void ScaledJacobian(const UnitsEvaluation& evaluation, const PointUnits& units, const Complex* x,
                    ColMajorMatrix<Complex>& A, std::vector<Complex>& G) {
  ScaledJacobianOf(evaluation.system, evaluation.maxDegree, units, x, A, G);
}

}  // namespace zormix
