// A program built against an installed zormix: solves x^2 + y^2 - 1 = 0, x - y = 0 and checks
// its two roots, +-(1/sqrt 2, 1/sqrt 2).
#include <cmath>
#include <cstdio>

#include "zormix/io.h"
#include "zormix/solve.h"

int main() {
  const zormix::PolySystem system = zormix::ParsePolynomialText("x^2 + y^2 - 1; x - y;", "circle");
  zormix::SolveOptions options;
  options.seed = 1;
  options.threads = 0;
  options.reportPath.clear();
  const zormix::SolveResult result = zormix::SolveSystem(system, options);
  bool ok = result.rootCount == 2 && result.roots.cols() == 2;
  for (std::int64_t j = 0; ok && j < result.roots.cols(); ++j) {
    for (int i = 0; i < 2; ++i) {
      ok = ok && std::abs(std::abs(result.roots(i, j)) - std::sqrt(0.5)) < 1e-10;
    }
  }
  std::printf("%lld roots: %s\n", static_cast<long long>(result.rootCount), ok ? "ok" : "WRONG");
  return ok ? 0 : 1;
}
