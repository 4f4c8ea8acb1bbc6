#include "decompose/deflation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "base/hash.h"
#include "base/singular_values.h"
#include "decompose/witness_family.h"
#include "decompose/witness_parameters.h"
#include "decompose/witness_refinement.h"
#include "local/units.h"
#include "solve/family_layout.h"

namespace zormix {
namespace {

using History = std::vector<int>;

// The rows after the steps of one rank history, and the random data of its last step.
struct Stage {
  AffineFamily rows{0, 0, 0};
  PolySystem atBase;               // the rows at the base parameters, whose units decide the rank
  std::vector<int> normalization;  // the rows h . mu = 1
  ColMajorMatrix<Complex> B;
  std::vector<Complex> h;
};

// A stream of the seed per rank history: points with the same history draw the same B, h and
// combination, so they share one system.
RuntimeUniform DrawsOf(std::uint64_t seed, const History& history, int purpose) {
  std::uint64_t key = Fnv1a(history.data(), history.size() * sizeof(int));
  key = Fnv1a(&purpose, sizeof purpose, key);
  return StreamOf(seed, static_cast<std::int64_t>(key >> 2) + 1);
}

std::vector<std::string> NamesOf(const std::vector<std::string>& names, int unknowns) {
  std::vector<std::string> all = names;
  for (int k = static_cast<int>(names.size()); k < unknowns; ++k)
    all.push_back("mu" + std::to_string(k - static_cast<int>(names.size()) + 1));
  return all;
}

// The rank of the rows' Jacobian J at z, decided in the units of the rows at z (local/units.h):
// the same when coordinates or equations are rescaled. In the given units, a double line in
// coordinates 1e3 times larger has second-order rows 1e-6 the size of the others, whose
// singular values then count as zero.
int Rank(const Stage& stage, std::span<const Complex> z, const ColMajorMatrix<Complex>& J,
         int rowDegree) {
  const SingularValues svd =
      ComputeSingularValues(JacobianInUnits(stage.atBase, z.data(), J, rowDegree));
  return static_cast<int>(J.cols()) - NumericalCorank(svd, kDeflationRank.value());
}

ColMajorMatrix<Complex> Product(const ColMajorMatrix<Complex>& A,
                                const ColMajorMatrix<Complex>& B) {
  ColMajorMatrix<Complex> C(A.rows(), B.cols());
  for (std::int64_t j = 0; j < B.cols(); ++j)
    for (std::int64_t l = 0; l < A.cols(); ++l)
      for (std::int64_t i = 0; i < A.rows(); ++i) C(i, j) += A(i, l) * B(l, j);
  return C;
}

class Deflator {
 public:
  Deflator(const AffineFamily& witness, std::span<const Complex> base,
           const std::vector<std::string>& names, std::uint64_t seed)
      : base_(base.begin(), base.end()), names_(names), seed_(seed) {
    Stage& first = stages_[{}];
    first.rows = witness;
    first.atBase = witness.AtParameters(base_, names_);
  }

  // The rank history of z (a root of the witness rows) and z with its multipliers; empty when
  // the rank was not full within maxSteps steps.
  std::optional<std::pair<History, std::vector<Complex>>> Deflate(std::vector<Complex> z,
                                                                  int maxSteps) {
    History history;
    for (;;) {
      const Stage& stage = StageOf(history);
      std::vector<Complex> F;
      ColMajorMatrix<Complex> J;
      stage.rows.Evaluate(z, base_, F, J);
      // Rows expanded to the multiplicity the steps allow (at least 2: units.h).
      const int rank = Rank(stage, z, J, std::max(maxSteps, 1) + 1);
      if (rank == stage.rows.unknowns()) return std::make_pair(history, std::move(z));
      if (static_cast<int>(history.size()) >= maxSteps) return std::nullopt;
      history.push_back(rank);
      const Stage& next = StageOf(history);
      // mu spans the kernel of J B (of dimension one) with h . mu = 1.
      const SingularValues svd = ComputeSingularValues(Product(J, next.B));
      Complex scale(0.0, 0.0);
      const std::int64_t last = svd.right.cols() - 1;
      for (std::int64_t l = 0; l <= last; ++l) scale += next.h[l] * svd.right(l, last);
      if (std::abs(scale) == 0.0) return std::nullopt;
      for (std::int64_t l = 0; l <= last; ++l) z.push_back(svd.right(l, last) / scale);
    }
  }

  // The rows of a history, before they are made square.
  const AffineFamily& Rows(const History& history) { return StageOf(history).rows; }

