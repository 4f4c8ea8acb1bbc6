#include "local/units.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "base/numeric.h"
#include "local/dense.h"

namespace zormix {
namespace {

// Singular values of the scaling fit below this share of the largest are directions in which the
// system is quasi-homogeneous (integer exponents keep the others far above it).
constexpr double kScalingRank = 1e-9;
// The weight of the rows that pin the free directions (NaturalSizes): far below the fit's, far
// above its rank cut.
constexpr double kPinWeight = 1e-4;

}  // namespace

std::vector<double> NaturalSizes(const PolySystem& system, const std::vector<double>& pinned) {
  const int n = system.n;
  // Rows: sum_k (e_tk - mean_i e_k) s_k = -(ln |a_t| - mean_i ln |a|) for the terms t with
  // a_t != 0 of each equation i, the means over those terms: the equation's own scale drops out.
  std::vector<std::vector<double>> rows;
  std::vector<double> rhs;
  std::int64_t first = 0;
  for (const std::int32_t terms : system.termCount) {
    std::vector<double> mean(n + 1, 0.0);
    int used = 0;
    for (std::int64_t t = first; t < first + terms; ++t) {
      if (system.coefficients[t] == 0.0) continue;
      for (int k = 0; k < n; ++k) mean[k] += system.exponents(k, t);
      mean[n] += std::log(std::abs(system.coefficients[t]));
      ++used;
    }
    for (double& v : mean) v /= std::max(used, 1);
    for (std::int64_t t = first; t < first + terms && used > 1; ++t) {
      if (system.coefficients[t] == 0.0) continue;
      std::vector<double> row(n);
      for (int k = 0; k < n; ++k) row[k] = system.exponents(k, t) - mean[k];
      rows.push_back(std::move(row));
      rhs.push_back(mean[n] - std::log(std::abs(system.coefficients[t])));
    }
    first += terms;
  }
  for (int k = 0; k < static_cast<int>(pinned.size()); ++k) {
    if (!(pinned[k] > 0.0)) continue;
    std::vector<double> row(n, 0.0);
    row[k] = kPinWeight;
    rows.push_back(std::move(row));
    rhs.push_back(kPinWeight * std::log(pinned[k]));
  }
  std::vector<double> natural(n, 1.0);
  if (rows.empty()) return natural;
  ColMajorMatrix<Complex> A(static_cast<std::int64_t>(rows.size()), n);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (int k = 0; k < n; ++k) A(r, k) = rows[r][k];
  const std::vector<Complex> b(rhs.begin(), rhs.end());
  const std::vector<Complex> s = TruncatedLeastSquares(A, b, kScalingRank);
  for (int k = 0; k < n; ++k) {
    const double v = std::exp(s[k].real());
    if (v > 0.0 && std::isfinite(v)) natural[k] = v;
  }
  return natural;
}

double DefaultZeroShare() { return std::sqrt(kMachineEpsilon); }

double CoefficientRounding(int degree, std::int32_t terms) {
  return (degree + terms + 2.0) * kMachineEpsilon;
}

namespace {

// The sums of one equation's Taylor coefficients and of the moduli of their products, keyed by
// the exponent g: mixed radix in 64 bits when the equation's degrees allow, else the vector.
class CoefficientSums {
 public:
  CoefficientSums(const PolySystem& system, std::int64_t first, std::int32_t terms) : n_(system.n) {
    std::vector<std::int32_t> top(n_, 0);
    for (std::int32_t q = 0; q < terms; ++q)
      for (int k = 0; k < n_; ++k) top[k] = std::max(top[k], system.exponents(k, first + q));
    stride_.assign(n_, 0);
    std::uint64_t stride = 1;
    for (int k = 0; k < n_ && packed_; ++k) {
      stride_[k] = stride;
      const std::uint64_t radix = static_cast<std::uint64_t>(top[k]) + 1;
      packed_ = stride <= (std::uint64_t{1} << 62) / radix;
      stride *= radix;
    }
  }
  void Add(const std::vector<std::int32_t>& g, const Complex& value, double modulus) {
    if (packed_) {
      std::uint64_t key = 0;
      for (int k = 0; k < n_; ++k) key += g[k] * stride_[k];
      Accumulate(packedSums_[key], value, modulus);
    } else {
      Accumulate(vectorSums_[g], value, modulus);
    }
  }
  // The largest |T_g|, g != 0, above its rounding bound `rounding` sum |products|; 0 when none.
  double Largest(double rounding) const {
    double largest = 0.0;
    auto visit = [&](bool constant, const Sum& sum) {
      if (!constant && std::abs(sum.value) > rounding * sum.modulus)
        largest = std::max(largest, std::abs(sum.value));
    };
    for (const auto& [key, sum] : packedSums_) visit(key == 0, sum);
    for (const auto& [g, sum] : vectorSums_)
      visit(std::all_of(g.begin(), g.end(), [](std::int32_t v) { return v == 0; }), sum);
    return largest;
  }

