// Solving many members of a family of systems: one start solve at random complex parameters, then
// a parameter homotopy from its roots to every member asked for.
#ifndef ZORMIX_SWEEP_H_
#define ZORMIX_SWEEP_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zormix/col_major_matrix.h"
#include "zormix/parametric.h"
#include "zormix/result.h"
#include "zormix/types.h"

namespace zormix {

// The roots of the family at generic parameters p0, from which every member is reached.
struct FamilyStart {
  std::uint64_t systemHash = 0;             // FamilyHash of the family it belongs to
  std::vector<std::string> parameterNames;  // in the order of p0
  std::vector<Complex> parameters;          // p0
  ColMajorMatrix<Complex> roots;            // n x (start roots): regular and isolated singular
  std::vector<std::int32_t> multiplicity;   // per root: 1 for a regular root
  std::uint64_t seed = 0;                   // the seed of the start solve
  Route route = Route::kPolyhedral;         // the route of the start solve
  std::int64_t pathCount = 0;               // paths the start solve (or monodromy) tracked
  // How the roots were found: a start solve on `route`, or monodromy loops (zormix/monodromy.h),
  // whose start file says so ("method": "monodromy").
  enum class Method { kStartSolve, kMonodromy };
  Method method = Method::kStartSolve;
};

struct SweepOptions {
  // Seed of every random draw: p0 and the start solve, and each member's detour (gamma) and
  // checks, drawn from generators of their own per member. Unset: fresh entropy is drawn (see
  // SweepSeed). Set: every result is identical bit for bit whatever the thread count.
  std::optional<std::uint64_t> seed;
  // Threads; 0 means one per hardware core. Members run in parallel, one per thread.
  int threads = 1;
  // Route of the start solve.
  Route startRoute = Route::kPolyhedral;
  // Paths a solve may track (as SolveOptions::maxPaths): the start solve is refused beyond it
  // (Error "zormix:outOfMemory"), and so is a sweep from a start with more paths. The memory of
  // the machine bounds both either way.
  std::optional<std::int64_t> maxPaths;
  // Certify the regular roots of every member (as SolveOptions::certify).
  bool certify = false;
  // Polled from the calling thread between members; true stops the sweep with Error
  // kInterruptedId after the members finished so far have been handed on.
  std::function<bool()> interrupted;
  // Hard bound on the steps of every path of one detour (attempt 1, 2, ... of the gamma guard) of
  // one member: a path is given up there, without the end game. 0 or unset: the tracker's own
  // limits. Tests use it to make a detour lose paths.
  std::function<std::int32_t(std::int64_t instance, int attempt)> detourStepLimit;
  // Threads that track the paths of one member solved alone (SolveMember), and whether it hears
  // `interrupted` and reports `memberProgress` while it tracks: 0 (the default, and always in a
  // sweep, whose members run side by side) tracks on one thread and hears a stop only between
  // members. Results do not depend on it.
  int memberThreads = 0;
  std::function<void(const Progress&)> memberProgress;
  // Keep every tracked end point as the tracker left it (MemberResult::endPoints), also those the
  // finish gives no verdict: a lone path at a singular root still says where it ended.
  bool keepEndPoints = false;

