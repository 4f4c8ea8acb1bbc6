// The paths out of singular start points: Newton on the branches near them, and the paths that
// stand for several.
#include "tracker/routes/singular_start.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

#include "base/linear_algebra.h"
#include "base/newton.h"

namespace zormix {
namespace {

constexpr int kNewtonCap = 20;
// Newton has converged when its correction is below this, relative to max(1, |y|): far below what
// the linear convergence to a singular root reaches in kNewtonCap steps from a branch's distance.
constexpr double kNewtonSettled = 1e-13;
// Random starting points tried per branch looked for.
constexpr int kTriesPerBranch = 8;
// A branch of a root of multiplicity m is looked for within kBranchReach delta^(1/m) of it; two
// Newton results closer than kBranchApart delta^(1/m) are one branch.
constexpr double kBranchReach = 100.0;
constexpr double kBranchApart = 1e-6;

double Distance(int n, const Complex* a, const Complex* b) {
  double d = 0.0;
  for (int k = 0; k < n; ++k) d = std::max(d, std::abs(a[k] - b[k]));
  return d;
}

// Newton on H(., t) from y; true when it converged quadratically (a regular root of H(., t)).
bool NewtonToRegularRoot(Homotopy& homotopy, double t, std::vector<Complex>& y) {
  struct Rule : NewtonRuleBase {
    Homotopy& homotopy;
    double t;
    ColMajorMatrix<Complex> J;
    std::vector<Complex> H, Ht;

    const Complex* Correction(std::span<Complex> at) {
      homotopy.Evaluate(at.data(), t, J, H.data(), Ht.data());
      SolveLinearComplex(J, H.data());
      return H.data();
    }
    double Size(const Complex* delta, std::span<Complex>) const {
      return MaxNorm(homotopy.n(), delta);
    }
    NewtonVerdict AfterApplying(const NewtonCorrection<double>& c, std::span<const Complex> at) {
      if (!std::isfinite(c.size)) return NewtonVerdict::kRejected;
      return c.size <= kNewtonSettled * std::max(1.0, MaxNorm(homotopy.n(), at.data()))
                 ? NewtonVerdict::kConverged
                 : NewtonVerdict::kContinue;
    }
  };
  const int n = homotopy.n();
  const std::size_t size = static_cast<std::size_t>(n);
  Rule rule{{},
            homotopy,
            t,
            ColMajorMatrix<Complex>(n, n),
            std::vector<Complex>(size),
            std::vector<Complex>(size)};
  return Newton(std::span<Complex>(y.data(), size), kNewtonCap, rule).converged();
}

// Regular roots of H(., 0) near the singular start point x0 of multiplicity m, one per branch
// found (at most m).
std::vector<std::vector<Complex>> BranchesNear(Homotopy& homotopy, const Complex* x0, int m,
                                               RuntimeUniform& draws) {
  const int n = homotopy.n();
  const double radius = std::pow(kSingularStartOffset, 1.0 / m) * std::max(1.0, MaxNorm(n, x0));
  std::vector<std::vector<Complex>> found;
  for (int attempt = 0; attempt < kTriesPerBranch * m && std::ssize(found) < m; ++attempt) {
    std::vector<Complex> y(x0, x0 + n);
    for (Complex& yk : y) yk += std::polar(radius, 2.0 * std::numbers::pi * draws.Next());
    if (!NewtonToRegularRoot(homotopy, 0.0, y)) continue;
    if (Distance(n, y.data(), x0) > kBranchReach * radius) continue;
    const bool known = std::any_of(found.begin(), found.end(), [&](const auto& b) {
      return Distance(n, b.data(), y.data()) < kBranchApart * radius;
    });
    if (!known) found.push_back(std::move(y));
  }
  return found;
}

void AddColumn(StartPaths& paths, const Complex* point, std::int32_t copies) {
  const std::int64_t n = paths.points.rows();
  const std::int64_t column = paths.points.cols();
  paths.points.ResizeCols(column + 1);
  std::copy_n(point, n, paths.points.col(column));
  paths.firstPath.push_back(paths.pathCount);
  paths.copies.push_back(copies);
  paths.pathCount += copies;
}

}  // namespace

std::vector<Complex> SingularStartOffset(const PolySystem& layout, RuntimeUniform& draws) {
  std::vector<Complex> offset(static_cast<std::size_t>(layout.exponents.cols()));
  std::int64_t first = 0;
  for (int i = 0; i < layout.n; ++i) {
    for (std::int64_t p = first; p < first + layout.termCount[i]; ++p) {
      bool constant = true;
      for (int k = 0; k < layout.n; ++k) constant = constant && layout.exponents(k, p) == 0;
      if (constant)
        offset[p] = std::polar(kSingularStartOffset, 2.0 * std::numbers::pi * draws.Next());
    }
    first += layout.termCount[i];
  }
  return offset;
}

StartPaths PlanStartPaths(Homotopy& homotopy, const ColMajorMatrix<Complex>& points,
                          std::span<const std::int32_t> multiplicity, bool offset,
                          RuntimeUniform& draws) {
  StartPaths paths;
  paths.points.Assign(points.rows(), 0);
  for (std::int64_t r = 0; r < points.cols(); ++r) {
    const std::int32_t m = multiplicity.empty() ? 1 : std::max<std::int32_t>(1, multiplicity[r]);
    std::int32_t found = 0;
    if (m > 1 && offset) {
      for (const auto& branch : BranchesNear(homotopy, points.col(r), m, draws)) {
        AddColumn(paths, branch.data(), 1);
        ++found;
      }
    }
    if (found < m) AddColumn(paths, points.col(r), m - found);
  }
  return paths;
}

void CountPathCopies(const StartPaths& paths, TrackingOutcome& tracked) {
  const std::int64_t n = tracked.solutions.rows();
  std::vector<PathRecord> records, lost;
  std::vector<Complex> solutions;
  const auto repeat = [&](const PathRecord& record, std::vector<PathRecord>& into,
                          const Complex* point) {
    const auto column = static_cast<std::size_t>(record.startIndex - 1);
    for (std::int32_t copy = 0; copy < paths.copies[column]; ++copy) {
      PathRecord renumbered = record;
      renumbered.startIndex = static_cast<std::int32_t>(paths.firstPath[column] + copy + 1);
      into.push_back(renumbered);
      if (point) solutions.insert(solutions.end(), point, point + n);
      if (copy > 0 && point) ++tracked.counts.endPoints;
    }
  };
  for (std::size_t r = 0; r < tracked.records.size(); ++r)
    repeat(tracked.records[r], records, tracked.solutions.col(static_cast<std::int64_t>(r)));
  for (const PathRecord& record : tracked.lostPaths) repeat(record, lost, nullptr);
  tracked.records = std::move(records);
  tracked.lostPaths = std::move(lost);
  tracked.solutions.Assign(n, static_cast<std::int64_t>(tracked.records.size()));
  std::copy(solutions.begin(), solutions.end(), tracked.solutions.data());
}

}  // namespace zormix
