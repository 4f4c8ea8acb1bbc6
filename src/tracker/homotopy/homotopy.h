// The two homotopies the path tracker follows.
#ifndef ZORMIX_TRACKER_HOMOTOPY_HOMOTOPY_H_
#define ZORMIX_TRACKER_HOMOTOPY_HOMOTOPY_H_

#include <cstdint>
#include <span>
#include <vector>

#include "base/numeric.h"
#include "tracker/homotopy/homotopy_eval.h"

namespace zormix {

// H(y, p), dH/dp and dH/dy at one value of the path parameter p. Each worker owns its own
// instance (the evaluation scratch lives inside).
class Homotopy {
 public:
  virtual ~Homotopy() = default;
  virtual int n() const = 0;
  virtual void Evaluate(const Complex* y, double p, ColMajorMatrix<Complex>& J, Complex* H,
                        Complex* Hp) = 0;
  // The same at a complex parameter value, for the end game's loops around the target. Always in
  // double; leaves the state of the real evaluations (cached coefficients) untouched.
  virtual void EvaluateComplex(const Complex* y, Complex p, ColMajorMatrix<Complex>& J, Complex* H,
                               Complex* Hp) = 0;
  // From now on H is evaluated in long double (J and dH/dp stay double): near two paths that come
  // close, a Newton correction from a residual at double's rounding level is already a percent
  // of |y|, while one from the finer residual is 2048 times smaller. About twice the cost.
  void UseExtendedResidual(bool on) { extendedResidual_ = on; }
  // max_i sum_j |A_j y^a_j| at the last extended evaluation (0 before one): the size the
  // rounding of the extended residual is relative to.
  double ExtendedTermSize() const { return static_cast<double>(termSizeMax_); }

 protected:
  bool extendedResidual_ = false;
  long double termSizeMax_ = 0.0L;
  std::vector<LongComplex> extendedScratch_;  // coefficients and powers of the extended residual
  std::vector<LongComplex> extendedPowers_;
  std::vector<LongComplex> extendedValues_;
};

// Polyhedral homotopy in s = ln t: A_j = (start_j + delta_j e^s) e^{beta_j s},
// B_j = dA_j/ds = beta_j A_j + delta_j e^s e^{beta_j s}.
class PolyhedralHomotopy : public Homotopy {
 public:
  // delta = target - start, shared by all paths; the referenced arrays must outlive this object.
  PolyhedralHomotopy(const MonomialLayout& layout, std::span<const Complex> start,
                     std::span<const Complex> delta);
  // The powers beta of the current cell (m values); must outlive the evaluations.
  void SetPowers(std::span<const double> beta) {
    beta_ = beta;
    coefficientsValid_ = false;
    complexValid_ = false;
  }
  int n() const override { return layout_.n; }
  void Evaluate(const Complex* y, double s, ColMajorMatrix<Complex>& J, Complex* H,
                Complex* Hs) override;
  void EvaluateComplex(const Complex* y, Complex s, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Hs) override;

 private:
  MonomialLayout layout_;
  std::span<const Complex> start_;
  std::span<const Complex> delta_;
  void UpdateCoefficients(double s);

  void EvaluateExtendedResidual(const Complex* y, double s, Complex* H);

  std::span<const double> beta_;
  // A_ and B_ at coefficientsAt_: the corrector evaluates several times at one s, and the
  // exponentials of every term cost more than the monomials of small systems.
  std::vector<Complex> A_;
  std::vector<Complex> B_;
  double coefficientsAt_ = 0.0;
  bool coefficientsValid_ = false;
  EvaluationScratch scratch_;
  std::vector<Complex> complexA_;  // A and B at the complex parameter of EvaluateComplex
  std::vector<Complex> complexB_;
  Complex complexAt_;
  bool complexValid_ = false;
};

// Linear homotopy H = (1 - t) Q + t P with Q_i = q[2i] y_i^d_i + q[2i+1] and dH/dt = P - Q.
class TotalDegreeHomotopy : public Homotopy {
 public:
  TotalDegreeHomotopy(const MonomialLayout& layout, std::span<const Complex> target,
                      std::span<const Complex> q, std::span<const std::int32_t> degree);
  int n() const override { return layout_.n; }
  void Evaluate(const Complex* y, double t, ColMajorMatrix<Complex>& J, Complex* H,
                Complex* Ht) override;
  void EvaluateComplex(const Complex* y, Complex t, ColMajorMatrix<Complex>& J, Complex* H,
                       Complex* Ht) override;

 private:
  MonomialLayout layout_;
  std::span<const Complex> target_;
  std::span<const Complex> q_;
  std::span<const std::int32_t> degree_;
  EvaluationScratch scratch_;

  template <typename Parameter>
  void EvaluateLinear(const Complex* y, Parameter t, ColMajorMatrix<Complex>& J, Complex* H,
                      Complex* Ht);
  void EvaluateExtendedResidual(const Complex* y, double t, Complex* H);
  std::vector<long double> equationTermSize_;  // sum_j |t A_j y^a_j| of each equation
};

}  // namespace zormix

#endif  // ZORMIX_TRACKER_HOMOTOPY_HOMOTOPY_H_
