// Integer extended gcd with truncating division, for any checked integer width. The sign of g is
// whatever the remainders leave (a remainder keeps the sign of its dividend); the reduction
// depends on this exact g, k and l. Overflow is reported as IntegerOverflow so that the caller can
// name the matrix in its message.
#ifndef ZORMIX_STARTSYS_EXTENDED_GCD_H_
#define ZORMIX_STARTSYS_EXTENDED_GCD_H_

#include "base/checked_int.h"

namespace zormix {

template <typename T>
struct GcdOf {
  T g, k, l;  // k*a + l*b = g
};

template <typename T>
GcdOf<T> ExtendedGcdChecked(T a, T b) {
  if (a == 0 && b == 0) return {0, 0, 0};
  if (a == 0) return {b, 0, 1};
  if (b == 0) return {a, 1, 0};
  if (DividesExactly(b, a)) return {b, 0, 1};
  if (DividesExactly(a, b)) return {a, 1, 0};

  // Euclid on (x, y), |x| > |y|, carrying the coefficients of x and y:
  // r_{i+1} = r_{i-1} - q r_i with q = r_{i-1} / r_i, until a remainder divides its predecessor.
  const bool aIsLarger = CheckedAbs(a) > CheckedAbs(b);
  T prev = aIsLarger ? a : b, prevX = 1, prevY = 0;
  T cur = aIsLarger ? b : a, curX = 0, curY = 1;
  while (true) {
    const T q = CheckedDiv(prev, cur);
    const T next = CheckedSub(prev, CheckedMul(q, cur));
    const T nextX = CheckedSub(prevX, CheckedMul(q, curX));
    const T nextY = CheckedSub(prevY, CheckedMul(q, curY));
    if (DividesExactly(next, cur)) {
      return aIsLarger ? GcdOf<T>{next, nextX, nextY} : GcdOf<T>{next, nextY, nextX};
    }
    prev = cur, prevX = curX, prevY = curY;
    cur = next, curX = nextX, curY = nextY;
  }
}

}  // namespace zormix

#endif  // ZORMIX_STARTSYS_EXTENDED_GCD_H_
