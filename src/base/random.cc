#include "base/random.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace zormix {
namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// Schrage's decomposition keeps a * (x mod q) - r * (x / q) within 32 bits: m = a * q + r.
constexpr std::int32_t kIM1 = 2147483563, kIM2 = 2147483399;
constexpr std::int32_t kIA1 = 40014, kIA2 = 40692;
constexpr std::int32_t kIQ1 = 53668, kIQ2 = 52774;
constexpr std::int32_t kIR1 = 12211, kIR2 = 3791;
constexpr std::int32_t kNDIV = 67108862;  // 1 + (IM1 - 1) / 32
constexpr double kAM = 4.656613428188905e-10;
constexpr double kRNMX = 0.99999988;

std::int32_t AdvanceFirst(std::int32_t seed) {
  const std::int32_t k = seed / kIQ1;
  seed = kIA1 * (seed - k * kIQ1) - k * kIR1;
  if (seed < 0) seed += kIM1;
  return seed;
}

}  // namespace

RuntimeUniform::RuntimeUniform(std::uint64_t baseSeed) : baseSeed_(baseSeed), state_(baseSeed) {
  Reseed();
}

void RuntimeUniform::Reseed() {
  std::uint64_t x = baseSeed_ + 0xD1B54A32D192ED03ULL * (++reseedCount_);
  state_ = SplitMix64(x);
}

RuntimeUniform RuntimeUniform::AfterReseeds(std::uint64_t count) const {
  RuntimeUniform copy = *this;
  if (count == 0) return copy;
  copy.reseedCount_ += count - 1;
  copy.Reseed();
  return copy;
}

double RuntimeUniform::Next() { return static_cast<double>(SplitMix64(state_) >> 11) * 0x1.0p-53; }

double RandomStream::NextUniform(std::int32_t& seed) {
  if (seed <= 0) {
    seed = std::max(seed == INT32_MIN ? INT32_MAX : -seed, 1);
    idum2_ = seed;
    for (int j = 40; j >= 1; --j) {
      seed = AdvanceFirst(seed);
      if (j <= 32) iv_[j - 1] = seed;
    }
    iy_ = iv_[0];
  }
  seed = AdvanceFirst(seed);
  const std::int32_t k = idum2_ / kIQ2;
  idum2_ = kIA2 * (idum2_ - k * kIQ2) - k * kIR2;
  if (idum2_ < 0) idum2_ += kIM2;
  const std::int32_t j = iy_ / kNDIV;  // slot 0..31
  iy_ = iv_[j] - idum2_;
  iv_[j] = seed;
  if (iy_ < 1) iy_ += kIM1 - 1;
  return std::min(kAM * iy_, kRNMX);
}

RandomStream& ModuleRandomStream() {
  static RandomStream stream;
  return stream;
}

std::vector<Complex> RandomUnitCoefficients(int K, RuntimeUniform& runtime, RandomStream& stream) {
  std::vector<double> u(static_cast<std::size_t>(std::max(K, 0)));
  runtime.Reseed();
  for (double& value : u) value = runtime.Next();
  for (int k = 0; k < K; ++k) {
    std::int32_t s = 101 + k;
    u[k] = (stream.NextUniform(s) + u[k]) * 0.5;
  }
  // 1.600000023841858 is the single-precision value of 1.6: arguments lie in (0, 1.6).
  std::vector<Complex> c(u.size());
  for (std::size_t k = 0; k < u.size(); ++k) {
    c[k] = std::exp(Complex(0.0, 1.600000023841858 * u[k]));
  }
  return c;
}

std::uint64_t FreshEntropySeed() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace zormix
