#include "model/system_eval.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <limits>
#include <map>

namespace zormix {
namespace {

// powers[d + k * rows] = x_k^d for d = 0..maxDegree[k] by repeated multiplication.
void BuildPowerTable(const MonomialLayout& layout, const Complex* x, EvaluationWorkspace& w) {
  const int rows = w.powerRows;
  for (int k = 0; k < layout.n; ++k) {
    Complex* column = w.powers.data() + static_cast<std::size_t>(k) * rows;
    column[0] = Complex(1.0, 0.0);
    const int top = std::max(0, static_cast<int>(layout.maxDegree[k]));
    for (int d = 1; d <= top; ++d) column[d] = Times(column[d - 1], x[k]);
  }
}

// z^e by repeated squaring, e >= 0: z^1 is z itself.
Complex PowerBySquaring(Complex z, std::int32_t e) {
  Complex result(1.0, 0.0);
  for (std::uint32_t rest = static_cast<std::uint32_t>(e); rest != 0; rest >>= 1) {
    if ((rest & 1u) != 0) result *= z;
    if (rest > 1) z *= z;
  }
  return result;
}

// Without a table, the two powers of every entry of variable/exponent.
void BuildEntryPowers(const Complex* x, EvaluationWorkspace& w) {
  const std::size_t entries = w.variable.size();
  for (std::size_t q = 0; q < entries; ++q) {
    const Complex base = x[w.variable[q]];
    const Complex below = PowerBySquaring(base, w.exponent[q] - 1);
    w.entryPowers[2 * q] = below;
    w.entryPowers[2 * q + 1] = below * base;
  }
}

// The powers x_k^e and x_k^(e - 1) of entry q of variable/exponent, read from the table.
struct TabulatedPowers {
  const Complex* table;
  int rows;
  const std::int32_t* variable;
  const std::int32_t* exponent;
  Complex At(std::int64_t q) const {
    return table[exponent[q] + static_cast<std::size_t>(variable[q]) * rows];
  }
  Complex Below(std::int64_t q) const {
    return table[exponent[q] - 1 + static_cast<std::size_t>(variable[q]) * rows];
  }
};

// The same, computed per entry (BuildEntryPowers).
struct EntryPowers {
  const Complex* powers;
  Complex At(std::int64_t q) const { return powers[2 * q + 1]; }
  Complex Below(std::int64_t q) const { return powers[2 * q]; }
};

// The node extending `parent` by entry q (same variable and exponent: same power), made when new.
std::int32_t Extend(std::vector<EvaluationWorkspace::ProductNode>& nodes,
                    std::map<std::array<std::int32_t, 3>, std::int32_t>& known,
                    const EvaluationWorkspace& w, std::int32_t parent, std::int64_t q) {
  const std::array<std::int32_t, 3> key{parent, w.variable[q], w.exponent[q]};
  const auto [it, made] = known.emplace(key, static_cast<std::int32_t>(nodes.size()));
  if (made) nodes.push_back({parent, static_cast<std::int32_t>(q)});
  return it->second;
}

// The prefix and suffix trees of the supports in variable/exponent.
void BuildProductTrees(EvaluationWorkspace& w) {
  const std::size_t count = w.monomialValue.size();
  std::map<std::array<std::int32_t, 3>, std::int32_t> knownPrefix, knownSuffix;
  w.prefixNodes.assign(1, {-1, -1});
  w.suffixNodes.assign(1, {-1, -1});
  w.entryPrefix.resize(w.variable.size());
  w.entrySuffix.resize(w.variable.size());
  w.monomialPrefix.resize(count);
  for (std::size_t u = 0; u < count; ++u) {
    const std::int64_t first = w.monomialStart[u], end = w.monomialStart[u + 1];
    std::int32_t node = 0;
    for (std::int64_t q = first; q < end; ++q)
      w.entryPrefix[q] = node = Extend(w.prefixNodes, knownPrefix, w, node, q);
    w.monomialPrefix[u] = node;
    node = 0;
    for (std::int64_t q = end - 1; q >= first; --q) {
      w.entrySuffix[q] = node;
      if (q > first) node = Extend(w.suffixNodes, knownSuffix, w, node, q);
    }
  }
  w.prefixValue.resize(w.prefixNodes.size());
  w.prefixFactor.resize(w.prefixNodes.size());
  w.suffixValue.resize(w.suffixNodes.size());
}

}  // namespace

std::vector<std::int32_t> MaxDegrees(const ColMajorMatrix<std::int32_t>& exponents) {
  const std::int64_t n = exponents.rows();
  std::vector<std::int32_t> maxDegree(static_cast<std::size_t>(n),
                                      std::numeric_limits<std::int32_t>::min());
  for (std::int64_t p = 0; p < exponents.cols(); ++p) {
    const std::int32_t* e = exponents.col(p);
    for (std::int64_t k = 0; k < n; ++k) maxDegree[k] = std::max(maxDegree[k], e[k]);
  }
  // A variable that appears in no term (or only to the power 0) needs no table entry.
  for (auto& d : maxDegree) d = std::max(d, 0);
  return maxDegree;
}

void EvaluationWorkspace::Prepare(const MonomialLayout& layout) {
  const std::int64_t m = layout.exponents->cols();
  const std::int32_t* all = layout.exponents->data();
  const std::size_t entries = static_cast<std::size_t>(m) * static_cast<std::size_t>(layout.n);
  if (preparedN_ == layout.n && preparedExponents_.size() == entries &&
      std::equal(all, all + entries, preparedExponents_.begin()) &&
      std::equal(layout.maxDegree.begin(), layout.maxDegree.end(), preparedDegrees_.begin(),
                 preparedDegrees_.end()) &&
      std::equal(layout.termCount.begin(), layout.termCount.end(), preparedTermCount_.begin(),
                 preparedTermCount_.end())) {
    return;
  }
  preparedN_ = layout.n;
  preparedExponents_.assign(all, all + entries);
  preparedDegrees_.assign(layout.maxDegree.begin(), layout.maxDegree.end());
  preparedTermCount_.assign(layout.termCount.begin(), layout.termCount.end());
  int maxD = 0;
  for (std::int32_t d : layout.maxDegree) maxD = std::max(maxD, static_cast<int>(d));
  tabulated = maxD <= kLargestTabulatedDegree;
  powerRows = tabulated ? maxD + 1 : 0;
  const std::size_t n = static_cast<std::size_t>(layout.n);
  powers.resize(static_cast<std::size_t>(powerRows) * n);
  values.resize(n);
  secondValues.resize(n);
  equationStart.resize(n);
  longestEquation = 0;
  std::int64_t start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    equationStart[i] = start;
    start += layout.termCount[i];
    longestEquation = std::max(longestEquation, layout.termCount[i]);
  }
  // Distinct exponent columns, numbered in order of first use.
  auto less = [&](std::int64_t p, std::int64_t q) {
    const std::int32_t* a = layout.exponents->col(p);
    const std::int32_t* b = layout.exponents->col(q);
    return std::lexicographical_compare(a, a + n, b, b + n);
  };
  std::vector<std::int64_t> sorted(static_cast<std::size_t>(m));
  for (std::int64_t j = 0; j < m; ++j) sorted[j] = j;
  std::stable_sort(sorted.begin(), sorted.end(), less);
  std::vector<std::int64_t> firstUse(static_cast<std::size_t>(m));
  for (std::int64_t r = 0; r < m; ++r) {
    const std::int64_t j = sorted[r];
    firstUse[j] = (r > 0 && !less(sorted[r - 1], j)) ? firstUse[sorted[r - 1]] : j;
  }
  monomialOf.assign(static_cast<std::size_t>(m), -1);
  monomialStart.clear();
  variable.clear();
  exponent.clear();
  std::int32_t distinct = 0;
  for (std::int64_t j = 0; j < m; ++j) {
    if (firstUse[j] != j) {
      monomialOf[j] = monomialOf[firstUse[j]];
      continue;
    }
    monomialOf[j] = distinct++;
    monomialStart.push_back(static_cast<std::int64_t>(variable.size()));
    const std::int32_t* a = layout.exponents->col(j);
    for (int k = 0; k < layout.n; ++k) {
      if (a[k] == 0) continue;
      variable.push_back(k);
      exponent.push_back(a[k]);
    }
  }
  monomialStart.push_back(static_cast<std::int64_t>(variable.size()));
  monomialValue.resize(static_cast<std::size_t>(distinct));
  derivative.resize(variable.size());
  entryPowers.resize(tabulated ? 0 : 2 * variable.size());
  BuildProductTrees(*this);
}

