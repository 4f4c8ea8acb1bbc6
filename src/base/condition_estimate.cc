#include "base/condition_estimate.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/linear_algebra.h"
#include "base/numeric.h"

namespace zormix {
namespace {

// Floor for diagonal entries of R and for norms used as divisors.
constexpr double kTiny = 2.2204460492503133e-21;
constexpr int kMaxIterations = 8;

struct Triangle {
  int n;
  const Complex* R;
  Complex at(int i, int j) const { return R[i + static_cast<std::size_t>(j) * n]; }
};

// y := R z (R upper triangular).
void MultiplyR(const Triangle& R, const std::vector<Complex>& z, std::vector<Complex>& y) {
  for (int i = 0; i < R.n; ++i) {
    Complex sum(0.0, 0.0);
    for (int j = i; j < R.n; ++j) sum += R.at(i, j) * z[j];
    y[i] = sum;
  }
}

// y := R^H z.
void MultiplyRH(const Triangle& R, const std::vector<Complex>& z, std::vector<Complex>& y) {
  for (int i = 0; i < R.n; ++i) {
    Complex sum(0.0, 0.0);
    for (int j = 0; j <= i; ++j) sum += std::conj(R.at(j, i)) * z[j];
    y[i] = sum;
  }
}

// Solves R^H w = z by forward substitution.
void SolveRH(const Triangle& R, const std::vector<Complex>& z, std::vector<Complex>& w) {
  for (int i = 0; i < R.n; ++i) {
    Complex sum = z[i];
    for (int j = 0; j < i; ++j) sum -= std::conj(R.at(j, i)) * w[j];
    w[i] = sum / std::conj(R.at(i, i));
  }
}

// Solves R y = z by back substitution.
void SolveR(const Triangle& R, const std::vector<Complex>& z, std::vector<Complex>& y) {
  for (int i = R.n - 1; i >= 0; --i) {
    Complex sum = z[i];
    for (int j = i + 1; j < R.n; ++j) sum -= R.at(i, j) * y[j];
    y[i] = sum / R.at(i, i);
  }
}

void Scale(std::vector<Complex>& z, double divisor) {
  for (Complex& c : z) c /= divisor;
}

double Norm2(const std::vector<Complex>& v) {
  return VectorNorm2(static_cast<int>(v.size()), v.data());
}

// Power iteration on R^H R: sigma_max^2 is its largest eigenvalue.
double EstimateLargest(const Triangle& R, const std::vector<Complex>& z0, double tol) {
  std::vector<Complex> z = z0, y(z0.size());
  double s = 0.0, prev = 0.0;
  for (int it = 1; it <= kMaxIterations; ++it) {
    MultiplyR(R, z, y);
    Scale(y, std::max(Norm2(y), kTiny));
    MultiplyRH(R, y, z);
    s = std::max(Norm2(z), kTiny);
    Scale(z, s);
    if (it > 1 && std::abs(s - prev) < tol * s) break;
    prev = s;
  }
  return s;
}

// Inverse iteration with (R^H R)^{-1}; the estimate is ||R z|| for the converged unit z.
double EstimateSmallest(const Triangle& R, const std::vector<Complex>& z0, double tol) {
  std::vector<Complex> z = z0, w(z0.size());
  double s = 0.0, prev = 0.0;
  for (int it = 1; it <= kMaxIterations; ++it) {
    SolveRH(R, z, w);
    Scale(w, std::max(Norm2(w), kTiny));
    SolveR(R, w, z);
    Scale(z, std::max(Norm2(z), kTiny));
    MultiplyR(R, z, w);
    s = Norm2(w);
    if (it > 1 && std::abs(s - prev) < tol * s) break;
    prev = s;
  }
  return s;
}

}  // namespace

void ComplexHouseholderVector(int L, const Complex* x, Complex* v, Complex& alpha) {
  const double normX = VectorNorm2(L, x);
  const double a0 = std::abs(x[0]);
  alpha = a0 <= kMachineEpsilon ? Complex(-normX, 0.0) : -(x[0] / a0) * normX;
  std::copy(x, x + L, v);
  v[0] -= alpha;
  const double normV = VectorNorm2(L, v);
  if (normV > kMachineEpsilon) {
    for (int i = 0; i < L; ++i) v[i] /= normV;
  }
}

void HouseholderQRComplex(int n, Complex* A) {
  auto at = [A, n](int i, int j) -> Complex& { return A[i + static_cast<std::size_t>(j) * n]; };
  std::vector<Complex> v(static_cast<std::size_t>(std::max(n, 0)));
  for (int k = 0; k + 1 < n; ++k) {
    const int L = n - k;
    Complex alpha;
    ComplexHouseholderVector(L, &at(k, k), v.data(), alpha);
    at(k, k) = alpha;
    for (int i = k + 1; i < n; ++i) at(i, k) = Complex(0.0, 0.0);
    for (int j = k + 1; j < n; ++j) {
      Complex w(0.0, 0.0);
      for (int i = 0; i < L; ++i) w += std::conj(v[i]) * at(k + i, j);
      for (int i = 0; i < L; ++i) at(k + i, j) -= 2.0 * w * v[i];
    }
  }
}

SingularValueEstimate EstimateCondition(ColMajorMatrix<Complex>& J, double tol,
                                        RuntimeUniform& runtime) {
  const int n = static_cast<int>(J.rows());
  HouseholderQRComplex(n, J.data());
  for (int k = 0; k < n; ++k) {
    if (std::abs(J(k, k)) < kTiny) J(k, k) = Complex(kTiny, 0.0);
  }
  // Start vector with single-precision parts: u(0..n-1) first, then v(0..n-1).
  runtime.Reseed();
  std::vector<double> u(static_cast<std::size_t>(n)), v(static_cast<std::size_t>(n));
  for (double& value : u) value = runtime.Next();
  for (double& value : v) value = runtime.Next();
  std::vector<Complex> z0(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    z0[k] = Complex(static_cast<float>(u[k]), static_cast<float>(v[k]));
  }
  const Triangle R{n, J.data()};
  SingularValueEstimate estimate;
  estimate.sigmaMax = EstimateLargest(R, z0, tol);
  estimate.sigmaMin = EstimateSmallest(R, z0, tol);
  return estimate;
}

}  // namespace zormix
