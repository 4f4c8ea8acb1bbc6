#include "tracker/endgame/growth_record.h"

#include <algorithm>
#include <cmath>

namespace zormix {

void GrowthRecord::Reset() {
  distances_.clear();
  logSizes_.clear();
}

void GrowthRecord::Observe(double d, const std::vector<Complex>& y) {
  if (!(d > 0.0 && d < kGrowth.zone) || sampleCount() >= kGrowth.maxSamples) return;
  if (!distances_.empty() && d * kGrowth.sampleRatio > distances_.back()) return;
  const bool usable = std::all_of(y.begin(), y.end(), [](const Complex& z) {
    const double r = std::abs(z);
    return r > 0.0 && std::isfinite(r);
  });
  if (!usable) return;
  distances_.push_back(d);
  for (int j = 0; j < n_; ++j) logSizes_.push_back(std::log(std::abs(y[j])));
}

double GrowthRecord::Exponent(int j, int k) const {
  const double rise = logSizes_[(k + 1) * n_ + j] - logSizes_[k * n_ + j];
  return rise / std::log(distances_[k + 1] / distances_[k]);
}

double GrowthRecord::ProvenExponentOf(int j, int first) const {
  const int last = sampleCount() - 1;
  for (int k = first; k < last; ++k)
    if (!(Exponent(j, k) < -kGrowth.floorExponent)) return 0.0;
  const double firstExponent = Exponent(j, first);
  const double lastExponent = Exponent(j, last - 1);
  return lastExponent <= kGrowth.shrinkBound * firstExponent ? lastExponent : 0.0;
}

bool GrowthRecord::AnyShrinks(int first) const {
  const int last = sampleCount() - 1;
  for (int j = 0; j < n_; ++j) {
    bool shrinks = true;
    for (int k = first; k < last && shrinks; ++k) shrinks = Exponent(j, k) > kGrowth.floorExponent;
    if (shrinks) return true;
  }
  return false;
}

double GrowthRecord::ProvenExponent() const {
  const int last = sampleCount() - 1;
  if (last < 1) return 0.0;
  // The latest sample at least kGrowth.decades decades farther out than the last one.
  const double farthest = distances_.back() * std::pow(10.0, kGrowth.decades);
  int first = -1;
  for (int k = last - 1; k >= 0; --k) {
    if (distances_[k] >= farthest) {
      first = k;
      break;
    }
  }
  if (first < 0) return 0.0;
  if (!AnyShrinks(first)) return 0.0;
  double proven = 0.0;
  for (int j = 0; j < n_; ++j) proven = std::min(proven, ProvenExponentOf(j, first));
  return proven;
}

}  // namespace zormix
