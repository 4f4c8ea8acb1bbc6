// Writes the mixed-cell result of a solve's polyhedral route (kept points, lifting and the cell
// list) as text, for byte-for-byte comparisons of the mixed-cell search across changes:
//   zormix_dump_cells psnum|text FILE [SEED [THREADS]] > cells.txt
// The system goes through the solve's normal form and the run-time generator is seeded as a solve
// with --seed SEED seeds it. The seconds of ComputeMixedCells go to stderr.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "mixedcell/mixed_cells.h"
#include "model/normal_form.h"
#include "zormix/io.h"
#include "zormix/solve.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zormix_dump_cells psnum|text FILE [SEED [THREADS]]\n");
    return 2;
  }
  const std::string format = argv[1], path = argv[2];
  const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  const int threads = argc > 4 ? std::atoi(argv[4]) : 1;
  zormix::PolySystem input;
  if (format == "psnum") {
    input = zormix::ReadSystemFile(path);
  } else {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    input = zormix::ParsePolynomialText(text.str(), path);
  }
  const zormix::NormalForm system = zormix::BringToNormalForm(input);
  zormix::RuntimeUniform runtime(seed);
  zormix::CellSearchControl control;
  control.threads = threads;
  const auto start = std::chrono::steady_clock::now();
  const zormix::MixedCellResult r = zormix::ComputeMixedCells(
      system.scaled.n, system.scaled.termCount, system.scaled.exponents, runtime, control);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "%s: %" PRId64 " cells in %.3f s\n", path.c_str(), r.cells.size(), seconds);
  std::printf("n %d kept %d cells %" PRId64 "\nperm", system.scaled.n, r.keptCount, r.cells.size());
  for (int p : r.perm) std::printf(" %d", p);
  std::printf("\nlifting\n");
  for (double w : r.lifting) std::printf("%a\n", w);
  for (std::int64_t c = 0; c < r.cells.size(); ++c) {
    for (int i = 0; i < system.scaled.n; ++i) {
      std::printf("%s%d %d", i ? " " : "", r.cells.First(c, i), r.cells.Second(c, i));
    }
    std::printf("\n");
  }
  return 0;
}
