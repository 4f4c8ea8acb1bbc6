// The two random generators of a solve and the random start coefficients.
#ifndef ZORMIX_BASE_RANDOM_H_
#define ZORMIX_BASE_RANDOM_H_

#include <array>
#include <cstdint>
#include <vector>

#include "zormix/complex.h"

namespace zormix {

// The run-time uniform generator on [0, 1). Its users re-seed it ("default seeding") before they
// draw; each re-seed starts a fresh sequence. The fresh seeds come from one base seed, so a solve
// is reproducible from that seed: re-seed number k uses SplitMix64(base + k * golden).
class RuntimeUniform {
 public:
  explicit RuntimeUniform(std::uint64_t baseSeed);

  // Starts a fresh sequence, as the default seeding of a run-time generator does.
  void Reseed();
  // Next uniform double in [0, 1), 53 random bits.
  double Next();
  // The generator as it is after `count` more calls of Reseed() (draws in between make no
  // difference to what follows the next Reseed()): lets parallel work start each unit from the
  // sequence the serial loop would give it.
  RuntimeUniform AfterReseeds(std::uint64_t count) const;

 private:
  std::uint64_t baseSeed_;
  std::uint64_t reseedCount_ = 0;
  std::uint64_t state_;  // xoshiro-free: a SplitMix64 stream is enough for uniform draws
};

// L'Ecuyer's combined multiplicative congruential generator with a Bays-Durham shuffle table of 32
// entries (ran2 of Numerical Recipes). The state at construction is the load state of the module.
class RandomStream {
 public:
  // Returns a double in (0, 1) and advances seed (the first generator's state) and the stream.
  // A seed <= 0 initialises the stream from it.
  double NextUniform(std::int32_t& seed);

  std::int32_t iy() const { return iy_; }

 private:
  std::int32_t iy_ = 0;
  std::int32_t idum2_ = 123456789;
  std::array<std::int32_t, 32> iv_{};
};

// The stream that lives as long as the loaded module (the CLI process, or the MEX module in its
// host). Not thread-safe: solves run one at a time.
RandomStream& ModuleRandomStream();

// K complex numbers of modulus 1: u_k from the re-seeded run-time generator, v_k = (NextUniform(s)
// + u_k) / 2 with a fresh seed s = 101 + k (0-based k), c_k = exp(i * 1.600000023841858 * v_k).
std::vector<Complex> RandomUnitCoefficients(int K, RuntimeUniform& runtime, RandomStream& stream);

// Draws a seed from the operating system's entropy source.
std::uint64_t FreshEntropySeed();

}  // namespace zormix

#endif  // ZORMIX_BASE_RANDOM_H_