  // Checks every rule on the options (threads 0 to kMaxThreads, a route that exists, a positive
  // maxPaths): false with the reason in *why (when given) for the first one broken. Every sweep
  // call throws ErrorCode::kBadArgument with it.
  bool Validate(std::string* why = nullptr) const;
};

// One member of a sweep.
struct MemberResult {
  std::int64_t instance = 0;        // 1-based position in the list of members
  std::vector<Complex> parameters;  // p1
  bool solved = false;              // false: `error` says why; `result` is empty
  std::string error;
  // Set when the first detour lost paths to step failures (fewer roots tracked than the start
  // has), the member was then tracked again with other gammas and the best attempt kept; or when
  // it was solved fresh (freshSolve).
  bool flagged = false;
  // Detours tracked from the start (1 to 3; 0 when the member was solved fresh without one).
  int gammaAttempts = 1;
  // Why the member was solved as SolveSystem solves it alone, rather than from the start: its
  // coefficients span more than the homotopy can follow in double precision, or paths from the
  // start had no verdict after every detour and the fresh solve left fewer so. Empty: from the
  // start. A fresh result has its own route and path count.
  std::string freshSolve;
  SolveResult result;  // as a solve of the member returns it; pathCount = start roots
  // With SweepOptions::keepEndPoints: the end points before the finish, in the member's variables
  // (n x count), and the path number (PathRecord::startIndex) of each.
  ColMajorMatrix<Complex> endPoints;
  std::vector<std::int32_t> endPointPaths;
  double seconds = 0.0;
};

// FNV-1a 64 of the family's support, coefficient polynomials and parameter count: a start of
// another family is refused.
std::uint64_t FamilyHash(const ParametricSystem& family);

// The seed a sweep with these options uses (fresh entropy when unset).
std::uint64_t SweepSeed(const SweepOptions& options);

// Solves the family at random complex parameters p0 (drawn from the seed by a generator of its
// own) and keeps every regular root and every isolated singular root with its multiplicity.
FamilyStart SolveFamilyStart(const ParametricSystem& family, const SweepOptions& options);

// Solves member `instance` (1-based; it selects the member's own random draws) at `parameters`
// from `start`. A member that cannot be solved (invalid values, a vanishing equation) comes back
// with solved = false and the reason; nothing is thrown for it.
MemberResult SolveMember(const ParametricSystem& family, const FamilyStart& start,
                         std::span<const Complex> parameters, std::int64_t instance,
                         const SweepOptions& options);

// The message of the Error kInterrupted that stops a sweep.
inline constexpr const char* kSweepInterruptedMessage = "the sweep was interrupted";

// Solves members[k] as instance k + 1, in parallel, and hands every result to `onMember` from the
// calling thread in instance order. Throws Error when the start belongs to another family, and
// Error kInterrupted ("the sweep was interrupted") when options.interrupted asks, after the
// members finished so far were handed on.
void SweepFamily(const ParametricSystem& family, const FamilyStart& start,
                 const std::vector<std::vector<Complex>>& members, const SweepOptions& options,
                 const std::function<void(MemberResult&&)>& onMember);

// The members one at a time: the next member's parameter values, or nullopt after the last. Called
// by one thread at a time; an exception it throws stops the sweep and is rethrown.
using MemberSource = std::function<std::optional<std::vector<Complex>>()>;

// SweepFamily over members read from `next` as threads become free: at most four members per
// thread are read and not yet handed on, so the memory does not grow with the member count. The
// first member read is instance `firstInstance` (a sweep that continues after its first
// firstInstance - 1 members), with that instance's random draws.
void SweepFamily(const ParametricSystem& family, const FamilyStart& start, const MemberSource& next,
                 const SweepOptions& options, const std::function<void(MemberResult&&)>& onMember,
                 std::int64_t firstInstance = 1);

// What SweepFamily checks before any member, for callers that solve the members themselves
// (SolveMember): the start belongs to the family, and its paths fit options.maxPaths and the
// memory. Throws Error.
void CheckSweep(const ParametricSystem& family, const FamilyStart& start,
                const SweepOptions& options);

// Throws Error naming `source` when `start` was not made for `family`.
void CheckStartBelongs(const ParametricSystem& family, const FamilyStart& start,
                       std::string_view source);

// The start as JSON text (doubles written to read back exactly), and back. ParseFamilyStart
// throws Error naming `source` for text that is not a start file.
std::string FormatFamilyStart(const FamilyStart& start);
FamilyStart ParseFamilyStart(std::string_view text, std::string_view source);
// Whole files; the written file appears complete or not at all.
void WriteFamilyStartFile(const FamilyStart& start, const std::string& path);
FamilyStart ReadFamilyStartFile(const std::string& path);

}  // namespace zormix

#endif  // ZORMIX_SWEEP_H_
