#include "tracker/dd_tracker.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace zormix {
namespace {

constexpr std::int32_t kStepLimit = 1000;  // a path of many more steps costs seconds
constexpr int kFirstSteps = 50;            // first step: 1/50 of the way
constexpr double kMinStepShare = 1e-13;    // a step below this share of the way underflows
constexpr double kPathTolerance = 1e-14;   // corrector stops below this correction (relative)
constexpr double kNoiseMargin = 100.0;     // ... or below this many times the rounding noise
constexpr double kFirstCorrection = 1e-4;  // the first correction may move the point this much
constexpr double kContraction = 0.1;       // each further correction at most this share
constexpr int kCorrectorIterations = 6;
constexpr int kStartIterations = 20;       // Newton at the start point
constexpr int kPolishIterations = 6;       // Newton at the target after the last step
constexpr double kDivergenceBound = 1e12;  // |y| beyond it: the path is leaving for infinity

std::vector<DdComplex> Widen(std::span<const Complex> values) {
  return std::vector<DdComplex>(values.begin(), values.end());
}

// The path's state and the solves it needs, for one homotopy.
class DdPath {
 public:
  explicit DdPath(DdHomotopy& homotopy)
      : h_(homotopy), n_(homotopy.n()), H_(n_), Hp_(n_), delta_(n_), size_(n_) {}

  // delta = H_y^-1 H at (y, p); noise: the rounding of that correction, u |H_y^-1 size(H)|.
  bool Correction(const std::vector<DdComplex>& y, double p, double& noise) {
    h_.Evaluate(y.data(), p, J_, H_.data(), Hp_.data(), size_.data());
    if (!lu_.Factor(n_, J_)) return false;
    delta_ = H_;
    lu_.Solve(delta_.data());
    std::vector<DdComplex> rounding(size_.begin(), size_.end());
    lu_.Solve(rounding.data());
    noise = kDoubleDoubleRoundoff * MaxAbs(rounding);
    return std::isfinite(MaxAbs(delta_));
  }
  // v = -H_y^-1 H_p at (y, p).
  bool Tangent(const std::vector<DdComplex>& y, double p, std::vector<DdComplex>& v) {
    h_.Evaluate(y.data(), p, J_, H_.data(), Hp_.data(), nullptr);
    if (!lu_.Factor(n_, J_)) return false;
    v = Hp_;
    lu_.Solve(v.data());
    for (DdComplex& z : v) z = -z;
    return std::isfinite(MaxAbs(v));
  }

  // Newton's corrector at p from y: true when the corrections contract to the tolerance within
  // `iterations`, the first one at most firstLimit relative to the point.
  // noiseFloor: the tolerance is raised to the rounding noise of the corrections (on the way);
  // without it the correction must reach kPathTolerance (at the target: a regular root).
  bool Correct(std::vector<DdComplex>& y, double p, int iterations, double firstLimit,
               bool noiseFloor = true) {
    double previous = 0.0;
    for (int it = 0; it < iterations; ++it) {
      double noise = 0.0;
      if (!Correction(y, p, noise)) return false;
      for (int j = 0; j < n_; ++j) y[j] -= delta_[j];
      const double step = MaxAbs(delta_);
      const double scale = std::max(1.0, MaxAbs(y));
      const double tolerance =
          std::max(kPathTolerance * scale, noiseFloor ? kNoiseMargin * noise : 0.0);
      if (it == 0 && step > firstLimit * scale) return false;
      if (step <= tolerance) return true;
      if (it > 0 && step > kContraction * previous) return false;
      previous = step;
    }
    return false;
  }

