// Double-double arithmetic: a real number held as the unevaluated sum hi + lo of two doubles with
// |lo| <= ulp(hi) / 2, which gives 106 significand bits (unit roundoff 2^-104, about 4.9e-32)
// at the speed of a dozen double operations. Built on the error-free transformations
//   a + b = s + e  (TwoSum: s = fl(a + b), e exact, six flops)
//   a * b = p + e  (TwoProd: p = fl(a b), e = fma(a, b, -p) exact)
// Where double cannot resolve a root (the roots of Wilkinson's polynomial expanded have condition
// numbers near 1e13), double-double leaves them about sixteen correct digits more.
#ifndef ZORMIX_BASE_DOUBLE_DOUBLE_H_
#define ZORMIX_BASE_DOUBLE_DOUBLE_H_

#include <algorithm>
#include <cmath>
#include <complex>

namespace zormix {

// Unit roundoff of double-double arithmetic, 2^-104.
inline constexpr double kDoubleDoubleRoundoff = 4.93038065763132e-32;

struct DoubleDouble {
  double hi = 0.0;
  double lo = 0.0;

  constexpr DoubleDouble() = default;
  constexpr DoubleDouble(double value) : hi(value) {}  // NOLINT: exact widening
  constexpr DoubleDouble(double high, double low) : hi(high), lo(low) {}
  // Exact for the 64-bit significand of x86 long double.
  explicit DoubleDouble(long double value)
      : hi(static_cast<double>(value)), lo(static_cast<double>(value - hi)) {}

  explicit operator double() const { return hi + lo; }
  explicit operator long double() const {
    return static_cast<long double>(hi) + static_cast<long double>(lo);
  }
};

namespace dd_detail {

// s + e = a + b exactly, s = fl(a + b).
inline DoubleDouble TwoSum(double a, double b) {
  const double s = a + b;
  const double v = s - a;
  const double e = (a - (s - v)) + (b - v);
  return {s, e};
}

// s + e = a + b exactly when |a| >= |b| (or a = 0).
inline DoubleDouble QuickTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// p + e = a b exactly (barring underflow), p = fl(a b).
inline DoubleDouble TwoProd(double a, double b) {
  const double p = a * b;
  return {p, std::fma(a, b, -p)};
}

}  // namespace dd_detail

inline DoubleDouble operator-(const DoubleDouble& a) { return {-a.hi, -a.lo}; }

// The accurate sum: both pairs of parts summed error-free, relative error 2 u^2.
inline DoubleDouble operator+(const DoubleDouble& a, const DoubleDouble& b) {
  DoubleDouble s = dd_detail::TwoSum(a.hi, b.hi);
  const DoubleDouble t = dd_detail::TwoSum(a.lo, b.lo);
  s.lo += t.hi;
  s = dd_detail::QuickTwoSum(s.hi, s.lo);
  s.lo += t.lo;
  return dd_detail::QuickTwoSum(s.hi, s.lo);
}

inline DoubleDouble operator-(const DoubleDouble& a, const DoubleDouble& b) { return a + (-b); }

inline DoubleDouble operator*(const DoubleDouble& a, const DoubleDouble& b) {
  DoubleDouble p = dd_detail::TwoProd(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return dd_detail::QuickTwoSum(p.hi, p.lo);
}

// Long division: q1 = a / b in double, the remainder a - q1 b in double-double, q2 from it, and a
// third quotient digit for the last bits.
inline DoubleDouble operator/(const DoubleDouble& a, const DoubleDouble& b) {
  const double q1 = a.hi / b.hi;
  DoubleDouble r = a - DoubleDouble(q1) * b;
  const double q2 = r.hi / b.hi;
  r = r - DoubleDouble(q2) * b;
  const double q3 = r.hi / b.hi;
  const DoubleDouble q = dd_detail::QuickTwoSum(q1, q2);
  return q + DoubleDouble(q3);
}

inline DoubleDouble& operator+=(DoubleDouble& a, const DoubleDouble& b) { return a = a + b; }
inline DoubleDouble& operator-=(DoubleDouble& a, const DoubleDouble& b) { return a = a - b; }
inline DoubleDouble& operator*=(DoubleDouble& a, const DoubleDouble& b) { return a = a * b; }
inline DoubleDouble& operator/=(DoubleDouble& a, const DoubleDouble& b) { return a = a / b; }

inline bool operator==(const DoubleDouble& a, const DoubleDouble& b) {
  return a.hi == b.hi && a.lo == b.lo;
}
inline bool operator<(const DoubleDouble& a, const DoubleDouble& b) {
  return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo);
}
inline bool operator>(const DoubleDouble& a, const DoubleDouble& b) { return b < a; }

inline DoubleDouble abs(const DoubleDouble& a) { return a.hi < 0.0 ? -a : a; }

// One Newton step on the double square root s: sqrt(a) = s + (a - s^2) / (2 s).
inline DoubleDouble sqrt(const DoubleDouble& a) {
  if (!(a.hi > 0.0)) return DoubleDouble(a.hi == 0.0 ? 0.0 : std::sqrt(a.hi));
  const double s = std::sqrt(a.hi);
  const DoubleDouble residual = a - dd_detail::TwoProd(s, s);
  return dd_detail::QuickTwoSum(s, residual.hi / (2.0 * s));
}

// e^a: a = k ln 2 + r with |r| <= ln 2 / 2, e^r from its Taylor series at r / 1024 and ten
// squarings, then times 2^k. Relative error a few u while e^a > 1e-290 (below it the low part
// turns subnormal); 0 and infinity beyond the range of double.
inline DoubleDouble exp(const DoubleDouble& a) {
  if (a.hi < -745.0) return DoubleDouble(0.0);
  if (a.hi > 709.0) return DoubleDouble(HUGE_VAL);
  const DoubleDouble ln2(6.931471805599452862e-01, 2.319046813846299558e-17);
  const double k = std::nearbyint(a.hi / ln2.hi);
  const DoubleDouble r = (a - ln2 * DoubleDouble(k)) * DoubleDouble(1.0 / 1024.0);
  DoubleDouble term = r, sum = r;
  for (int i = 2; i <= 12; ++i) {
    term = term * r / DoubleDouble(static_cast<double>(i));
    sum += term;
  }
  // e^r - 1 = sum; (1 + m)^2 - 1 = 2 m + m^2 keeps the small part exact through the squarings.
  for (int i = 0; i < 10; ++i) sum = DoubleDouble(2.0) * sum + sum * sum;
  const DoubleDouble e = sum + DoubleDouble(1.0);
  const int power = static_cast<int>(k);
  return {std::ldexp(e.hi, power), std::ldexp(e.lo, power)};
}

inline bool isfinite(const DoubleDouble& a) { return std::isfinite(a.hi) && std::isfinite(a.lo); }

// A complex number with double-double parts.
struct DdComplex {
  DoubleDouble re;
  DoubleDouble im;

