// Integer arithmetic for exact geometric decisions: 128 bits that record an overflow, and unbounded
// integers to repeat the work on once one did.
#ifndef ZORMIX_MIXEDCELL_EXACT_INT_H_
#define ZORMIX_MIXEDCELL_EXACT_INT_H_

#include <boost/multiprecision/cpp_int.hpp>

namespace zormix {

// 128-bit arithmetic that records an overflow instead of wrapping; the caller repeats the work on
// unbounded integers once `overflow` is set.
struct CheckedInt128 {
  using Int = __int128;
  bool overflow = false;
  Int Mul(Int a, Int b) {
    // Two factors within 64 bits cannot overflow 128.
    if (Fits64(a) && Fits64(b)) return Int(static_cast<long long>(a)) * static_cast<long long>(b);
    Int r;
    overflow |= __builtin_mul_overflow(a, b, &r);
    return r;
  }
  Int Add(Int a, Int b) {
    Int r;
    overflow |= __builtin_add_overflow(a, b, &r);
    return r;
  }
  Int Sub(Int a, Int b) {
    Int r;
    overflow |= __builtin_sub_overflow(a, b, &r);
    return r;
  }
  // Exact division (b != 0); -MIN / -1 is the one quotient that does not fit. Operands within 64
  // bits take the hardware division.
  Int Div(Int a, Int b) {
    if (b == -1) return Sub(0, a);
    if (Fits64(a) && Fits64(b)) return static_cast<long long>(a) / static_cast<long long>(b);
    return a / b;
  }
  static bool Fits64(Int v) { return v == static_cast<long long>(v); }
};

// Exact division of 128-bit integers by one fixed divisor within 64 bits, without a division
// instruction: when d divides a, a / d = (a / 2^s) * u mod 2^128 with d = +-2^s * o, o odd and
// u = o^-1 mod 2^128 (Newton's iteration u <- u (2 - o u) doubles the correct low bits from 3:
// six steps give 192). The quotient fits, so the residue is it. Only for exact divisions.
class ExactDivisor {
 public:
  explicit ExactDivisor(__int128 d) : negative_(d < 0) {
    const auto magnitude = static_cast<unsigned __int128>(negative_ ? -d : d);
    shift_ = __builtin_ctzll(static_cast<unsigned long long>(magnitude));
    const unsigned __int128 odd = magnitude >> shift_;
    inverse_ = odd;
    for (int step = 0; step < 6; ++step) inverse_ *= 2 - odd * inverse_;
  }
  __int128 Divide(__int128 a) const {
    const auto q = static_cast<__int128>(static_cast<unsigned __int128>(a >> shift_) * inverse_);
    return negative_ ? -q : q;
  }

 private:
  bool negative_;
  int shift_ = 0;
  unsigned __int128 inverse_ = 1;
};

struct BigInt {
  using Int = boost::multiprecision::cpp_int;
  bool overflow = false;  // never set
  static Int Mul(const Int& a, const Int& b) { return a * b; }
  static Int Add(const Int& a, const Int& b) { return a + b; }
  static Int Sub(const Int& a, const Int& b) { return a - b; }
  static Int Div(const Int& a, const Int& b) { return a / b; }
};

}  // namespace zormix

#endif  // ZORMIX_MIXEDCELL_EXACT_INT_H_