  // The square system of a history: the slice rows and the normalisations kept, the other rows
  // combined at random.
  AffineFamily Square(const History& history) {
    const Stage& stage = StageOf(history);
    AffineFamily rows = stage.rows;
    std::vector<int> kept, mixed;
    for (int i = 0; i < rows.rows(); ++i) {
      const bool normalization = std::find(stage.normalization.begin(), stage.normalization.end(),
                                           i) != stage.normalization.end();
      (normalization || rows.MovesWithParameters(i) ? kept : mixed).push_back(i);
    }
    if (history.empty()) return rows;
    RuntimeUniform draws = DrawsOf(seed_, history, 1);
    std::vector<int> square;
    const int combinations = rows.unknowns() - static_cast<int>(kept.size());
    for (int q = 0; q < combinations; ++q) {
      const int row = rows.AddRow();
      for (const int i : mixed) rows.AddRowOf(row, i, RandomComplex(draws));
      square.push_back(row);
    }
    square.insert(square.end(), kept.begin(), kept.end());
    return rows.Selected(square);
  }

 private:
  const Stage& StageOf(const History& history) {
    const auto found = stages_.find(history);
    if (found != stages_.end()) return found->second;
    const Stage& parent = StageOf(History(history.begin(), history.end() - 1));
    Stage stage;
    const int rank = history.back();
    const int unknowns = parent.rows.unknowns();
    RuntimeUniform draws = DrawsOf(seed_, history, 0);
    stage.B.Assign(unknowns, rank + 1);
    for (std::int64_t l = 0; l <= rank; ++l)
      for (int j = 0; j < unknowns; ++j) stage.B(j, l) = RandomComplex(draws);
    for (int l = 0; l <= rank; ++l) stage.h.push_back(RandomComplex(draws));
    // G, then JG B mu (mu: the unknowns from `unknowns` on), then h . mu - 1.
    stage.rows = parent.rows.Widened(unknowns + rank + 1);
    const int given = parent.rows.rows();
    for (int i = 0; i < given; ++i) {
      const int row = stage.rows.AddRow();
      for (int j = 0; j < unknowns; ++j)
        for (int l = 0; l <= rank; ++l)
          stage.rows.AddDerivativeTimes(row, i, j, unknowns + l, stage.B(j, l));
    }
    const int normalization = stage.rows.AddRow();
    Exponents a(static_cast<std::size_t>(unknowns + rank + 1), 0);
    stage.rows.Add(normalization, a, Complex(-1.0, 0.0));
    for (int l = 0; l <= rank; ++l) {
      a[static_cast<std::size_t>(unknowns + l)] = 1;
      stage.rows.Add(normalization, a, stage.h[l]);
      a[static_cast<std::size_t>(unknowns + l)] = 0;
    }
    stage.normalization = parent.normalization;
    stage.normalization.push_back(normalization);
    stage.atBase = stage.rows.AtParameters(base_, NamesOf(names_, stage.rows.unknowns()));
    return stages_.emplace(history, std::move(stage)).first->second;
  }

  std::vector<Complex> base_;
  std::vector<std::string> names_;
  std::uint64_t seed_;
  std::map<History, Stage> stages_;
};

}  // namespace

Deflation DeflateWitnessPoints(const AffineFamily& witness, std::span<const Complex> base,
                               const ColMajorMatrix<Complex>& points, std::span<const int> maxSteps,
                               const std::vector<std::string>& names, std::uint64_t seed) {
  Deflator deflator(witness, base, names, seed);
  const PolySystem atBase =
      EvaluateParametric(witness.Build(names, SliceConstantNames(witness.parameters())), base);
  Deflation out;
  std::map<History, std::size_t> classOf;
  std::vector<std::vector<std::vector<Complex>>> deflated;
  for (std::int64_t p = 0; p < points.cols(); ++p) {
    std::vector<Complex> x(points.col(p), points.col(p) + points.rows());
    const int steps = maxSteps[static_cast<std::size_t>(p)];
    x = RefinedWitnessPoint(atBase, std::move(x), steps + 1);
    auto result = deflator.Deflate(std::move(x), steps);
    if (!result) {
      out.failed.push_back(p);
      continue;
    }
    auto [it, fresh] = classOf.try_emplace(result->first, out.classes.size());
    if (fresh) {
      out.classes.emplace_back();
      out.classes.back().ranks = result->first;
      deflated.emplace_back();
    }
    out.classes[it->second].given.push_back(p);
    deflated[it->second].push_back(std::move(result->second));
  }
  for (std::size_t c = 0; c < out.classes.size(); ++c) {
    DeflatedClass& one = out.classes[c];
    const AffineFamily square = deflator.Square(one.ranks);
    one.rows = deflator.Rows(one.ranks);
    one.family =
        square.Build(NamesOf(names, square.unknowns()), SliceConstantNames(square.parameters()));
    one.points.Assign(square.unknowns(), static_cast<std::int64_t>(deflated[c].size()));
    for (std::size_t k = 0; k < deflated[c].size(); ++k)
      std::copy(deflated[c][k].begin(), deflated[c][k].end(),
                one.points.col(static_cast<std::int64_t>(k)));
  }
  return out;
}

}  // namespace zormix
