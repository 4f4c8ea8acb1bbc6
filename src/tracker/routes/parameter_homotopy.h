// Coefficient-parameter homotopy: the roots of one member of a family followed to another member
// as the parameters move from p0 to p1.
#ifndef ZORMIX_TRACKER_ROUTES_PARAMETER_HOMOTOPY_H_
#define ZORMIX_TRACKER_ROUTES_PARAMETER_HOMOTOPY_H_

#include <cstdint>
#include <span>
#include <vector>

#include "base/random.h"
#include "model/parametric_eval.h"
#include "tracker/homotopy/homotopy.h"
#include "tracker/path/tracker_parameters.h"
#include "tracker/tracking.h"
#include "zormix/parametric.h"

namespace zormix {

// The segment from p0 to p1 through the complex plane: the parameters at t in [0, 1] are
// p(t) = p0 + tau(t) (p1 - p0) with tau(t) = gamma t / ((1 - t) + gamma t). For gamma off the real
// half-line [0, inf) the arc tau([0, 1]) runs from 0 to 1 away from the real segment, so a random
// gamma misses, with probability one, the finitely many tau at which roots of the family on the
// complex line through p0 and p1 meet or go to infinity.
struct ParameterPath {
  const ParametricSystem* family = nullptr;
  std::span<const Complex> start;   // p0
  std::span<const Complex> target;  // p1
  Complex gamma{1.0, 0.0};
  // The homotopy's terms in the order of the tracked layout: term p carries the coefficient of
  // family term termOfFamily[p] (-1: none, a constant term the layout adds) times termScale[p].
  std::span<const std::int64_t> termOfFamily;
  std::span<const double> termScale;
  // Empty, or per tracked term the offset delta v of a start with singular roots
  // (SingularStartOffset): (1 - t) offset[p] is taken from the coefficient of term p.
  std::span<const Complex> offset;
};

// H(y, t) = F(y; p(t)) with the layout's scale factors, and dH/dt through the chain rule
// dc/dt = (dc/dp . (p1 - p0)) dtau/dt, dtau/dt = gamma / ((1 - t) + gamma t)^2.
class ParameterHomotopy : public Homotopy {
 public:
  // The referenced arrays must outlive this object.
  ParameterHomotopy(const MonomialLayout& layout, const ParameterPath& path);
  int n() const override { return layout_.n; }
  void Evaluate(const Complex* y, double t, ColMajorMatrix<Complex>& J, Complex* H,
                Complex* Ht) override;
  void EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Ht) override;

  // The scaled coefficients of the target member (t = 1), as Evaluate uses them there.
  std::vector<Complex> TargetCoefficients();

 private:
  // A and B (dA/dt) at t, through the family's values and slopes along the line.
  template <typename Parameter>
  void CoefficientsAt(Parameter t, std::vector<Complex>& values, std::vector<Complex>& slopes,
                      std::vector<Complex>& A, std::vector<Complex>& B);
  void UpdateCoefficients(double t);

  MonomialLayout layout_;
  ParameterPath path_;
  CoefficientsOnLine line_;  // the family's coefficients along p0 + tau (p1 - p0)
  std::vector<Complex> familyValues_, familySlopes_;
  std::vector<Complex> A_, B_;
  double coefficientsAt_ = 0.0;
  bool coefficientsValid_ = false;
  EvaluationScratch scratch_;
  // The same at the complex t of EvaluateComplex, apart from the real evaluations' cache.
  std::vector<Complex> complexValues_, complexSlopes_;
  std::vector<Complex> complexA_, complexB_;
  Complex complexAt_;
  bool complexValid_ = false;
};

// Where the parameter homotopy's tracker differs from the total-degree route's: nothing yet; the
// path parameter runs over [0, 1] as there.
inline constexpr RouteConstants kParameterRoute = kTotalDegreeRoute;

// Tracks every start point (columns of startPoints, in the target's scaled variables) from p0 to
// p1, rescues paths lost to step failures, and runs the path-jumping check. Start point k is a root
// of multiplicity multiplicity[k] (empty: all regular) and stands for that many paths
// (PlanStartPaths); the outcome has one path per unit of multiplicity, numbered from 1 in start
// order. stepLimit > 0 gives up every path after that many steps (TrackFromStartPoints). `target`
// is the layout of the tracked terms (its coefficients are not read). Results do not depend on
// options.threads.
TrackingOutcome TrackParameterHomotopy(const PolySystem& target, const ParameterPath& path,
                                       const ColMajorMatrix<Complex>& startPoints,
                                       std::span<const std::int32_t> multiplicity,
                                       RuntimeUniform& runtime, const TrackingOptions& options,
                                       std::int32_t stepLimit = 0);

}  // namespace zormix

#endif  // ZORMIX_TRACKER_ROUTES_PARAMETER_HOMOTOPY_H_
