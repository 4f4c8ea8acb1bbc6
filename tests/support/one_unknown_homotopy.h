// Bases for test homotopies written once as a complex-parameter evaluation.
#ifndef ZORMIX_TESTS_SUPPORT_ONE_UNKNOWN_HOMOTOPY_H_
#define ZORMIX_TESTS_SUPPORT_ONE_UNKNOWN_HOMOTOPY_H_

#include "tracker/homotopy/homotopy.h"

namespace zormix::testing {

// A test homotopy written once as a complex-parameter evaluation: the real-parameter one is the
// complex one at s + 0i.
class ComplexParameterHomotopy : public Homotopy {
 public:
  void Evaluate(const Complex* y, double s, ColMajorMatrix<Complex>& J, Complex* H,
                Complex* Hs) override {
    EvaluateComplex(y, Complex(s, 0.0), J, H, Hs);
  }
};

// The same in one unknown.
class OneUnknownHomotopy : public ComplexParameterHomotopy {
 public:
  int n() const override { return 1; }
};

}  // namespace zormix::testing

#endif  // ZORMIX_TESTS_SUPPORT_ONE_UNKNOWN_HOMOTOPY_H_
