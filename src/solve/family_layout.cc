// The layout on which a family's roots are tracked to one member.
#include "solve/family_layout.h"

#include <cmath>
#include <string>

#include "model/normal_form.h"
#include "model/parametric_eval.h"
#include "zormix/poly_system.h"

namespace zormix {

// An independent stream per purpose: stream 0 draws p0, stream k >= 1 the draws of member k. The
// seed and the stream number are mixed by SplitMix64's finalizer, so neighbouring streams share
// nothing.
RuntimeUniform StreamOf(std::uint64_t seed, std::int64_t stream) {
  std::uint64_t z = seed + 0x9e3779b97f4a7c15ull * static_cast<std::uint64_t>(stream + 1);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  RuntimeUniform generator(z ^ (z >> 31));
  generator.Reseed();
  return generator;
}

std::vector<Complex> StartParameters(const ParametricSystem& family, std::uint64_t seed) {
  RuntimeUniform draws = StreamOf(seed, 0);
  std::vector<Complex> p0;
  for (int l = 0; l < family.parameterCount(); ++l) {
    const double re = 2.0 * draws.Next() - 1.0;
    p0.emplace_back(re, 2.0 * draws.Next() - 1.0);
  }
  return p0;
}

namespace {

std::vector<std::int64_t> TermOrigins(const ParametricSystem& family) {
  PolySystem tagged;
  tagged.n = family.n;
  tagged.termCount = family.termCount;
  tagged.exponents = family.exponents;
  tagged.variableNames = family.variableNames;
  for (std::int64_t p = 0; p < family.termTotal(); ++p)
    tagged.coefficients.emplace_back(static_cast<double>(p + 1), 0.0);
  // The order of BringToNormalForm, without its scaling (which moves no term).
  NormalForm sorted(tagged);
  SortEquationsByTermCount(sorted.scaled);
  SortTermsDescending(sorted.scaled);
  sorted.rawCoefficients = sorted.scaled.coefficients;
  sorted.scaleExponents.assign(static_cast<std::size_t>(2 * sorted.scaled.n), 0.0);
  CompleteConstantTerms(sorted);
  std::vector<std::int64_t> origin;
  for (const Complex& tag : sorted.rawCoefficients)
    origin.push_back(static_cast<std::int64_t>(tag.real()) - 1);
  return origin;
}

}  // namespace

MemberLayout LayoutAt(const ParametricSystem& family, std::span<const Complex> parameters) {
  PolySystem member = EvaluateAllTerms(family, parameters);
  for (std::string& name : member.variableNames) name = PadVariableName(name);
  MemberLayout layout{BringToNormalForm(member), TermOrigins(family), {}};
  const NormalForm& s = layout.system;
  for (int i = 0; i < s.scaled.n; ++i) {
    for (std::int32_t p = s.firstTerm[i]; p <= s.lastTerm[i]; ++p) {
      double exponent = s.scaleExponents[s.scaled.n + i];
      for (int k = 0; k < s.scaled.n; ++k)
        exponent += s.scaled.exponents(k, p) * s.scaleExponents[k];
      layout.termScale.push_back(std::exp(exponent));
    }
  }
  return layout;
}

ColMajorMatrix<Complex> ScaledPoints(const ColMajorMatrix<Complex>& points,
                                     const NormalForm& system) {
  ColMajorMatrix<Complex> scaled = points;
  for (std::int64_t r = 0; r < scaled.cols(); ++r)
    for (int k = 0; k < system.scaled.n; ++k) scaled(k, r) *= std::exp(-system.scaleExponents[k]);
  return scaled;
}

}  // namespace zormix
