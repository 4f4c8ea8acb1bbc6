// The parameter homotopy and its route: one path per start root, then the rescue of lost paths
// and the path-jumping check, as on the total-degree route.
#include "tracker/routes/parameter_homotopy.h"

#include "model/parametric_eval.h"
#include "tracker/routes/singular_start.h"
#include "tracker/routes/start_point_route.h"

namespace zormix {

ParameterHomotopy::ParameterHomotopy(const MonomialLayout& layout, const ParameterPath& path)
    : layout_(layout),
      path_(path),
      familyValues_(static_cast<std::size_t>(path.family->termTotal())),
      familySlopes_(static_cast<std::size_t>(path.family->termTotal())),
      A_(path.termOfFamily.size()),
      B_(path.termOfFamily.size()) {
  std::vector<Complex> delta;
  for (std::size_t l = 0; l < path.start.size(); ++l)
    delta.push_back(path.target[l] - path.start[l]);
  line_ = RestrictToLine(*path.family, path.start, delta);
  scratch_.Prepare(layout_);
}

// Each coefficient is a polynomial in tau along the line (RestrictToLine), cheaper to evaluate
// than the family's coefficients at p(t); dc/dt = dc/dtau dtau/dt. A real t takes the same
// operations at either type, so EvaluateComplex on the real axis gives Evaluate's coefficients.
template <typename Parameter>
void ParameterHomotopy::CoefficientsAt(Parameter t, std::vector<Complex>& values,
                                       std::vector<Complex>& slopes, std::vector<Complex>& A,
                                       std::vector<Complex>& B) {
  const Complex denominator = (1.0 - t) + path_.gamma * t;
  const Complex tau = path_.gamma * t / denominator;
  const Complex tauSlope = path_.gamma / (denominator * denominator);
  values.resize(static_cast<std::size_t>(path_.family->termTotal()));
  slopes.resize(values.size());
  line_.Evaluate(tau, values.data(), slopes.data());
  // At t = 1 exactly the target member's coefficients, not their sum along the line.
  if (t == Parameter(1.0)) EvaluateCoefficients(*path_.family, path_.target, values.data());
  A.resize(path_.termOfFamily.size());
  B.resize(A.size());
  for (std::size_t p = 0; p < A.size(); ++p) {
    const std::int64_t source = path_.termOfFamily[p];
    const double scale = path_.termScale[p];
    A[p] = source < 0 ? Complex(0.0, 0.0) : scale * values[source];
    B[p] = source < 0 ? Complex(0.0, 0.0) : scale * slopes[source] * tauSlope;
  }
  for (std::size_t p = 0; p < path_.offset.size(); ++p) {
    A[p] -= (1.0 - t) * path_.offset[p];
    B[p] += path_.offset[p];
  }
}

void ParameterHomotopy::UpdateCoefficients(double t) {
  CoefficientsAt(t, familyValues_, familySlopes_, A_, B_);
  coefficientsAt_ = t;
  coefficientsValid_ = true;
}

std::vector<Complex> ParameterHomotopy::TargetCoefficients() {
  UpdateCoefficients(1.0);
  return A_;
}

void ParameterHomotopy::Evaluate(const Complex* y, double t, ColMajorMatrix<Complex>& J, Complex* H,
                                 Complex* Ht) {
  if (!coefficientsValid_ || coefficientsAt_ != t) UpdateCoefficients(t);
  EvaluateHomotopy(layout_, A_.data(), B_.data(), y, J, H, Ht, scratch_);
  if (!extendedResidual_) return;
  extendedScratch_.assign(A_.begin(), A_.end());
  extendedValues_.resize(static_cast<std::size_t>(layout_.n));
  EvaluateValuesExtended(layout_, extendedScratch_.data(), y, extendedValues_.data(),
                         extendedPowers_, &termSizeMax_);
  for (int i = 0; i < layout_.n; ++i) H[i] = RoundToDouble(extendedValues_[i]);
}

void ParameterHomotopy::EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J,
                                        Complex* H, Complex* Ht) {
  // The corrector evaluates several times at one parameter value.
  if (!complexValid_ || complexAt_ != t) {
    CoefficientsAt(t, complexValues_, complexSlopes_, complexA_, complexB_);
    complexAt_ = t;
    complexValid_ = true;
  }
  EvaluateHomotopy(layout_, complexA_.data(), complexB_.data(), y, J, H, Ht, scratch_);
}

TrackingOutcome TrackParameterHomotopy(const PolySystem& target, const ParameterPath& path,
                                       const ColMajorMatrix<Complex>& startPoints,
                                       std::span<const std::int32_t> multiplicity,
                                       RuntimeUniform& runtime, const TrackingOptions& options,
                                       std::int32_t stepLimit) {
  const std::vector<std::int32_t> maxDegree = MaxDegrees(target.exponents);
  const MonomialLayout layout{target.n, target.termCount, &target.exponents, maxDegree};
  const std::function<ParameterHomotopy()> makeHomotopy = [&] {
    return ParameterHomotopy(layout, path);
  };
  ParameterHomotopy first = makeHomotopy();
  const std::vector<Complex> targetCoefficients = first.TargetCoefficients();
  const SystemView view{target.n, target.termCount, &target.exponents, targetCoefficients};
  const StartPaths paths =
      PlanStartPaths(first, startPoints, multiplicity, !path.offset.empty(), runtime);
  TrackingOutcome tracked = TrackFromStartPoints(makeHomotopy, paths.points, kParameterRoute, view,
                                                 maxDegree, runtime, options, stepLimit);
  CountPathCopies(paths, tracked);
  return tracked;
}

}  // namespace zormix
