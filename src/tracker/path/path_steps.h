// Small helpers shared by the predictor, the correctors and the acceptance at the target.
#ifndef ZORMIX_TRACKER_PATH_PATH_STEPS_H_
#define ZORMIX_TRACKER_PATH_PATH_STEPS_H_

#include <algorithm>
#include <cmath>

#include "base/linear_algebra.h"
#include "tracker/path/path_state.h"

namespace zormix::path_steps {

// H, Hs and J at (y, s).
inline void Evaluate(PathState& st, Homotopy& homotopy) {
  homotopy.Evaluate(st.y.data(), st.s, st.jacobian, st.residual.data(),
                    st.parameterDerivative.data());
}

// st.scratch.correction := J^{-1} rhs, on copies (the solver destroys its arguments).
inline void SolveWithJacobian(PathState& st, const std::vector<Complex>& rhs) {
  std::copy(st.jacobian.storage().begin(), st.jacobian.storage().end(),
            st.scratch.jacobianCopy.storage().begin());
  std::copy(rhs.begin(), rhs.end(), st.scratch.correction.begin());
  SolveLinearComplex(st.scratch.jacobianCopy, st.scratch.correction.data());
}

inline double MaxNorm(const std::vector<Complex>& v) {
  return zormix::MaxNorm(static_cast<int>(v.size()), v.data());
}

// y := y - d.
inline void SubtractCorrection(PathState& st) {
  for (int i = 0; i < st.n; ++i) st.y[i] -= st.scratch.correction[i];
}

inline bool AllFinite(const std::vector<Complex>& v) {
  return std::all_of(v.begin(), v.end(), [](const Complex& z) {
    return std::isfinite(z.real()) && std::isfinite(z.imag());
  });
}

}  // namespace zormix::path_steps

#endif  // ZORMIX_TRACKER_PATH_PATH_STEPS_H_
