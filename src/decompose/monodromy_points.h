// The distinct regular roots of one member of a family, as monodromy collects them: every end
// point is refined by Newton's method, kept only when it is a regular root, and matched against
// the roots known so far.
//
// The rule, in the member's scaled variables y (its normal form: units do not matter): an end
// point is a regular root when Newton's method refines it (RefineRoot) and its relative condition
// number (Refine) is at most decompose.monodromy_condition_limit (the trace test, which needs no
// distinctness, allows decompose.trace_condition_limit). It is the known root r when
//   max_k |y_k - r_k| / max(1, max_k |r_k|) <= decompose.monodromy_same_point.
// Why this tells roots apart: a refined root of condition number kappa is good to about
// kappa * 1.1e-16 relative, which the limit keeps ten times below the distance bound, so
// two end points of one root are within it; two distinct roots that close would each have a
// condition number of about the inverse of their distance, above the limit. An end point above
// the limit gets no verdict (its path counts as failed): at the generic parameters monodromy
// works at, such a root is rare, and another loop reaches it again.
#ifndef ZORMIX_DECOMPOSE_MONODROMY_POINTS_H_
#define ZORMIX_DECOMPOSE_MONODROMY_POINTS_H_

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "model/normal_form.h"
#include "zormix/col_major_matrix.h"
#include "zormix/complex.h"
#include "zormix/parametric.h"

namespace zormix {

class MonodromyPoints {
 public:
  // conditionLimit: the largest relative condition number of a regular root (Refine).
  // The member's normal form (its SegmentTarget's layout.system).
  MonodromyPoints(const NormalForm& member, double conditionLimit);

  enum class Verdict { kKnown, kNew, kNotRegular };
  struct Placement {
    Verdict verdict = Verdict::kNotRegular;
    std::int64_t index = -1;  // the known or the new point
  };
  // Refines x (n values, unscaled), decides, and adds it when new.
  Placement Place(std::span<const Complex> x);
  // The known point x matches, without refinement and without adding (-1: none).
  std::int64_t Find(std::span<const Complex> y) const;

  std::int64_t count() const { return static_cast<std::int64_t>(scaled_.size()); }
  // Every known point, unscaled, in the order they were added.
  ColMajorMatrix<Complex> Points() const;
  std::vector<Complex> Point(std::int64_t index) const;
  // The point in the member's scaled variables, and a bound on its error there: its condition
  // number times the unit roundoff times max(1, max_k |y_k|).
  const std::vector<Complex>& Scaled(std::int64_t index) const {
    return scaled_[static_cast<std::size_t>(index)];
  }
  double ErrorOf(std::int64_t index) const { return error_[static_cast<std::size_t>(index)]; }
  // The member's scale exponents: x_k = e^{s_k} y_k.
  std::span<const double> ScaleExponents() const {
    return std::span<const double>(system_.scaleExponents)
        .first(static_cast<std::size_t>(system_.scaled.n));
  }

 private:
  // Refines y; the condition number when it is a regular root, 0 when not.
  double Refine(std::vector<Complex>& y) const;
  double Key(std::span<const Complex> y) const { return y[0].real(); }

  NormalForm system_;  // the member at the base, scaled
  double conditionLimit_;
  std::vector<std::int32_t> maxDegree_;
  std::vector<Complex> absCoefficients_;      // |a_t| of the scaled member
  std::vector<std::vector<Complex>> scaled_;  // known points in the scaled variables
  std::vector<double> error_;
  std::multimap<double, std::int64_t> byKey_;
};

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_MONODROMY_POINTS_H_
