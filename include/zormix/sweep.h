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
};

// One member of a sweep.
struct MemberResult {
  std::int64_t instance = 0;        // 1-based position in the list of members
  std::vector<Complex> parameters;  // p1
  bool solved = false;              // false: `error` says why; `result` is empty
  std::string error;
  // Set when the first detour lost paths to step failures (fewer roots tracked than the start
  // has); the member was then tracked again with other gammas and the best attempt kept.
  bool flagged = false;
  int gammaAttempts = 1;
  SolveResult result;  // as a solve of the member returns it; pathCount = start roots
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

// Solves members[k] as instance k + 1, in parallel, and hands every result to `onMember` from the
// calling thread in instance order. Throws Error when the start belongs to another family.
void SweepFamily(const ParametricSystem& family, const FamilyStart& start,
                 const std::vector<std::vector<Complex>>& members, const SweepOptions& options,
                 const std::function<void(MemberResult&&)>& onMember);

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
