// Integer arithmetic that refuses to wrap. The unimodular reduction lets intermediate entries of
// the matrix grow far beyond those of the final L and U; a silent wrap would give wrong root counts
// and wrong roots, so every operation that could leave the range throws IntegerOverflow instead,
// and the callers turn it into an Error that names the matrix. Works for std::int64_t and the
// 128-bit integer the reduction computes in.
#ifndef ZORMIX_BASE_CHECKED_INT_H_
#define ZORMIX_BASE_CHECKED_INT_H_

#include <cstdint>
#include <stdexcept>
#include <type_traits>

namespace zormix {

using Int128 = __int128;

struct IntegerOverflow : std::overflow_error {
  IntegerOverflow() : std::overflow_error("integer overflow") {}
};

// The most negative value of a two's complement type T.
template <typename T>
constexpr T MinValue() {
  using Unsigned = std::conditional_t<sizeof(T) == 16, unsigned __int128, std::uint64_t>;
  return static_cast<T>(Unsigned{1} << (8 * sizeof(T) - 1));
}

template <typename T>
T CheckedAdd(T a, T b) {
  T r;
  if (__builtin_add_overflow(a, b, &r)) throw IntegerOverflow();
  return r;
}

template <typename T>
T CheckedSub(T a, T b) {
  T r;
  if (__builtin_sub_overflow(a, b, &r)) throw IntegerOverflow();
  return r;
}

template <typename T>
T CheckedMul(T a, T b) {
  T r;
  if (__builtin_mul_overflow(a, b, &r)) throw IntegerOverflow();
  return r;
}

// Truncating division; only MIN / -1 leaves the range (b != 0 is the caller's duty).
template <typename T>
T CheckedDiv(T a, T b) {
  if (b == -1 && a == MinValue<T>()) throw IntegerOverflow();
  return a / b;
}

template <typename T>
T CheckedAbs(T a) {
  if (a == MinValue<T>()) throw IntegerOverflow();
  return a < 0 ? -a : a;
}

// True when d divides a exactly in truncating arithmetic: (a/d)*d == a. d != 0.
template <typename T>
bool DividesExactly(T d, T a) {
  return CheckedMul(CheckedDiv(a, d), d) == a;
}

// Narrows to 64 bits, throwing when the value does not fit.
inline std::int64_t NarrowToInt64(Int128 v) {
  if (v < MinValue<std::int64_t>() || v > -(MinValue<std::int64_t>() + 1)) throw IntegerOverflow();
  return static_cast<std::int64_t>(v);
}

}  // namespace zormix

#endif  // ZORMIX_BASE_CHECKED_INT_H_
