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

namespace {

// The expansion order tried first (DualSpaceAt), and the growth of the table from one try to the
// next: the work of every try is linear in the table, so the tries cost a few times the last.
constexpr int kFirstOrder = 2;
constexpr std::int64_t kTableGrowth = 4;

// The next order: one more, and further while the table grows by at most kTableGrowth (in two
// unknowns the order grows by half, in ten by one).
int NextOrder(int n, int order, int last) {
  const std::int64_t limit = kTableGrowth * MonomialCount(n, order);
  int next = order + 1;
  while (next < last && MonomialCount(n, next + 1) <= limit) ++next;
  return std::min(next, last);
}

// The dual space of f with `planes` hyperplanes through x appended (the same ones for every
// order: a stream of their own), grown as DualSpaceAt says.
DualSpace GrowingDual(const PolySystem& system, const Complex* x, const LocalUnits& units,
                      double accuracy, int bound, int planes) {
  int order = std::min(bound + 1, kFirstOrder);
  for (;;) {
    if (MonomialCount(system.n, order) > kLargestMonomialTable) {
      DualSpace none;
      none.exceeded = true;
      return none;
    }
    const MonomialTable table(system.n, order);
    TaylorSystem f = ExpandAt(system, x, units, table, order);
    SliceStream stream;
    // The rows of the expansion's units are those of the point; a plane's are its own (1).
    for (int d = 0; d < planes; ++d) f.equations.push_back(Hyperplane(table, order, stream));
    DualSpace dual = ComputeDualSpace(f, table, accuracy, bound);
    if (dual.stabilized || dual.dimension() > bound || order >= bound + 1) return dual;
    order = NextOrder(system.n, order, bound + 1);
  }
}

}  // namespace

DualSpace DualSpaceAt(const PolySystem& system, const Complex* x, const LocalUnits& units,
                      double accuracy, int bound) {
  return GrowingDual(system, x, units, accuracy, bound, 0);
}

LocalDimension LocalDimensionAt(const PolySystem& system, const Complex* x, const LocalUnits& units,
                                double accuracy, int bound) {
  LocalDimension result;
  result.dual = DualSpaceAt(system, x, units, accuracy, bound);
  if (result.dual.stabilized) return result;
  // The tangent cone of a set through x lies in the kernel of the Jacobian, of dimension h(1): a
  // point that is not isolated and has breadth 1 lies on a curve, and no slice need tell it.
  if (!result.dual.exceeded && result.dual.breadth() == 1) {
    result.dimension = 1;
    return result;
  }
  const int sliceBound = std::max(bound, static_cast<int>(kSliceMultiplicityLimit.value()));
  LocalUnits sliced = units;  // rows for the slices' deeper expansions
  sliced.row = RowUnits(system, x, units.column, sliceBound + 1);
  for (int d = 1; d <= system.n && !result.dual.exceeded; ++d) {
    result.dual = GrowingDual(system, x, sliced, accuracy, sliceBound, d);
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
