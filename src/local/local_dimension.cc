#include "local/local_dimension.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "local/parameters.h"

namespace zormix {
namespace {

// SplitMix64: the slices' own stream, seeded the same for every point.
class SliceStream {
 public:
  double Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
  }

 private:
  std::uint64_t state_ = 0x5eed5eed5eedull;
};

// A hyperplane through the point: sum_j a_j t_j with |a_j| = 1 and random phases.
std::vector<Complex> Hyperplane(const MonomialTable& table, int order, SliceStream& stream) {
  std::vector<Complex> plane(table.CountUpTo(order));
  for (int j = 0; j < table.n(); ++j) {
    const double angle = 2.0 * M_PI * stream.Next();
    plane[1 + j] = Complex(std::cos(angle), std::sin(angle));  // degree-1 monomials follow 1
  }
  return plane;
}

}  // namespace

LocalDimension LocalDimensionAt(const PolySystem& system, const Complex* x, LocalUnits& units,
                                double accuracy, int bound) {
  LocalDimension result;
  {
    const MonomialTable table(system.n, bound + 1);
    const TaylorSystem f = ExpandAt(system, x, units, table, bound + 1);
    result.dual = ComputeDualSpace(f, table, accuracy, bound);
    if (result.dual.stabilized) return result;
  }
  const int sliceBound = std::max(bound, static_cast<int>(kSliceMultiplicityLimit.value()));
  const MonomialTable table(system.n, sliceBound + 1);
  TaylorSystem f = ExpandAt(system, x, units, table, sliceBound + 1);
  SliceStream stream;
  for (int d = 1; d <= system.n; ++d) {
    // The rows of the expansion's units are those of the point; a plane's are its own (1).
    f.equations.push_back(Hyperplane(table, sliceBound + 1, stream));
    result.dual = ComputeDualSpace(f, table, accuracy, sliceBound);
    if (result.dual.stabilized) {
      result.dimension = d;
      return result;
    }
  }
  result.dimension = system.n;
  result.decided = false;
  return result;
}

}  // namespace zormix