  // The fourth-order Runge-Kutta prediction from (y, p) over h.
  bool Predict(const std::vector<DdComplex>& y, double p, double h,
               std::vector<DdComplex>& predicted) {
    const DoubleDouble half(0.5 * h), whole(h), sixth = DoubleDouble(h) / DoubleDouble(6.0);
    std::vector<DdComplex> k1, k2, k3, k4, at(n_);
    auto offset = [&](const std::vector<DdComplex>& k, const DoubleDouble& by) {
      for (int j = 0; j < n_; ++j) at[j] = y[j] + by * k[j];
    };
    if (!Tangent(y, p, k1)) return false;
    offset(k1, half);
    if (!Tangent(at, p + 0.5 * h, k2)) return false;
    offset(k2, half);
    if (!Tangent(at, p + 0.5 * h, k3)) return false;
    offset(k3, whole);
    if (!Tangent(at, p + h, k4)) return false;
    predicted.resize(n_);
    for (int j = 0; j < n_; ++j)
      predicted[j] = y[j] + sixth * (k1[j] + DoubleDouble(2.0) * (k2[j] + k3[j]) + k4[j]);
    return true;
  }

 private:
  DdHomotopy& h_;
  int n_;
  std::vector<DdComplex> J_, H_, Hp_, delta_;
  std::vector<double> size_;
  DdLu lu_;
};

DdTrackResult Finished(const std::vector<DdComplex>& y, std::int32_t steps, bool reached) {
  DdTrackResult result;
  result.y.reserve(y.size());
  for (const DdComplex& z : y) result.y.push_back(static_cast<Complex>(z));
  result.steps = steps;
  result.reached = reached;
  return result;
}

RetrackResult AsRetrack(DdTrackResult&& tracked) {
  RetrackResult result;
  result.y = std::move(tracked.y);
  result.steps = tracked.steps;
  result.failed = !tracked.reached;
  result.windingNumber = tracked.reached ? 1 : 0;
  return result;
}

}  // namespace

DdTrackResult TrackDoubleDouble(DdHomotopy& homotopy, const Complex* start, double p0,
                                double pTarget) {
  const int n = homotopy.n();
  DdPath path(homotopy);
  std::vector<DdComplex> y(start, start + n), predicted;
  std::int32_t steps = 0;
  if (!path.Correct(y, p0, kStartIterations, 1.0)) return Finished(y, steps, false);
  const double way = pTarget - p0;
  double p = p0, h = way / kFirstSteps;
  int successes = 0;
  while (p < pTarget) {
    if (steps >= kStepLimit || h < kMinStepShare * (pTarget - p)) return Finished(y, steps, false);
    const bool last = h >= pTarget - p;
    const double step = last ? pTarget - p : h;
    const double next = last ? pTarget : p + step;
    predicted.clear();
    if (path.Predict(y, p, step, predicted) &&
        path.Correct(predicted, next, kCorrectorIterations, kFirstCorrection)) {
      y = predicted;
      p = next;
      ++steps;
      if (++successes == 2) {
        h *= 2.0;
        successes = 0;
      }
    } else {
      h *= 0.5;
      successes = 0;
    }
    if (!(MaxAbs(y) < kDivergenceBound)) return Finished(y, steps, false);
  }
  // Near a singular root the rounding noise of the corrections is large, and the corrector at
  // the noise level accepts points 1e-6 away from a triple root: the end point must be a root
  // Newton's method resolves to kPathTolerance.
  const bool regular =
      path.Correct(y, pTarget, kPolishIterations, kFirstCorrection, /*noiseFloor=*/false);
  return Finished(y, steps, regular);
}

DdTotalDegreeHomotopy::DdTotalDegreeHomotopy(const MonomialLayout& layout,
                                             std::span<const Complex> target,
                                             std::span<const Complex> q,
                                             std::span<const std::int32_t> degree)
    : layout_(layout), target_(Widen(target)), q_(q), degree_(degree) {}