  constexpr DdComplex() = default;
  constexpr DdComplex(DoubleDouble real) : re(real) {}  // NOLINT: exact widening
  constexpr DdComplex(double real) : re(real) {}        // NOLINT: exact widening
  constexpr DdComplex(DoubleDouble real, DoubleDouble imaginary) : re(real), im(imaginary) {}
  DdComplex(const std::complex<double>& z) : re(z.real()), im(z.imag()) {}  // NOLINT: exact

  explicit operator std::complex<double>() const {
    return {static_cast<double>(re), static_cast<double>(im)};
  }
};

inline DdComplex operator-(const DdComplex& a) { return {-a.re, -a.im}; }
inline DdComplex operator+(const DdComplex& a, const DdComplex& b) {
  return {a.re + b.re, a.im + b.im};
}
inline DdComplex operator-(const DdComplex& a, const DdComplex& b) {
  return {a.re - b.re, a.im - b.im};
}
inline DdComplex operator*(const DdComplex& a, const DdComplex& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
inline DdComplex operator*(const DoubleDouble& a, const DdComplex& b) {
  return {a * b.re, a * b.im};
}
// The quotient scaled by the larger part of b, so that |b|^2 neither over- nor underflows.
inline DdComplex operator/(const DdComplex& a, const DdComplex& b) {
  const double scale = std::max(std::fabs(b.re.hi), std::fabs(b.im.hi));
  const DoubleDouble inverseScale(1.0 / scale);  // inexact, but it cancels between the parts
  const DdComplex c{b.re * inverseScale, b.im * inverseScale};
  const DoubleDouble norm = c.re * c.re + c.im * c.im;
  const DdComplex numerator{a.re * c.re + a.im * c.im, a.im * c.re - a.re * c.im};
  return {numerator.re / norm * inverseScale, numerator.im / norm * inverseScale};
}
inline DdComplex& operator+=(DdComplex& a, const DdComplex& b) { return a = a + b; }
inline DdComplex& operator-=(DdComplex& a, const DdComplex& b) { return a = a - b; }
inline DdComplex& operator*=(DdComplex& a, const DdComplex& b) { return a = a * b; }
inline DdComplex& operator/=(DdComplex& a, const DdComplex& b) { return a = a / b; }

inline DdComplex conj(const DdComplex& a) { return {a.re, -a.im}; }

// |a| in double: enough for norms, step sizes and pivots.
inline double AbsDouble(const DdComplex& a) {
  return std::hypot(static_cast<double>(a.re), static_cast<double>(a.im));
}
inline DoubleDouble abs(const DdComplex& a) {
  const double scale = std::max(std::fabs(a.re.hi), std::fabs(a.im.hi));
  if (scale == 0.0) return DoubleDouble(0.0);
  const DoubleDouble inverseScale(1.0 / scale);
  const DoubleDouble re = a.re * inverseScale, im = a.im * inverseScale;
  return sqrt(re * re + im * im) / inverseScale;
}
inline bool isfinite(const DdComplex& a) { return isfinite(a.re) && isfinite(a.im); }

}  // namespace zormix

#endif  // ZORMIX_BASE_DOUBLE_DOUBLE_H_