namespace {

// x^a and the factors d(x^a)/dx_k of every distinct monomial. Along a support (entries q, powers
// P_q = x_k^(e_q)), prefix node q holds c_q = c_{q-1} P_q (c_{-1} = 1) and the factor
// e_q x_k^(e_q - 1) c_{q-1}; suffix node q holds v_q = v_{q+1} P_{q+1}, the product of the powers
// after q (1 after the last); d(x^a)/dx_k of entry q = factor_q v_q, and x^a the last c_q. No
// coordinate is divided out.
template <class Powers>
void EvaluateDistinctMonomials(const Complex* x, EvaluationWorkspace& w, const Powers& power) {
  const EvaluationWorkspace::ProductNode* prefix = w.prefixNodes.data();
  const EvaluationWorkspace::ProductNode* suffix = w.suffixNodes.data();
  Complex* value = w.prefixValue.data();
  Complex* factor = w.prefixFactor.data();
  Complex* after = w.suffixValue.data();
  value[0] = after[0] = Complex(1.0, 0.0);
  const std::size_t prefixCount = w.prefixNodes.size();
  for (std::size_t p = 1; p < prefixCount; ++p) {
    const Complex c = value[prefix[p].parent];
    const std::int32_t q = prefix[p].entry;
    const std::int32_t e = w.exponent[q];
    if (e == 1) {
      factor[p] = c;
      value[p] = Times(c, x[w.variable[q]]);
    } else {
      factor[p] = Times(static_cast<double>(e) * c, power.Below(q));
      value[p] = Times(c, power.At(q));
    }
  }
  const std::size_t suffixCount = w.suffixNodes.size();
  for (std::size_t s = 1; s < suffixCount; ++s)
    after[s] = Times(after[suffix[s].parent], power.At(suffix[s].entry));
  const std::size_t entries = w.derivative.size();
  for (std::size_t q = 0; q < entries; ++q)
    w.derivative[q] = Times(factor[w.entryPrefix[q]], after[w.entrySuffix[q]]);
  const std::size_t count = w.monomialValue.size();
  for (std::size_t u = 0; u < count; ++u) w.monomialValue[u] = value[w.monomialPrefix[u]];
}

}  // namespace

