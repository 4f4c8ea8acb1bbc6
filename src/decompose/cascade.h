// Witness supersets of every dimension, from the top down, by the cascade of homotopies (Sommese
// and Verschelde, 2000).
//
// Why the cascade and not regeneration: the solver's strength is the polyhedral solve of one
// square system and the parameter homotopy of a family, and the cascade is made of exactly these:
// the top level g_D (witness_family.h) is an ordinary solve, and each step down is a one-parameter
// family, s switching the slack of one slice off, tracked from the roots of g_k that are off the
// slice (the nonsolutions) with the solve's end game, rescue and verdicts. Every isolated root of
// g_{k-1} is the end of such a path (the roots on the slice stay where they are as s moves, on
// the solution set, so the isolated roots of g_{k-1} come from the others). Regeneration would
// need equation-by-equation start systems of its own. A level whose own mixed volume is smaller
// than the nonsolutions above it is solved afresh by the polyhedral route instead: fewer paths,
// and the same witness superset.
//
// Dimension 0 of a square system is `zormix solve` itself, with the decomposition's seed: its
// counts are the solve's. Of the end points of level k:
//   - on the slice (decompose.on_slice) and isolated (regular, or singular with multiplicity m):
//     the witness superset of dimension k (junk still in it);
//   - on the slice and on a positive-dimensional set of g_k (the solve's verdict): junk, a point
//     of a component of higher dimension, whose slice by k planes is a set;
//   - off the slice: the starts of level k - 1;
//   - at infinity or failed: counted.
#ifndef ZORMIX_DECOMPOSE_CASCADE_H_
#define ZORMIX_DECOMPOSE_CASCADE_H_

#include <cstdint>
#include <vector>

#include "decompose/witness_family.h"
#include "decompose/witness_track.h"
#include "zormix/decompose.h"

namespace zormix {

// The witness superset of one dimension: distinct points and their multiplicities.
struct WitnessCandidates {
  int dimension = 0;
  ColMajorMatrix<Complex> points;          // n x count
  std::vector<std::int32_t> multiplicity;  // 1: a regular root of g_k
  std::int64_t onSets = 0;                 // end points found on sets of g_k: junk by verdict
  DimensionReport report;
};

struct Cascade {
  Equations equations;
  Embedding embedding;
  int lowest = 0;                         // the lowest dimension with witness points possible
  std::vector<WitnessCandidates> levels;  // dimensions top..max(lowest, 1)
  bool hasDimensionZero = false;          // at least as many equations as unknowns
  SolveResult dimensionZero;              // the solve of F (dimension 0)
  DimensionReport dimensionZeroReport;
  std::vector<std::string> warnings;
};

// Runs the cascade from `top` down to dimension 0 (or to n - equations when there are fewer
// equations than unknowns, below which there is no solution set).
Cascade RunCascade(const Equations& equations, Embedding embedding, PointTracker& tracker);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_CASCADE_H_
