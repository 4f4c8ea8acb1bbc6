#include "model/equation_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zormix {

std::vector<Complex> NormalizedEquationCoefficients(const SystemView& system) {
  std::vector<Complex> scaled(system.coefficients.begin(), system.coefficients.end());
  std::size_t first = 0;
  for (int i = 0; i < system.n; ++i) {
    const std::size_t end = first + static_cast<std::size_t>(system.termCount[i]);
    double largest = 0.0;
    for (std::size_t p = first; p < end; ++p) largest = std::max(largest, std::abs(scaled[p]));
    if (largest > 0.0 && std::isfinite(largest)) {
      // Each part scaled by ldexp: 2^-e itself overflows for a subnormal largest coefficient.
      const int e = std::ilogb(largest);
      for (std::size_t p = first; p < end; ++p)
        scaled[p] = Complex(std::ldexp(scaled[p].real(), -e), std::ldexp(scaled[p].imag(), -e));
    }
    first = end;
  }
  return scaled;
}

double BackwardError(const SystemView& system, std::span<const std::int32_t> maxDegree,
                     const Complex* x, const std::vector<Complex>& F) {
  // sum_p |c_p x^a_p| is the system with coefficients |c_p| evaluated at |x|.
  std::vector<Complex> moduli(system.coefficients.size());
  std::transform(system.coefficients.begin(), system.coefficients.end(), moduli.begin(),
                 [](const Complex& c) { return Complex(std::abs(c), 0.0); });
  std::vector<Complex> xModuli(static_cast<std::size_t>(system.n));
  std::transform(x, x + system.n, xModuli.begin(),
                 [](const Complex& c) { return Complex(std::abs(c), 0.0); });
  const SystemView sizes{system.n, system.termCount, system.exponents, moduli};
  ColMajorMatrix<Complex> J;
  std::vector<Complex> termSum;
  EvaluateSystem(sizes, maxDegree, xModuli.data(), J, termSum);
  double error = 0.0;
  for (int i = 0; i < system.n; ++i) {
    const double value = std::abs(F[i]);
    if (value == 0.0) continue;
    error = std::max(error, value / termSum[i].real());
  }
  return error;
}

}  // namespace zormix