void EvaluateMonomials(const MonomialLayout& layout, const Complex* A, const Complex* B,
                       const Complex* x, ColMajorMatrix<Complex>& J, Complex* F, Complex* G,
                       EvaluationWorkspace& workspace) {
  const int n = layout.n;
  assert(J.rows() == n && J.cols() == n);
  assert(workspace.powers.size() >= static_cast<std::size_t>(workspace.powerRows) * n);
  assert(workspace.monomialOf.size() == static_cast<std::size_t>(layout.exponents->cols()));
  if (workspace.tabulated) {
    BuildPowerTable(layout, x, workspace);
    EvaluateDistinctMonomials(
        x, workspace,
        TabulatedPowers{workspace.powers.data(), workspace.powerRows, workspace.variable.data(),
                        workspace.exponent.data()});
  } else {
    BuildEntryPowers(x, workspace);
    EvaluateDistinctMonomials(x, workspace, EntryPowers{workspace.entryPowers.data()});
  }
  const std::int32_t* variable = workspace.variable.data();
  const Complex* factors = workspace.derivative.data();
  const std::int64_t* equationStart = workspace.equationStart.data();
  Complex* f = workspace.values.data();
  Complex* gs = workspace.secondValues.data();
  std::fill(f, f + n, Complex(0.0, 0.0));
  std::fill(gs, gs + n, Complex(0.0, 0.0));
  Complex* g = J.data();
  std::fill(g, g + static_cast<std::size_t>(n) * n, Complex(0.0, 0.0));
  // Term t of every equation in turn: each sum still adds its terms in order (the same bits as
  // one equation after the other), while the sums of different equations are independent chains
  // the processor overlaps.
  // The products are written out on real and imaginary parts: the same operations as the
  // complex product without the NaN recovery, but with no complex temporaries, whose halves the
  // compiler otherwise stores and reloads through memory.
  const std::int32_t longest = workspace.longestEquation;
  double* fd = reinterpret_cast<double*>(f);
  double* gsd = reinterpret_cast<double*>(gs);
  double* gd = reinterpret_cast<double*>(g);
  const double* Ad = reinterpret_cast<const double*>(A);
  const double* Bd = reinterpret_cast<const double*>(B);
  const double* valued = reinterpret_cast<const double*>(workspace.monomialValue.data());
  const double* factord = reinterpret_cast<const double*>(factors);
  for (std::int32_t t = 0; t < longest; ++t) {
    for (int i = 0; i < n; ++i) {
      if (t >= layout.termCount[i]) continue;
      const std::int64_t j = equationStart[i] + t;
      const std::int32_t u = workspace.monomialOf[j];
      const std::int64_t first = workspace.monomialStart[u];
      const int support = static_cast<int>(workspace.monomialStart[u + 1] - first);
      const std::int32_t* var = variable + first;
      const double* factor = factord + 2 * first;
      const double cr = valued[2 * u], ci = valued[2 * u + 1];
      const double ar = Ad[2 * j], ai = Ad[2 * j + 1];
      fd[2 * i] += ar * cr - ai * ci;
      fd[2 * i + 1] += ar * ci + ai * cr;
      if (Bd != nullptr) {
        const double br = Bd[2 * j], bi = Bd[2 * j + 1];
        gsd[2 * i] += br * cr - bi * ci;
        gsd[2 * i + 1] += br * ci + bi * cr;
      }
      for (int q = 0; q < support; ++q) {
        double* out = gd + 2 * (i + static_cast<std::size_t>(var[q]) * n);
        const double xr = factor[2 * q], xi = factor[2 * q + 1];
        out[0] += ar * xr - ai * xi;
        out[1] += ar * xi + ai * xr;
      }
    }
  }
  if (F != nullptr) std::copy(f, f + n, F);
  if (G != nullptr) std::copy(gs, gs + n, G);
}

