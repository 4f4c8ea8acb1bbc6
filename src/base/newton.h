// Newton's method: one loop for every scalar (double, long double, double-double complex) and
// every caller's stopping rule.
#ifndef ZORMIX_BASE_NEWTON_H_
#define ZORMIX_BASE_NEWTON_H_

#include <cstddef>
#include <limits>
#include <span>

namespace zormix {

// How Newton's method ended.
enum class NewtonCode {
  kConverged,       // the rule saw convergence
  kRejected,        // the rule refused a correction (too large, not contracting, not finite)
  kSingular,        // no correction: the linear system could not be solved
  kIterationLimit,  // no verdict within the allowed corrections
};

// One correction as the rule judges it: its index (0 for the first), its size in the rule's own
// norm, and the size of the one before (infinity for the first).
template <typename Real>
struct NewtonCorrection {
  int index = 0;
  Real size = 0;
  Real previous = std::numeric_limits<Real>::infinity();
};

// What the rule makes of a correction.
enum class NewtonVerdict {
  kContinue,   // go on
  kConverged,  // stop: converged
  kRejected,   // stop: refused
};

// The record of a run. The point itself is the caller's x, moved in place.
template <typename Real>
struct NewtonResult {
  NewtonCode code = NewtonCode::kIterationLimit;
  int iterations = 0;   // corrections applied to x
  int corrections = 0;  // corrections computed (a rule may stop before applying one)
  // The size of the last correction computed, in the rule's norm: the accuracy of the point
  // before it, and an estimate of the error left when it converged.
  Real lastCorrection = std::numeric_limits<Real>::infinity();
  // lastCorrection over the one before (infinity after a single one): below 1 the iteration
  // contracts, and quadratic convergence shows as a ratio that falls with every step.
  Real contraction = std::numeric_limits<Real>::infinity();

  bool converged() const { return code == NewtonCode::kConverged; }
};

// Newton's method from x: at most maxCorrections times,
//   delta = rule.Correction(x)        J(x)^-1 F(x) (null when the system cannot be solved),
//   c.size = rule.Size(delta, x)      its size in the rule's norm,
//   rule.BeforeApplying(c, x)         a verdict on the point before the correction,
//   x -= delta,
//   rule.AfterApplying(c, x)          a verdict on the corrected point.
// A rule decides everything the caller's semantics need (limits on the first correction, the
// contraction required, the accuracy to reach, finiteness); the loop only keeps the record, so
// that every Newton iteration of the solver follows the same sequence of operations.
template <typename Scalar, typename Rule>
auto Newton(std::span<Scalar> x, int maxCorrections, Rule& rule) {
  using Real = decltype(rule.Size(static_cast<const Scalar*>(nullptr), x));
  NewtonResult<Real> result;
  const auto ended = [&result](NewtonVerdict verdict) {
    result.code =
        verdict == NewtonVerdict::kConverged ? NewtonCode::kConverged : NewtonCode::kRejected;
    return result;
  };
  NewtonCorrection<Real> c;
  for (int k = 0; k < maxCorrections; ++k) {
    const Scalar* delta = rule.Correction(x);
    if (delta == nullptr) {
      result.code = NewtonCode::kSingular;
      return result;
    }
    c.index = k;
    c.size = rule.Size(delta, x);
    result.corrections = k + 1;
    result.contraction = k == 0 ? std::numeric_limits<Real>::infinity() : c.size / c.previous;
    result.lastCorrection = c.size;
    NewtonVerdict verdict = rule.BeforeApplying(c, std::span<const Scalar>(x));
    if (verdict != NewtonVerdict::kContinue) return ended(verdict);
    for (std::size_t j = 0; j < x.size(); ++j) x[j] -= delta[j];
    result.iterations = k + 1;
    verdict = rule.AfterApplying(c, std::span<const Scalar>(x));
    if (verdict != NewtonVerdict::kContinue) return ended(verdict);
    c.previous = c.size;
  }
  result.code = NewtonCode::kIterationLimit;
  return result;
}

// Rules derive from this to leave out a verdict they do not give (a rule's own BeforeApplying or
// AfterApplying hides the one here).
struct NewtonRuleBase {
  template <typename Real, typename Scalar>
  NewtonVerdict BeforeApplying(const NewtonCorrection<Real>&, std::span<const Scalar>) {
    return NewtonVerdict::kContinue;
  }
  template <typename Real, typename Scalar>
  NewtonVerdict AfterApplying(const NewtonCorrection<Real>&, std::span<const Scalar>) {
    return NewtonVerdict::kContinue;
  }
};

}  // namespace zormix

#endif  // ZORMIX_BASE_NEWTON_H_