 private:
  struct Sum {
    Complex value = 0.0;
    double modulus = 0.0;
  };
  static void Accumulate(Sum& sum, const Complex& value, double modulus) {
    sum.value += value;
    sum.modulus += modulus;
  }
  int n_;
  bool packed_ = true;
  std::vector<std::uint64_t> stride_;
  std::unordered_map<std::uint64_t, Sum> packedSums_;
  std::map<std::vector<std::int32_t>, Sum> vectorSums_;
};

// The Taylor coefficients of degree <= `degree` of a (x + c t)^e: a prod_k C(e_k, g_k)
// x_k^(e_k - g_k) c_k^g_k.
void AddShifts(const Complex& a, const std::int32_t* e, const Complex* x,
               const std::vector<double>& column, int degree, CoefficientSums& sums) {
  const int n = static_cast<int>(column.size());
  std::vector<std::vector<Complex>> factor(n);
  std::vector<std::vector<double>> modulus(n);
  for (int k = 0; k < n; ++k) {
    double binomial = 1.0;
    for (int g = 0; g <= std::min(e[k], degree); ++g) {
      const double scale = binomial * std::pow(column[k], g);
      factor[k].push_back(std::pow(x[k], e[k] - g) * scale);
      modulus[k].push_back(std::pow(std::abs(x[k]), e[k] - g) * scale);
      binomial = binomial * (e[k] - g) / (g + 1);
    }
  }
  std::vector<std::int32_t> g(n, 0);
  auto visit = [&](auto&& self, int k, int used, const Complex& value, double size) -> void {
    if (k == n) {
      sums.Add(g, value, size);
      return;
    }
    for (int v = 0; v < static_cast<int>(factor[k].size()) && used + v <= degree; ++v) {
      g[k] = v;
      self(self, k + 1, used + v, value * factor[k][v], size * modulus[k][v]);
    }
    g[k] = 0;
  };
  visit(visit, 0, 0, a, std::abs(a));
}

}  // namespace

std::vector<double> RowUnits(const PolySystem& system, const Complex* x,
                             const std::vector<double>& column, int degree) {
  const int n = system.n;
  std::vector<double> row;
  std::int64_t first = 0;
  for (const std::int32_t terms : system.termCount) {
    CoefficientSums sums(system, first, terms);
    double unitSum = 0.0;  // sum_t |a_t| c^e_t
    for (std::int32_t q = 0; q < terms; ++q) {
      const std::int32_t* e = system.exponents.col(first + q);
      AddShifts(system.coefficients[first + q], e, x, column, degree, sums);
      double size = std::abs(system.coefficients[first + q]);
      for (int k = 0; k < n; ++k) size *= std::pow(column[k], e[k]);
      unitSum += size;
    }
    const double largest = sums.Largest(CoefficientRounding(degree, terms));
    row.push_back(largest > 0.0 ? largest : (unitSum > 0.0 ? unitSum : 1.0));
    first += terms;
  }
  return row;
}

LocalUnits UnitsAt(const PolySystem& system, const Complex* x, const std::vector<double>& natural,
                   const std::vector<double>& zeroBelow, int rowDegree) {
  const int n = system.n;
  LocalUnits units;
  units.column.resize(n);
  for (int j = 0; j < n; ++j) {
    const double own = std::abs(x[j]);
    double floor = DefaultZeroShare() * natural[j];
    if (!zeroBelow.empty()) floor = std::max(floor, zeroBelow[j]);
    units.column[j] = own > floor ? std::max(own, natural[j]) : natural[j];
  }
  units.evaluation.assign(system.termCount.size(), 0.0);
  std::int64_t t = 0;
  for (std::size_t i = 0; i < system.termCount.size(); ++i) {
    for (std::int32_t q = 0; q < system.termCount[i]; ++q, ++t) {
      double size = std::abs(system.coefficients[t]);
      for (int k = 0; k < n; ++k) size *= std::pow(units.column[k], system.exponents(k, t));
      units.evaluation[i] += size;
    }
  }
  units.row = RowUnits(system, x, units.column, rowDegree);
  return units;
}

ColMajorMatrix<Complex> JacobianInUnits(const PolySystem& system, const Complex* x,
                                        const ColMajorMatrix<Complex>& jacobian, int rowDegree) {
  const LocalUnits units = UnitsAt(system, x, NaturalSizes(system), {}, rowDegree);
  ColMajorMatrix<Complex> scaled(jacobian.rows(), jacobian.cols());
  for (std::int64_t j = 0; j < jacobian.cols(); ++j)
    for (std::int64_t i = 0; i < jacobian.rows(); ++i)
      scaled(i, j) = jacobian(i, j) * (units.column[j] / units.row[i]);
  return scaled;
}

}  // namespace zormix