void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F,
                    EvaluationWorkspace& workspace) {
  const int n = system.n;
  const MonomialLayout layout{n, system.termCount, system.exponents, maxDegree};
  workspace.Prepare(layout);
  if (J.rows() != n || J.cols() != n) J.Assign(n, n);
  F.resize(static_cast<std::size_t>(n));
  EvaluateMonomials(layout, system.coefficients.data(), nullptr, x, J, F.data(), nullptr,
                    workspace);
}

namespace {

using Wide = std::complex<long double>;

// The product of two wide complex numbers as ac - bd + i(ad + bc): what the compiler's product
// gives for finite operands, without its test for NaN results and the library call behind it.
inline Wide Times(const Wide& a, const Wide& b) {
  return Wide(a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real());
}

// Work arrays of the wide evaluation, kept per thread between calls.
struct WideWorkspace {
  std::vector<Wide> table, prefix, suffix;
  std::vector<int> support;
};

}  // namespace

namespace {

// F, and J when asked, of EvaluateSystemWide.
void EvaluateWide(const SystemView& system, const Wide* x, std::vector<Wide>& F,
                  std::vector<Wide>* J) {
  thread_local WideWorkspace work;
  const int n = system.n;
  F.assign(static_cast<std::size_t>(n), 0.0L);
  if (J != nullptr) J->assign(static_cast<std::size_t>(n) * n, 0.0L);
  int rows = 1;
  for (std::int32_t e : system.exponents->storage()) rows = std::max(rows, e + 1);
  std::vector<Wide>& table = work.table;
  table.assign(static_cast<std::size_t>(rows) * n, 1.0L);
  for (int k = 0; k < n; ++k) {
    for (int d = 1; d < rows; ++d) table[d + k * rows] = Times(table[d - 1 + k * rows], x[k]);
  }
  auto power = [&](int k, int e) -> const Wide& { return table[e + k * rows]; };
  std::vector<int>& support = work.support;
  std::vector<Wide>& prefix = work.prefix;
  std::vector<Wide>& suffix = work.suffix;
  std::int64_t t = 0;
  for (int i = 0; i < n; ++i) {
    for (int term = 0; term < system.termCount[i]; ++term, ++t) {
      const std::int32_t* a = system.exponents->col(t);
      support.clear();
      for (int k = 0; k < n; ++k)
        if (a[k] != 0) support.push_back(k);
      const int s = static_cast<int>(support.size());
      prefix.resize(s + 1);
      const Complex& c = system.coefficients[t];
      prefix[0] = Wide(c.real(), c.imag());
      for (int q = 0; q < s; ++q)
        prefix[q + 1] = Times(prefix[q], power(support[q], a[support[q]]));
      F[i] += prefix[s];
      if (J == nullptr) continue;
      suffix.resize(s + 1);
      suffix[s] = 1.0L;
      for (int q = s - 1; q >= 0; --q)
        suffix[q] = Times(power(support[q], a[support[q]]), suffix[q + 1]);
      for (int q = 0; q < s; ++q) {
        const int k = support[q];
        const Wide scaled = static_cast<long double>(a[k]) * prefix[q];
        (*J)[i + k * n] += Times(Times(scaled, power(k, a[k] - 1)), suffix[q + 1]);
      }
    }
  }
}

}  // namespace

void EvaluateSystemWide(const SystemView& system, const std::complex<long double>* x,
                        std::vector<std::complex<long double>>& F,
                        std::vector<std::complex<long double>>& J) {
  EvaluateWide(system, x, F, &J);
}

void EvaluateSystemWideValues(const SystemView& system, const std::complex<long double>* x,
                              std::vector<std::complex<long double>>& F) {
  EvaluateWide(system, x, F, nullptr);
}

void EvaluateSystem(const SystemView& system, std::span<const std::int32_t> maxDegree,
                    const Complex* x, ColMajorMatrix<Complex>& J, std::vector<Complex>& F) {
  thread_local EvaluationWorkspace workspace;
  EvaluateSystem(system, maxDegree, x, J, F, workspace);
}

}  // namespace zormix
