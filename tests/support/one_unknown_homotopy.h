// A base for test homotopies in one unknown, written once as a complex-parameter evaluation.
#ifndef ZORMIX_TESTS_SUPPORT_ONE_UNKNOWN_HOMOTOPY_H_
#define ZORMIX_TESTS_SUPPORT_ONE_UNKNOWN_HOMOTOPY_H_

#include "tracker/homotopy.h"

namespace zormix::testing {

// The real-parameter evaluation is the complex one at s + 0i.
class OneUnknownHomotopy : public Homotopy {
 public:
  int n() const override { return 1; }
  void Evaluate(const Complex* y, double s, ColMajorMatrix<Complex>& J, Complex* H,
                Complex* Hs) override {
    EvaluateComplex(y, Complex(s, 0.0), J, H, Hs);
  }
};

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_SUPPORT_ONE_UNKNOWN_HOMOTOPY_H_
