// One start system, many targets: the roots of x^2 + y^2 = r^2, x = 2 y for several radii r.
//
// The start system (mixed cells, start points, random start coefficients) depends only on which
// monomials the equations have, so it is made once and every target with the same monomials is
// tracked from it. The library is silent: this program prints what it wants.
#include "zormix/stages.h"

#include <cstdio>
#include <exception>
#include <utility>

#include "zormix/error.h"

namespace {

// x^2 + y^2 - r^2 = 0, x - 2 y = 0.
zormix::PolySystem CircleAndLine(double radius) {
  zormix::PolySystem system;
  system.n = 2;
  system.termCount = {3, 2};
  system.exponents.Assign(2, 5);
  const int exponents[5][2] = {{2, 0}, {0, 2}, {0, 0}, {1, 0}, {0, 1}};
  for (int term = 0; term < 5; ++term) {
    for (int k = 0; k < 2; ++k) system.exponents(k, term) = exponents[term][k];
  }
  system.coefficients = {1.0, 1.0, -radius * radius, 1.0, -2.0};
  system.variableNames = {zormix::PadVariableName("x"), zormix::PadVariableName("y")};
  return system;
}

}  // namespace

int main() {
  try {
    zormix::SolveOptions options;
    options.seed = 1;  // repeatable
    const zormix::Problem first(CircleAndLine(1.0));
    const zormix::StartSystem start = zormix::MakeStartSystem(first, options);
    std::printf("start system: %lld paths\n", static_cast<long long>(start.pathCount()));
    for (double radius : {1.0, 1e3, 1e-3}) {
      const zormix::Problem target(CircleAndLine(radius));
      zormix::TrackedPaths paths = zormix::Track(start, target, options);
      const zormix::SolveResult result = zormix::Finish(std::move(paths), options);
      std::printf("r = %g: %lld roots\n", radius, static_cast<long long>(result.rootCount));
      for (std::int64_t r = 0; r < result.rootCount; ++r) {
        std::printf("  x = %.6g, y = %.6g\n", result.roots(0, r).real(), result.roots(1, r).real());
      }
    }
  } catch (const zormix::Error& error) {
    std::fprintf(stderr, "%s: %s\n", error.id().c_str(), error.what());
    return 1;
  }
  return 0;
}
