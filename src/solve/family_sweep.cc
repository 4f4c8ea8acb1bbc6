// The start solve of a family and the parameter homotopy from it to each member: tracking,
// then the finish of a solve (refinement, classification, certification).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <new>
#include <numbers>
#include <thread>
#include <utility>

#include "base/random.h"
#include "base/text.h"
#include "model/coefficient_range.h"
#include "model/normal_form.h"
#include "model/parametric_eval.h"
#include "solve/family_layout.h"
#include "solve/family_start.h"
#include "solve/member_with_runner.h"
#include "solve/path_budget.h"
#include "solve/stage_data.h"
#include "solve/sweep_window.h"
#include "tracker/routes/parameter_homotopy.h"
#include "tracker/routes/singular_start.h"
#include "zormix/error.h"
#include "zormix/solve.h"
#include "zormix/sweep.h"

namespace zormix {
namespace {

// Detours tried for one member: the first, and two more when the first lost paths.
constexpr int kGammaAttempts = 3;

// The seed of member k's fresh solve: a stream of its own, past every member's (-k - 1 <= -2;
// stream 0 is p0's, stream k >= 1 member k's draws).
std::uint64_t FreshSolveSeed(std::uint64_t seed, std::int64_t instance) {
  return StreamSeed(seed, -instance - 1);
}

// Uniform on the unit circle: a detour that avoids the real half-line with probability one.
Complex UnitDraw(RuntimeUniform& draws) {
  return std::polar(1.0, 2.0 * std::numbers::pi * draws.Next());
}

void ThrowIfInvalid(const SweepOptions& options) {
  std::string why;
  if (!options.Validate(&why)) throw Error(ErrorCode::kBadArgument, why);
}

int ThreadCount(int threads) {
  return threads > 0 ? threads : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// One path per unit of multiplicity of every start root, as the start solve had.
std::int64_t StartPathCount(const FamilyStart& start) {
  if (start.multiplicity.empty()) return start.roots.cols();
  std::int64_t paths = 0;
  for (const std::int32_t m : start.multiplicity) paths += std::max<std::int32_t>(1, m);
  return paths;
}

// The finish of a solve on the tracked end points, on one thread (members run side by side).
// The path count is the start's, known before the finish (which warns of a route without paths).
SolveResult FinishMember(const NormalForm& system, TrackingOutcome&& tracked, RuntimeUniform& draws,
                         const SweepOptions& options, std::int64_t pathCount) {
  SolveResult result;
  result.pathCount = pathCount;
  result.n = system.scaled.n;
  for (const std::string& name : system.scaled.variableNames)
    result.variableNames.push_back(TrimTrailingBlanks(name));
  // Members of a sweep finish on the sweep's threads; the sweep hears a stop between members.
  if (options.memberThreads > 0) {
    FinishEndPoints(system, tracked, draws, options.memberThreads, options.certify, result,
                    options.interrupted);
  } else {
    FinishEndPoints(system, tracked, draws, 1, options.certify, result, {});
  }
  return result;
}

// Paths the tracking could not follow to their end (PathCounts::lost). The tracker leaves the
// counts by status to the finish, so they are counted here from the records.
std::int64_t LostPaths(const TrackingOutcome& tracked) {
  PathCounts counts;
  for (const PathRecord& record : tracked.records)
    ++counts.byStatus[static_cast<int>(record.status)];
  for (const PathRecord& record : tracked.lostPaths)
    ++counts.byStatus[static_cast<int>(record.status)];
  return counts.lost();
}

// The warnings a solve of the member gives about its system (the span of its coefficients).
std::vector<std::string> MemberWarnings(const NormalForm& system) {
  const std::vector<double>& scale = system.scaleExponents;
  const bool scaled = std::any_of(scale.begin(), scale.end(), [](double s) { return s != 0.0; });
  return SystemWarnings(system.scaled, scaled);
}

// Why the member must be solved fresh rather than from the start, before any tracking: "" when
// it can be tracked. Coefficients that span more than double precision can follow lose the small
// terms all along the detour, whatever its gamma.
std::string FreshSolveBeforeTracking(const NormalForm& system) {
  const double span = WidestCoefficientRange(system.scaled);
  if (span <= kTrackableCoefficientRange) return {};
  char text[160];
  std::snprintf(text, sizeof text,
                "its coefficients span %.0f orders of magnitude, more than the parameter "
                "homotopy can follow in double precision",
                span);
  return text;
}

// The member solved as SolveSystem solves it alone, on one thread, with a seed of its own.
SolveResult SolveFresh(const ParametricSystem& family, std::span<const Complex> parameters,
                       std::int64_t instance, const SweepOptions& options) {
  SolveOptions fresh;
  fresh.seed = FreshSolveSeed(*options.seed, instance);
  fresh.threads = 1;
  fresh.certify = options.certify;
  fresh.maxPaths = options.maxPaths;
  return SolveSystem(EvaluateParametric(family, parameters), fresh);
}

// Tracks the start roots to `parameters` with up to kGammaAttempts detours; the first attempt
// without lost paths, or the one that lost the fewest.
void TrackAndFinish(const ParametricSystem& family, const FamilyStart& start,
                    const MemberLayout& layout, std::span<const Complex> parameters,
                    RuntimeUniform& draws, const SweepOptions& options, const UnitRunner& units,
                    MemberResult& member) {
  const ColMajorMatrix<Complex> startPoints = ScaledPoints(start.roots, layout.system);
  TrackingOptions tracking;  // one thread: members of a sweep run side by side
  if (options.memberThreads > 0) {
    tracking.threads = options.memberThreads;
    tracking.interrupted = options.interrupted;
    tracking.progress = options.memberProgress;
  }
  tracking.runUnits = units;
  TrackingOutcome best;
  std::int64_t fewestLost = 0;
  const bool singularStart = std::any_of(start.multiplicity.begin(), start.multiplicity.end(),
                                         [](std::int32_t m) { return m > 1; });
  for (int attempt = 1; attempt <= kGammaAttempts; ++attempt) {
    const Complex gamma = UnitDraw(draws);
    const std::vector<Complex> offset =
        singularStart ? SingularStartOffset(layout.system.scaled, draws) : std::vector<Complex>{};
    const ParameterPath path{&family, start.parameters,    parameters,
                             gamma,   layout.termOfFamily, layout.termScale,
                             offset};
    const auto begin = std::chrono::steady_clock::now();
    const std::int32_t stepLimit =
        options.detourStepLimit ? options.detourStepLimit(member.instance, attempt) : 0;
    TrackingOutcome tracked = TrackParameterHomotopy(
        layout.system.scaled, path, startPoints, start.multiplicity, draws, tracking, stepLimit);
    const double seconds = SecondsSince(begin);
    const std::int64_t lost = LostPaths(tracked);
    member.gammaAttempts = attempt;
    if (attempt == 1 || lost < fewestLost) {
      fewestLost = lost;
      best = std::move(tracked);
      member.result.timings.tracking = seconds;
    }
    if (fewestLost == 0) break;
    member.flagged = true;
  }
  if (options.keepEndPoints) {
    member.endPoints = best.solutions;
    for (std::int64_t r = 0; r < member.endPoints.cols(); ++r) {
      for (int k = 0; k < layout.system.scaled.n; ++k)
        member.endPoints(k, r) *= std::exp(layout.system.scaleExponents[k]);
      member.endPointPaths.push_back(best.records[r].startIndex);
    }
  }
  const double trackingSeconds = member.result.timings.tracking;
  member.result =
      FinishMember(layout.system, std::move(best), draws, options, StartPathCount(start));
  member.result.timings.tracking = trackingSeconds;
  const std::vector<std::string> warnings = MemberWarnings(layout.system);
  member.result.warnings.insert(member.result.warnings.begin(), warnings.begin(), warnings.end());
}

// The member from the start, or solved fresh when the detours cannot follow it: its coefficients
// span too much, or paths are still without a verdict after every detour and a fresh solve leaves
// fewer so (a member a fresh solve solves is solved).
void SolveFromStartOrFresh(const ParametricSystem& family, const FamilyStart& start,
                           std::span<const Complex> parameters, RuntimeUniform& draws,
                           const SweepOptions& options, const UnitRunner& units,
                           MemberResult& member) {
  const MemberLayout layout = LayoutAt(family, parameters);
  member.freshSolve = FreshSolveBeforeTracking(layout.system);
  if (!member.freshSolve.empty()) {
    member.flagged = true;
    member.gammaAttempts = 0;
    member.result = SolveFresh(family, parameters, member.instance, options);
    return;
  }
  TrackAndFinish(family, start, layout, parameters, draws, options, units, member);
  const std::int64_t failed = member.result.classes.failed;
  if (failed == 0) return;
  SolveResult fresh;
  try {
    fresh = SolveFresh(family, parameters, member.instance, options);
  } catch (const Error&) {  // more paths than options.maxPaths allows: the detours' result stands
    return;
  }
  if (fresh.classes.failed >= failed) return;
  member.flagged = true;
  member.freshSolve = std::to_string(failed) + " of " + std::to_string(member.result.pathCount) +
                      " paths from the start had no verdict after " +
                      std::to_string(member.gammaAttempts) + " detours; a fresh solve left " +
                      std::to_string(fresh.classes.failed);
  fresh.timings.tracking += member.result.timings.tracking;
  member.result = std::move(fresh);
}

}  // namespace

std::uint64_t SweepSeed(const SweepOptions& options) {
  return options.seed ? *options.seed : FreshEntropySeed();
}

FamilyStart SolveFamilyStart(const ParametricSystem& family, const SweepOptions& options) {
  return SolveFamilyStartWith(family, options,
                              [](const PolySystem& member, const SolveOptions& solve) {
                                return SolveSystem(member, solve);
                              });
}

FamilyStart SolveFamilyStartWith(const ParametricSystem& family, const SweepOptions& options,
                                 const StartMemberSolver& solve) {
  ThrowIfInvalid(options);
  CheckFamilyShape(family, "family");
  FamilyStart start;
  start.seed = SweepSeed(options);
  start.systemHash = FamilyHash(family);
  start.parameterNames = family.parameterNames;
  start.route = options.startRoute;
  start.parameters = StartParameters(family, start.seed);
  SolveOptions atP0;
  atP0.route = options.startRoute;
  atP0.seed = start.seed;
  atP0.threads = options.threads;
  atP0.maxPaths = options.maxPaths;
  atP0.reportPath.clear();
  atP0.interrupted = options.interrupted;
  atP0.console = [](std::string_view) {};
  const SolveResult found = solve(EvaluateParametric(family, start.parameters), atP0);
  start.pathCount = found.pathCount;
  std::vector<std::int64_t> kept;
  for (std::int64_t r = 0; r < found.rootCount; ++r) {
    const bool regular = found.rootStatus[r] == RootStatus::kRegular;
    if (regular || found.groupLeader[r] == r) kept.push_back(r);
  }
  start.roots.Assign(found.n, static_cast<std::int64_t>(kept.size()));
  for (std::size_t c = 0; c < kept.size(); ++c) {
    std::copy_n(found.roots.col(kept[c]), found.n, start.roots.col(c));
    start.multiplicity.push_back(
        found.rootStatus[kept[c]] == RootStatus::kRegular ? 1 : found.multiplicity[kept[c]]);
  }
  return start;
}

MemberResult SolveMember(const ParametricSystem& family, const FamilyStart& start,
                         std::span<const Complex> parameters, std::int64_t instance,
                         const SweepOptions& options) {
  return SolveMemberWith(family, start, parameters, instance, options, UnitRunner());
}

MemberResult SolveMemberWith(const ParametricSystem& family, const FamilyStart& start,
                             std::span<const Complex> parameters, std::int64_t instance,
                             const SweepOptions& options, const UnitRunner& units) {
  const auto begin = std::chrono::steady_clock::now();
  MemberResult member;
  member.instance = instance;
  member.parameters.assign(parameters.begin(), parameters.end());
  try {
    EvaluateParametric(family, parameters);  // refuses values that give no valid system
    SweepOptions seeded = options;
    const std::uint64_t seed = SweepSeed(options);
    seeded.seed = seed;
    RuntimeUniform draws = StreamOf(seed, instance);
    SolveFromStartOrFresh(family, start, parameters, draws, seeded, units, member);
    member.result.seed = seed;
    member.solved = true;
  } catch (const Error& error) {
    if (error.code() == ErrorCode::kInterrupted) throw;  // heard inside the member: a stop
    member.error = error.what();
  } catch (const std::bad_alloc&) {
    member.error = "not enough memory for this member";
  }
  member.seconds = SecondsSince(begin);
  return member;
}

void CheckSweep(const ParametricSystem& family, const FamilyStart& start,
                const SweepOptions& options) {
  ThrowIfInvalid(options);
  CheckStartBelongs(family, start, "the start");
  // A member's paths are weighed like a solve's; their time depends on the member count, so the
  // budget states none.
  CheckPathBudget(PathBudget{StartPathCount(start), family.n, 0.0}, options.maxPaths);
}

void SweepFamily(const ParametricSystem& family, const FamilyStart& start,
                 const std::vector<std::vector<Complex>>& members, const SweepOptions& options,
                 const std::function<void(MemberResult&&)>& onMember) {
  std::size_t next = 0;
  SweepFamily(
      family, start,
      [&]() -> std::optional<std::vector<Complex>> {
        if (next == members.size()) return std::nullopt;
        return members[next++];
      },
      options, onMember);
}

void SweepFamily(const ParametricSystem& family, const FamilyStart& start, const MemberSource& next,
                 const SweepOptions& options, const std::function<void(MemberResult&&)>& onMember,
                 std::int64_t firstInstance) {
  if (firstInstance < 1)
    throw Error(ErrorCode::kBadArgument,
                "firstInstance = " + std::to_string(firstInstance) + ": instances count from 1");
  CheckSweep(family, start, options);
  SweepOptions fixed = options;
  fixed.seed = SweepSeed(options);  // one seed for all members, even when drawn
  fixed.memberThreads = 0;          // members run side by side, one thread each
  const int threads = ThreadCount(options.threads);
  const auto solve = [&](const std::vector<Complex>& values, std::int64_t read) {
    return SolveMember(family, start, values, firstInstance - 1 + read, fixed);
  };
  if (threads == 1) {
    SweepSerially(next, solve, options.interrupted, onMember);
  } else {
    MemberWindow window(threads, next, solve);
    window.HandOnAll(options.interrupted, onMember);
  }
}

}  // namespace zormix