void DdTotalDegreeHomotopy::Evaluate(const DdComplex* y, double t, std::vector<DdComplex>& J,
                                     DdComplex* H, DdComplex* Ht, double* termSize) {
  const int n = layout_.n;
  values_.resize(static_cast<std::size_t>(n));
  EvaluateDoubleDouble(layout_, target_.data(), nullptr, y, J, values_.data(), nullptr, scratch_,
                       termSize);
  const DoubleDouble tt(t), rest = DoubleDouble(1.0) - tt;
  for (DdComplex& entry : J) entry = tt * entry;
  for (int i = 0; i < n; ++i) {
    DdComplex below(1.0);  // y_i^(d_i - 1)
    for (std::int32_t e = 1; e < degree_[i]; ++e) below *= y[i];
    const DdComplex lead = DdComplex(q_[2 * i]) * below * y[i];
    const DdComplex Q = lead + DdComplex(q_[2 * i + 1]);
    H[i] = rest * Q + tt * values_[i];
    Ht[i] = values_[i] - Q;
    J[i + static_cast<std::size_t>(i) * n] +=
        rest * DoubleDouble(static_cast<double>(degree_[i])) * DdComplex(q_[2 * i]) * below;
    if (termSize != nullptr)
      termSize[i] = (1.0 - t) * (AbsDouble(lead) + std::abs(q_[2 * i + 1])) + t * termSize[i];
  }
}

DdPolyhedralHomotopy::DdPolyhedralHomotopy(const MonomialLayout& layout,
                                           std::span<const Complex> start,
                                           std::span<const Complex> target)
    : layout_(layout), start_(Widen(start)) {
  delta_.reserve(target.size());
  for (std::size_t j = 0; j < target.size(); ++j)
    delta_.push_back(DdComplex(target[j]) - DdComplex(start[j]));
}

void DdPolyhedralHomotopy::Evaluate(const DdComplex* y, double s, std::vector<DdComplex>& J,
                                    DdComplex* H, DdComplex* Hs, double* termSize) {
  const std::size_t m = start_.size();
  A_.resize(m);
  B_.resize(m);
  const DoubleDouble toTarget = exp(DoubleDouble(s));
  for (std::size_t j = 0; j < m; ++j) {
    const DoubleDouble lift =
        beta_[j] == 0.0 ? DoubleDouble(1.0) : exp(DoubleDouble(beta_[j]) * DoubleDouble(s));
    const DdComplex moving = (toTarget * lift) * delta_[j];
    A_[j] = lift * start_[j] + moving;
    B_[j] = DoubleDouble(beta_[j]) * A_[j] + moving;
  }
  EvaluateDoubleDouble(layout_, A_.data(), B_.data(), y, J, H, Hs, scratch_, termSize);
}

RetrackFunction MakeTotalDegreeDdRetrack(const MonomialLayout& layout,
                                         std::span<const Complex> target,
                                         std::span<const Complex> q,
                                         std::span<const std::int32_t> degree,
                                         const BinomialSolutions& startPoints) {
  auto homotopy = std::make_shared<DdTotalDegreeHomotopy>(layout, target, q, degree);
  return [homotopy, &startPoints, n = layout.n](const PathRecord& record, double) {
    const std::int64_t k = record.startIndex - 1;
    if (k < 0 || k >= startPoints.count()) return RetrackResult{{}, 0, true, 0};
    std::vector<Complex> start(static_cast<std::size_t>(n));
    startPoints.Solution(k, start.data());
    return AsRetrack(TrackDoubleDouble(*homotopy, start.data(), 0.0, 1.0));
  };
}

RetrackFunction MakePolyhedralDdRetrack(const MonomialLayout& layout,
                                        std::span<const Complex> start,
                                        std::span<const Complex> target,
                                        std::function<CellSetup(std::int64_t)> prepareCell) {
  auto homotopy = std::make_shared<DdPolyhedralHomotopy>(layout, start, target);
  auto cached = std::make_shared<std::pair<std::int64_t, CellSetup>>(-1, CellSetup{});
  return [homotopy, cached, prepareCell, n = layout.n](const PathRecord& record, double) {
    const std::int64_t cell = record.cell - 1;
    if (cached->first != cell) {
      cached->second = prepareCell(cell);
      cached->first = cell;
    }
    const CellSetup& setup = cached->second;
    const std::int64_t k = record.startIndex - 1;
    if (k < 0 || k >= setup.startCount) return RetrackResult{{}, 0, true, 0};
    homotopy->SetPowers(setup.powers.beta);
    std::vector<Complex> start(static_cast<std::size_t>(n));
    setup.starts->Solution(k, start.data());
    return AsRetrack(TrackDoubleDouble(*homotopy, start.data(), setup.s0, 0.0));
  };
}

}  // namespace zormix
