#include "tracker/path_state.h"

#include <algorithm>
#include <cmath>

#include "tracker/linear_algebra.h"

namespace zormix {

PathState::PathState(int n)
    : n(n),
      y(n),
      yPrev(n),
      yCur(n),
      vPrev(n),
      vCur(n),
      J(n, n),
      H(n),
      Hs(n),
      w(n),
      watch(n, 1),
      Jwork(n, n),
      Jc(n, n),
      d(n),
      yOld(n),
      yPred(n),
      yB(n),
      yc(n),
      Hc(n),
      Hsc(n),
      y0(n),
      yBest(n) {}

double ToleranceAt(const ColMajorMatrix<Complex>& J, const std::vector<Complex>& y) {
  const double normJ = MatrixNormComplex(J, 1);
  const double normY = MaxNorm(static_cast<int>(y.size()), y.data());
  return 1e-7 * std::sqrt(std::max(1.0, normJ) * std::max(1.0, normY));
}

}  // namespace zormix
