// The distinct regular roots monodromy has found at its base parameters.
#include "decompose/monodromy_points.h"

#include <algorithm>
#include <cmath>

#include "base/condition_estimate.h"
#include "base/numeric.h"
#include "base/random.h"
#include "decompose/monodromy_parameters.h"
#include "finish/refine.h"
#include "model/parametric_eval.h"
#include "model/system_eval.h"
#include "zormix/error.h"

namespace zormix {
namespace {

// The seed of the condition estimate's start vector: any fixed value keeps verdicts reproducible.
constexpr std::uint64_t kConditionSeed = 0x6d6f6e6f;
// Relative change at which the power iterations of the condition estimate stop: a factor of two
// in the condition number changes no verdict.
constexpr double kConditionTolerance = 1e-2;

double Size(std::span<const Complex> y) {
  double largest = 1.0;
  for (const Complex& v : y) largest = std::max(largest, std::abs(v));
  return largest;
}

double RelativeDistance(std::span<const Complex> y, std::span<const Complex> r) {
  double distance = 0.0;
  for (std::size_t k = 0; k < y.size(); ++k) distance = std::max(distance, std::abs(y[k] - r[k]));
  return distance / Size(r);
}

}  // namespace

MonodromyPoints::MonodromyPoints(const NormalForm& member, double conditionLimit)
    : system_(member),
      conditionLimit_(conditionLimit),
      maxDegree_(MaxDegrees(system_.scaled.exponents)) {
  for (const Complex& a : system_.scaled.coefficients) absCoefficients_.push_back(std::abs(a));
}

// The relative condition number of the root: a perturbation of the equations by the rounding of
// their evaluation, u S_i with S_i = sum over the terms of equation i of |a_t| |y^e_t|, moves the
// root by at most ||J^-1|| max_i S_i u, i.e. by kappa u relative to the root's size with
//   kappa = ||J^-1|| max_i S_i / max(1, max_k |y_k|).
double MonodromyPoints::Refine(std::vector<Complex>& y) const {
  const SystemView view{system_.scaled.n, system_.scaled.termCount, &system_.scaled.exponents,
                        system_.scaled.coefficients};
  ColMajorMatrix<Complex> J;
  std::vector<Complex> F;
  EvaluateSystem(view, maxDegree_, y.data(), J, F);
  if (!RefineRoot(view, maxDegree_, J, F, y)) return 0.0;
  RuntimeUniform draws(kConditionSeed);
  const SingularValueEstimate sigma = EstimateCondition(J, kConditionTolerance, draws);
  std::vector<Complex> absY(y.size()), sizes;
  for (std::size_t k = 0; k < y.size(); ++k) absY[k] = std::abs(y[k]);
  const SystemView absView{system_.scaled.n, system_.scaled.termCount, &system_.scaled.exponents,
                           absCoefficients_};
  EvaluateSystem(absView, maxDegree_, absY.data(), J, sizes);
  double largest = 0.0;
  for (const Complex& s : sizes) largest = std::max(largest, s.real());
  const double kappa = largest / (sigma.sigmaMin * Size(y));
  if (!(sigma.sigmaMin > 0.0) || !(kappa <= conditionLimit_)) return 0.0;
  return kappa;
}

std::int64_t MonodromyPoints::Find(std::span<const Complex> y) const {
  const double window = 2.0 * kMonodromySamePoint * Size(y);
  const double key = Key(y);
  std::int64_t nearest = -1;
  double nearestDistance = kMonodromySamePoint;
  for (auto it = byKey_.lower_bound(key - window); it != byKey_.end() && it->first <= key + window;
       ++it) {
    const double distance = RelativeDistance(y, scaled_[static_cast<std::size_t>(it->second)]);
    if (distance <= nearestDistance) {
      nearestDistance = distance;
      nearest = it->second;
    }
  }
  return nearest;
}

MonodromyPoints::Placement MonodromyPoints::Place(std::span<const Complex> x) {
  const int n = system_.scaled.n;
  if (static_cast<int>(x.size()) != n)
    throw Error(ErrorCode::kInvalidInput, "a point does not have one value per unknown");
  std::vector<Complex> y(x.begin(), x.end());
  for (int k = 0; k < n; ++k) y[k] *= std::exp(-system_.scaleExponents[k]);
  Placement placement;
  const double condition = Refine(y);
  if (condition == 0.0) return placement;
  placement.index = Find(y);
  if (placement.index >= 0) {
    placement.verdict = Verdict::kKnown;
    return placement;
  }
  placement.verdict = Verdict::kNew;
  placement.index = count();
  byKey_.emplace(Key(y), placement.index);
  error_.push_back(condition * 0.5 * kMachineEpsilon * Size(y));
  scaled_.push_back(std::move(y));
  return placement;
}

std::vector<Complex> MonodromyPoints::Point(std::int64_t index) const {
  std::vector<Complex> x = scaled_[static_cast<std::size_t>(index)];
  for (std::size_t k = 0; k < x.size(); ++k) x[k] *= std::exp(system_.scaleExponents[k]);
  return x;
}

ColMajorMatrix<Complex> MonodromyPoints::Points() const {
  ColMajorMatrix<Complex> points(system_.scaled.n, count());
  for (std::int64_t r = 0; r < count(); ++r) {
    const std::vector<Complex> x = Point(r);
    std::copy(x.begin(), x.end(), points.col(r));
  }
  return points;
}

}  // namespace zormix
