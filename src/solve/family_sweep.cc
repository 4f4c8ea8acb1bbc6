// The start solve of a family and the parameter homotopy from it to each member: tracking,
// then the finish of a solve (refinement, classification, certification).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exception>
#include <memory>
#include <new>
#include <numbers>
#include <thread>
#include <utility>

#include "base/parallel.h"
#include "base/random.h"
#include "base/text.h"
#include "model/normal_form.h"
#include "model/parametric_eval.h"
#include "solve/family_layout.h"
#include "solve/family_start.h"
#include "solve/path_budget.h"
#include "solve/stage_data.h"
#include "tracker/routes/parameter_homotopy.h"
#include "tracker/routes/singular_start.h"
#include "zormix/error.h"
#include "zormix/solve.h"
#include "zormix/sweep.h"

namespace zormix {
namespace {

// Detours tried for one member: the first, and two more when the first lost paths.
constexpr int kGammaAttempts = 3;

// Uniform on the unit circle: a detour that avoids the real half-line with probability one.
Complex UnitDraw(RuntimeUniform& draws) {
  return std::polar(1.0, 2.0 * std::numbers::pi * draws.Next());
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
SolveResult FinishMember(const NormalForm& system, TrackingOutcome&& tracked, RuntimeUniform& draws,
                         bool certify) {
  SolveResult result;
  result.n = system.scaled.n;
  for (const std::string& name : system.scaled.variableNames)
    result.variableNames.push_back(TrimTrailingBlanks(name));
  // Members finish on the sweep's threads; the sweep hears a stop between members.
  FinishEndPoints(system, tracked, draws, 1, certify, result, {});
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

// Tracks the start roots to `parameters` with up to kGammaAttempts detours; the first attempt
// without lost paths, or the one that lost the fewest.
void TrackAndFinish(const ParametricSystem& family, const FamilyStart& start,
                    std::span<const Complex> parameters, RuntimeUniform& draws,
                    const SweepOptions& options, MemberResult& member) {
  const MemberLayout layout = LayoutAt(family, parameters);
  const ColMajorMatrix<Complex> startPoints = ScaledPoints(start.roots, layout.system);
  TrackingOptions tracking;  // one thread: members run side by side
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
    if (attempt == 1 || lost < fewestLost) {
      fewestLost = lost;
      best = std::move(tracked);
      member.gammaAttempts = attempt;
      member.result.timings.tracking = seconds;
    }
    if (fewestLost == 0) break;
    member.flagged = true;
  }
  const double trackingSeconds = member.result.timings.tracking;
  member.result = FinishMember(layout.system, std::move(best), draws, options.certify);
  member.result.timings.tracking = trackingSeconds;
  member.result.pathCount = StartPathCount(start);
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
  const auto begin = std::chrono::steady_clock::now();
  MemberResult member;
  member.instance = instance;
  member.parameters.assign(parameters.begin(), parameters.end());
  try {
    EvaluateParametric(family, parameters);  // refuses values that give no valid system
    const std::uint64_t seed = SweepSeed(options);
    RuntimeUniform draws = StreamOf(seed, instance);
    TrackAndFinish(family, start, parameters, draws, options, member);
    member.result.seed = seed;
    member.solved = true;
  } catch (const Error& error) {
    member.error = error.what();
  } catch (const std::bad_alloc&) {
    member.error = "not enough memory for this member";
  }
  member.seconds = SecondsSince(begin);
  return member;
}

void CheckSweep(const ParametricSystem& family, const FamilyStart& start,
                const SweepOptions& options) {
  CheckStartBelongs(family, start, "the start");
  // A member's paths are weighed like a solve's; their time depends on the member count, so the
  // budget states none.
  CheckPathBudget(PathBudget{StartPathCount(start), family.n, 0.0}, options.maxPaths);
}

void SweepFamily(const ParametricSystem& family, const FamilyStart& start,
                 const std::vector<std::vector<Complex>>& members, const SweepOptions& options,
                 const std::function<void(MemberResult&&)>& onMember) {
  CheckSweep(family, start, options);
  SweepOptions fixed = options;
  fixed.seed = SweepSeed(options);  // one seed for all members, even when drawn
  const std::int64_t count = static_cast<std::int64_t>(members.size());
  std::vector<MemberResult> slots(members.size());
  std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[members.size()]);
  for (std::int64_t k = 0; k < count; ++k) done[k] = false;
  std::int64_t handedOn = 0;
  const auto handOn = [&] {
    while (handedOn < count && done[handedOn].load(std::memory_order_acquire)) {
      onMember(std::move(slots[handedOn]));
      slots[handedOn] = MemberResult{};
      ++handedOn;
    }
  };
  const auto makeWorker = [&]() -> UnitFunction {
    return [&](std::int64_t k) {
      slots[k] = SolveMember(family, start, members[k], k + 1, fixed);
      done[k].store(true, std::memory_order_release);
    };
  };
  const auto poll = [&] {
    handOn();
    if (options.interrupted && options.interrupted())
      throw Error(ErrorCode::kInterrupted, kInterruptedMessage);
  };
  RunUnitsInParallel(count, ThreadCount(options.threads), makeWorker, poll);
  handOn();
}

}  // namespace zormix
