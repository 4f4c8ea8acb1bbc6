// One complete solve: the stages of stages.h one after the other, with the checkpoint opened
// before the mixed cells so that a file of another solve is refused at once.
#include "zormix/solve.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "solve/solve_with_runner.h"
#include "solve/stage_data.h"

namespace zormix {
namespace {

SolveResult Solve(const PolySystem& input, const SolveOptions& options,
                  const RunnerFactory& makeRunners) {
  ThrowIfInvalid(options);
  Announce(options, Stage::kReading, 0);
  const Problem problem(input);
  const std::uint64_t seed = ChooseSeed(options);
  const std::unique_ptr<Checkpoint> checkpoint =
      OpenCheckpoint(options, problem, options.route, seed);
  SolveRunners runners;
  if (makeRunners) runners = makeRunners(checkpoint.get(), ThreadCount(options));
  const StartSystem start = MakeStartSystemWith(problem, options, seed, runners.cellBranches);
  if (!start.trackable()) return PathCountResult(start);
  ExpectStartPaths(checkpoint.get(), start);
  TrackedPaths paths =
      TrackWith(start, problem, WithRestoredPaths(options, checkpoint.get()), runners.units);
  if (checkpoint) paths.data().restoredPaths = checkpoint->restoredPaths();
  return Finish(std::move(paths), options);
}

}  // namespace

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Announce(const SolveOptions& options, Stage stage, std::int64_t pathsTotal,
              double estimateSeconds) {
  if (!options.progress) return;
  Progress progress;
  progress.stage = stage;
  progress.pathsTotal = pathsTotal;
  progress.trackingEstimateSeconds = estimateSeconds;
  options.progress(progress);
}

void ThrowIfInterrupted(const SolveOptions& options) {
  if (options.interrupted && options.interrupted())
    throw Error(ErrorCode::kInterrupted, kInterruptedMessage);
}

void ThrowIfInvalid(const SolveOptions& options) {
  std::string why;
  if (!options.Validate(&why)) throw Error(ErrorCode::kBadArgument, why);
}

int ThreadCount(const SolveOptions& options) {
  if (options.threads > 0) return options.threads;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

std::uint64_t ChooseSeed(const SolveOptions& options) {
  if (options.seed) return *options.seed;
  if (!options.checkpointPath.empty()) {
    if (const std::optional<std::uint64_t> stored = CheckpointSeed(options.checkpointPath))
      return *stored;
  }
  return FreshEntropySeed();
}

SolveResult SolveSystem(const PolySystem& system, const SolveOptions& options) {
  return SolveSystemWith(system, options, [](Checkpoint* checkpoint, int threads) {
    SolveRunners runners;
    if (checkpoint) runners.units = CheckpointRunner(*checkpoint, threads);
    return runners;
  });
}

SolveResult SolveSystemWith(const PolySystem& system, const SolveOptions& options,
                            const RunnerFactory& makeRunners) {
  try {
    return Solve(system, options, makeRunners);
  } catch (const std::bad_alloc&) {
    throw Error(ErrorCode::kOutOfMemory,
                "not enough memory for this solve (" + std::to_string(system.n) +
                    " variables); the path count or the system is too large for this machine");
  } catch (const std::length_error&) {
    throw Error(ErrorCode::kOutOfMemory,
                "an array of this solve would exceed the largest size the machine can hold");
  }
}

}  // namespace zormix
