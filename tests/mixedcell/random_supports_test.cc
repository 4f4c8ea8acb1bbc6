// Random supports against an independent mixed-volume program (Debian's gfan), and the structural
// properties every returned cell list must have.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "mixedcell/mixed_cells.h"
#include "mixedcell/mixed_volume_util.h"

namespace zormix {
namespace {

using testing::CellVolume;
using testing::MixedVolume;
using testing::Supports;

// n = 2..5, 2..7 points per support with exponents 0..3, the origin always included. Some systems
// repeat a support, some are unmixed (all supports equal).
Supports RandomSupports(std::mt19937& rng) {
  const int n = 2 + static_cast<int>(rng() % 4);
  const int kind = static_cast<int>(rng() % 4);  // 0, 1: mixed, 2: one repeat, 3: unmixed
  std::vector<std::vector<std::vector<std::int32_t>>> sups(n);
  for (int i = 0; i < n; ++i) {
    if ((kind == 3 && i > 0) || (kind == 2 && i == n - 1)) {
      sups[i] = sups[kind == 3 ? 0 : rng() % (n - 1)];
      continue;
    }
    const int count = 2 + static_cast<int>(rng() % 6);
    std::set<std::vector<std::int32_t>> seen = {std::vector<std::int32_t>(n, 0)};
    sups[i].push_back(std::vector<std::int32_t>(n, 0));
    while (static_cast<int>(sups[i].size()) < count) {
      std::vector<std::int32_t> e(n);
      for (auto& x : e) x = static_cast<std::int32_t>(rng() % 4);
      if (seen.insert(e).second) sups[i].push_back(e);
    }
    std::shuffle(sups[i].begin(), sups[i].end(), rng);
  }
  Supports s;
  s.n = n;
  std::int64_t m = 0;
  for (auto& sp : sups) m += static_cast<std::int64_t>(sp.size());
  s.exponents.Assign(n, m);
  std::int64_t p = 0;
  for (auto& sp : sups) {
    s.termCount.push_back(static_cast<std::int32_t>(sp.size()));
    for (auto& e : sp) {
      for (int k = 0; k < n; ++k) s.exponents(k, p) = e[k];
      ++p;
    }
  }
  return s;
}

bool GfanAvailable() { return std::system("command -v gfan > /dev/null 2>&1") == 0; }

// gfan reads the support of each polynomial; variables are single letters (names ending in digits
// are misread).
std::int64_t GfanMixedVolume(const Supports& s) {
  std::ostringstream in;
  in << "Q[";
  for (int k = 0; k < s.n; ++k) in << (k ? "," : "") << static_cast<char>('a' + k);
  in << "]\n{";
  std::int64_t p = 0;
  for (int i = 0; i < s.n; ++i) {
    in << (i ? ",\n" : "");
    for (int t = 0; t < s.termCount[i]; ++t, ++p) {
      in << (t ? "+" : "") << (t + 2);
      for (int k = 0; k < s.n; ++k) {
        const int e = s.exponents(k, p);
        if (e > 0) in << "*" << static_cast<char>('a' + k) << "^" << e;
      }
    }
  }
  in << "}\n";
  // One file per process: test programs may run side by side.
  const std::string path =
      ::testing::TempDir() + "zormix_gfan_input_" + std::to_string(getpid()) + ".txt";
  FILE* f = std::fopen(path.c_str(), "w");
  std::fputs(in.str().c_str(), f);
  std::fclose(f);
  FILE* pipe = popen(("gfan _mixedvolume < " + path + " 2>/dev/null").c_str(), "r");
  long long mv = -1;
  if (pipe == nullptr || std::fscanf(pipe, "%lld", &mv) != 1) mv = -1;
  if (pipe) pclose(pipe);
  std::remove(path.c_str());
  return mv;
}

// Every cell: row i holds two distinct points of equation i, no removed point, independent pair
// vectors; removed points have lifting 2.0 and kept ones a value in [0, 1).
void ExpectWellFormed(const Supports& s, const MixedCellResult& r) {
  std::vector<int> equationOf;
  for (int i = 0; i < s.n; ++i) equationOf.insert(equationOf.end(), s.termCount[i], i);
  std::vector<bool> kept(equationOf.size(), false);
  ASSERT_EQ(static_cast<int>(r.perm.size()), r.keptCount);
  for (int p : r.perm) kept[p] = true;
  for (std::size_t p = 0; p < kept.size(); ++p) {
    if (kept[p]) {
      EXPECT_TRUE(r.lifting[p] >= 0.0 && r.lifting[p] < 1.0) << "point " << p;
    } else {
      EXPECT_EQ(r.lifting[p], 2.0) << "point " << p;
    }
  }
  for (std::int64_t c = 0; c < r.cells.size(); ++c) {
    for (int i = 0; i < s.n; ++i) {
      const int a = r.cells.First(c, i), b = r.cells.Second(c, i);
      EXPECT_NE(a, b);
      EXPECT_EQ(equationOf[a], i);
      EXPECT_EQ(equationOf[b], i);
      EXPECT_TRUE(kept[a] && kept[b]);
    }
    EXPECT_NE(CellVolume(s.exponents, r.cells, c), 0) << "cell " << c;
  }
}

void CompareWithGfan(std::uint32_t seed, int trials) {
  if (!GfanAvailable()) GTEST_SKIP() << "gfan is not installed";
  std::mt19937 rng(seed);
  for (int trial = 0; trial < trials; ++trial) {
    const Supports s = RandomSupports(rng);
    RuntimeUniform runtime(1000 + trial);
    const MixedCellResult r = ComputeMixedCells(s.n, s.termCount, s.exponents, runtime);
    ExpectWellFormed(s, r);
    ASSERT_EQ(MixedVolume(s.exponents, r.cells), GfanMixedVolume(s)) << "trial " << trial;
  }
}

TEST(RandomSupportsTest, MixedVolumeAgreesWithGfan) { CompareWithGfan(20240607, 40); }

TEST(RandomSupportsTest, HeavyMixedVolumeAgreesWithGfanManySystems) { CompareWithGfan(977, 300); }

TEST(RandomSupportsTest, SameSeedSameCellsInSameOrder) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 20; ++trial) {
    const Supports s = RandomSupports(rng);
    RuntimeUniform a(99), b(99);
    const MixedCellResult ra = ComputeMixedCells(s.n, s.termCount, s.exponents, a);
    const MixedCellResult rb = ComputeMixedCells(s.n, s.termCount, s.exponents, b);
    EXPECT_EQ(ra.cells.storage(), rb.cells.storage());
    EXPECT_EQ(ra.lifting, rb.lifting);
  }
}

}  // namespace
}  // namespace zormix
