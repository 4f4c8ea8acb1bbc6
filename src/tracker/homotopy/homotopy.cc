#include "tracker/homotopy/homotopy.h"

#include <algorithm>
#include <cmath>

namespace zormix {

PolyhedralHomotopy::PolyhedralHomotopy(const MonomialLayout& layout, std::span<const Complex> start,
                                       std::span<const Complex> delta)
    : layout_(layout), start_(start), delta_(delta), A_(start.size()), B_(start.size()) {
  scratch_.Prepare(layout_);
}

void PolyhedralHomotopy::UpdateCoefficients(double s) {
  const double es = std::exp(s);
  const std::size_t m = A_.size();
  for (std::size_t j = 0; j < m; ++j) {
    const double beta = beta_[j];
    const double eb = beta == 0.0 ? 1.0 : std::exp(beta * s);
    const Complex moving = delta_[j] * es;
    A_[j] = (start_[j] + moving) * eb;
    B_[j] = beta * A_[j] + moving * eb;
  }
  coefficientsAt_ = s;
  coefficientsValid_ = true;
}

void PolyhedralHomotopy::Evaluate(const Complex* y, double s, ColMajorMatrix<Complex>& J,
                                  Complex* H, Complex* Hs) {
  if (!coefficientsValid_ || coefficientsAt_ != s) UpdateCoefficients(s);
  EvaluateHomotopy(layout_, A_.data(), B_.data(), y, J, H, Hs, scratch_);
  if (extendedResidual_) EvaluateExtendedResidual(y, s, H);
}

void PolyhedralHomotopy::EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J,
                                         Complex* H, Complex* Hs) {
  const std::size_t m = start_.size();
  // The corrector evaluates several times at one parameter value; the exponentials of every term
  // are the bulk of the cost.
  if (complexValid_ && complexAt_ == s && complexA_.size() == m) {
    EvaluateHomotopy(layout_, complexA_.data(), complexB_.data(), y, J, H, Hs, scratch_);
    return;
  }
  complexA_.resize(m);
  complexB_.resize(m);
  complexAt_ = s;
  complexValid_ = true;
  const Complex es = std::exp(s);
  for (std::size_t j = 0; j < m; ++j) {
    const double beta = beta_[j];
    const Complex eb = beta == 0.0 ? Complex(1.0, 0.0) : std::exp(beta * s);
    const Complex moving = delta_[j] * es;
    complexA_[j] = (start_[j] + moving) * eb;
    complexB_[j] = beta * complexA_[j] + moving * eb;
  }
  EvaluateHomotopy(layout_, complexA_.data(), complexB_.data(), y, J, H, Hs, scratch_);
}

void PolyhedralHomotopy::EvaluateExtendedResidual(const Complex* y, double s, Complex* H) {
  const long double es = std::exp(static_cast<long double>(s));
  extendedScratch_.resize(A_.size());
  for (std::size_t j = 0; j < A_.size(); ++j) {
    const long double beta = beta_[j];
    const long double eb = beta == 0.0L ? 1.0L : std::exp(beta * s);
    extendedScratch_[j] = (LongComplex(start_[j]) + LongComplex(delta_[j]) * es) * eb;
  }
  extendedValues_.resize(static_cast<std::size_t>(layout_.n));
  EvaluateValuesExtended(layout_, extendedScratch_.data(), y, extendedValues_.data(),
                         extendedPowers_, &termSizeMax_);
  for (int i = 0; i < layout_.n; ++i) H[i] = RoundToDouble(extendedValues_[i]);
}

TotalDegreeHomotopy::TotalDegreeHomotopy(const MonomialLayout& layout,
                                         std::span<const Complex> target,
                                         std::span<const Complex> q,
                                         std::span<const std::int32_t> degree)
    : layout_(layout), target_(target), q_(q), degree_(degree) {
  scratch_.Prepare(layout_);
}

// H = (1 - t) Q + t P at a real or complex t (the same operations for both, so a real t gives the
// bits it always gave).
template <typename Parameter>
void TotalDegreeHomotopy::EvaluateLinear(const Complex* y, Parameter t, ColMajorMatrix<Complex>& J,
                                         Complex* H, Complex* Ht) {
  const int n = layout_.n;
  // P and J_P first (H holds P for now), then the start system on the diagonal.
  EvaluateHomotopy(layout_, target_.data(), nullptr, y, J, H, nullptr, scratch_);
  const Parameter u = 1.0 - t;
  for (int k = 0; k < n; ++k)
    for (int i = 0; i < n; ++i) J(i, k) = t * J(i, k);
  for (int i = 0; i < n; ++i) {
    const std::int32_t d = degree_[i];
    const Complex a = q_[2 * static_cast<std::size_t>(i)];
    const Complex b = q_[2 * static_cast<std::size_t>(i) + 1];
    const Complex q = a * IntegerPower(y[i], d) + b;
    // d/dy of a y^d; a degree of 0 contributes nothing (and must not divide by y = 0).
    const Complex dq =
        d == 0 ? Complex(0.0, 0.0) : a * static_cast<double>(d) * IntegerPower(y[i], d - 1);
    const Complex p = H[i];
    H[i] = u * q + t * p;
    Ht[i] = p - q;
    J(i, i) = u * dq + J(i, i);
  }
}

void TotalDegreeHomotopy::Evaluate(const Complex* y, double t, ColMajorMatrix<Complex>& J,
                                   Complex* H, Complex* Ht) {
  EvaluateLinear(y, t, J, H, Ht);
  if (extendedResidual_) EvaluateExtendedResidual(y, t, H);
}

void TotalDegreeHomotopy::EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J,
                                          Complex* H, Complex* Ht) {
  EvaluateLinear(y, t, J, H, Ht);
}

void TotalDegreeHomotopy::EvaluateExtendedResidual(const Complex* y, double t, Complex* H) {
  const int n = layout_.n;
  const long double u = 1.0L - static_cast<long double>(t);
  extendedScratch_.resize(target_.size());
  for (std::size_t j = 0; j < target_.size(); ++j)
    extendedScratch_[j] = LongComplex(target_[j]) * static_cast<long double>(t);
  extendedValues_.resize(static_cast<std::size_t>(n));
  equationTermSize_.resize(static_cast<std::size_t>(n));
  EvaluateValuesExtended(layout_, extendedScratch_.data(), y, extendedValues_.data(),
                         extendedPowers_, nullptr, equationTermSize_.data());
  // The rounding of H_i is relative to all its terms: near t = 0 the start system's
  // (1 - t)(|a y^d| + |b|) are the whole of them, and t P alone would ask the corrector for a
  // residual below its own rounding.
  termSizeMax_ = 0.0L;
  for (int i = 0; i < n; ++i) {
    const LongComplex a = q_[2 * static_cast<std::size_t>(i)];
    const LongComplex b = q_[2 * static_cast<std::size_t>(i) + 1];
    LongComplex power = 1.0L;
    for (std::int32_t d = 0; d < degree_[i]; ++d) power *= LongComplex(y[i]);
    H[i] = RoundToDouble(extendedValues_[i] + u * (a * power + b));  // t P_i + (1 - t) Q_i
    const long double size = equationTermSize_[i] + u * (std::abs(a * power) + std::abs(b));
    termSizeMax_ = std::max(termSizeMax_, size);
  }
}

}  // namespace zormix
