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
