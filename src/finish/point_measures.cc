#include "finish/point_measures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/inverse.h"
#include "finish/certify.h"
#include "finish/parameters.h"

namespace zormix {
namespace {

// A nonzero coordinate that the units of UnitsAt take for zero.
bool HasTinyCoordinate(const Complex* x, int n) {
  const double M = MaxModulus(x, n);
  for (int j = 0; j < n; ++j) {
    const double a = std::abs(x[j]);
    if (a > 0.0 && a <= finish::kZeroCoordinate * M) return true;
  }
  return false;
}

// c_j = |x_j| for every nonzero coordinate (the largest modulus for an exact zero).
PointUnits OwnUnits(const UnitsEvaluation& evaluation, const Complex* x) {
  PointUnits units;
  units.column = OwnColumnUnits(x, evaluation.system.scaled.n);
  units.row = RowUnits(evaluation, x, units.column);
  return units;
}

}  // namespace

PointMeasures MeasureInUnits(const NormalForm& system, const PointUnits& units, const Complex* x,
                             double floor) {
  return MeasureInUnits(UnitsEvaluation(system), units, x, floor);
}

PointMeasures MeasureInUnits(const UnitsEvaluation& evaluation, const PointUnits& units,
                             const Complex* x, double floor) {
  const int n = evaluation.system.scaled.n;
  ColMajorMatrix<Complex> A, inverse;
  std::vector<Complex> G;
  ScaledJacobian(evaluation, units, x, A, G);
  if (!InvertMatrix(A, inverse)) return {kUninvertible, 1.0, kUninvertible};
  PointMeasures out;
  out.termCondition = std::min(kUninvertible, MatrixNormInf(inverse));
  out.scaledCondition = std::min(out.termCondition, MatrixNormInf(A) * out.termCondition);
  const double M = MaxModulus(x, n);
  for (int j = 0; j < n; ++j) {
    Complex delta = 0.0;  // delta_j / c_j = (A^-1 G)_j
    for (int i = 0; i < n; ++i) delta += inverse(j, i) * G[i];
    const double scale = M > 0.0 ? std::max(std::abs(x[j]), floor * M) : 1.0;
    out.relativeStep = std::max(out.relativeStep, std::abs(delta) * units.column[j] / scale);
  }
  return out;
}

PointMeasures MeasurePoint(const NormalForm& system, const Complex* x) {
  return MeasurePoint(UnitsEvaluation(system), x);
}

PointMeasures MeasurePoint(const UnitsEvaluation& evaluation, const Complex* x) {
  const int n = evaluation.system.scaled.n;
  PointUnits units;
  units.column = ColumnUnitsAt(x, n);  // UnitsAt's
  units.row = RowUnits(evaluation, x, units.column);
  PointMeasures out = MeasureInUnits(evaluation, units, x, finish::kCoordinateFloor);
  if (!(out.scaledCondition > finish::kWellConditioned) || !HasTinyCoordinate(x, n)) return out;
  const PointMeasures own = MeasureInUnits(evaluation, OwnUnits(evaluation, x), x, 0.0);
  return own.relativeStep <= finish::kResolvedStep && own.scaledCondition < out.scaledCondition
             ? own
             : out;
}

}  // namespace zormix
