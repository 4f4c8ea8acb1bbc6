#include "tracker/endgame/principal_part.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tracker/endgame/end_game.h"

namespace zormix {

Complex PrincipalCoefficient(const LoopSamples& loop, int j, int p) {
  const int count = loop.count();
  const double rho = std::pow(loop.radius, 1.0 / loop.winding);
  // e^{i p tau_k / m} with tau_k / m = 2 pi k / count, as powers of the first (a few units of
  // rounding over a few hundred samples, without a sine and cosine per sample).
  const Complex turn = std::polar(1.0, 2.0 * std::numbers::pi * p / count);
  Complex phase(1.0, 0.0), sum(0.0, 0.0);
  for (int k = 0; k < count; ++k, phase *= turn)
    sum += loop.values[static_cast<std::size_t>(k) * loop.n + j] * phase;
  return sum / static_cast<double>(count) * std::pow(rho, p);
}

namespace {

double LargestModulus(const LoopSamples& loop) {
  double largest = 1.0;
  for (const Complex& value : loop.values) largest = std::max(largest, std::abs(value));
  return largest;
}

// The term |a_{j,-p}| rho^{-p} of a_{j,-p} on the inner loop when the coefficient agrees on both
// loops, else 0.
double StableTerm(const LoopSamples& outer, const LoopSamples& inner, int j, int p) {
  const Complex a = PrincipalCoefficient(outer, j, p);
  const Complex b = PrincipalCoefficient(inner, j, p);
  if (!(std::abs(a - b) <= kEndGame.principalAgreement * std::abs(b))) return 0.0;
  return std::abs(b) * std::pow(inner.radius, -static_cast<double>(p) / inner.winding);
}

}  // namespace

double ProvenPoleValuation(const LoopSamples& outer, const LoopSamples& inner) {
  const int m = inner.winding;
  if (m <= 0 || outer.winding != m || outer.n != inner.n || outer.perLoop != inner.perLoop ||
      !(outer.radius != inner.radius) || outer.count() * outer.n != std::ssize(outer.values) ||
      inner.count() * inner.n != std::ssize(inner.values))
    return 0.0;
  const double least = kEndGame.principalDominance * LargestModulus(inner);
  for (int p = inner.count() / 2; p >= 1; --p)
    for (int j = 0; j < inner.n; ++j)
      if (StableTerm(outer, inner, j, p) >= least) return -static_cast<double>(p) / m;
  return 0.0;
}

double ProvenPoleValuation(const LoopSamples& outermost, const LoopSamples& outer,
                           const LoopSamples& inner) {
  const double valuation = ProvenPoleValuation(outer, inner);
  return valuation < 0.0 && ProvenPoleValuation(outermost, outer) == valuation ? valuation : 0.0;
}

}  // namespace zormix
