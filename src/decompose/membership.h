// The homotopy membership test (Sommese, Verschelde and Wampler): a point y lies on a component Z
// of dimension k exactly when some witness point of Z arrives at y as Z's slice is moved, along a
// random path, to the parallel slice through y. The witness system W(x; c) (witness_family.h)
// keeps Z's witness points on Z for every slice constant c; at c = -C y the slice passes through
// y, and it meets Z in deg Z points, y among them when y is on Z.
//
// Points of a witness superset that lie on components of higher dimension (junk) are removed by
// it. A junk test that needs no tracking (a local dimension test at the point) fits the same
// place: JunkTest below.
#ifndef ZORMIX_DECOMPOSE_MEMBERSHIP_H_
#define ZORMIX_DECOMPOSE_MEMBERSHIP_H_

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "decompose/affine_family.h"
#include "decompose/witness_track.h"
#include "zormix/col_major_matrix.h"
#include "zormix/parametric.h"

namespace zormix {

// Witness points of one dimension on one slice, with the system that moves them.
struct WitnessSet {
  int dimension = 0;
  AffineFamily rows{0, 0, 0};      // W(x; c) row by row (WitnessRows)
  ParametricSystem system;         // W(x; c): the slice constants are its parameters
  ColMajorMatrix<Complex> slice;   // C, dimension x n
  std::vector<Complex> constants;  // c of the slice through `points`
  ColMajorMatrix<Complex> points;  // n x count
  std::vector<std::int32_t> multiplicity;
};

// The witness points (columns of set.points) whose paths arrive at `point`
// (decompose.membership_distance) when the slice is moved to pass through it. Empty: the point lies
// on none of their components.
std::vector<std::int64_t> ArrivingWitnessPoints(const WitnessSet& set,
                                                std::span<const Complex> point,
                                                PointTracker& tracker);

// Decides whether a point of a witness superset of dimension k lies on a component of a higher
// dimension. The homotopy membership test against the witness sets found so far is the one in use;
// a local dimension test can take its place.
using JunkTest = std::function<bool(std::span<const Complex> point, int dimension)>;
JunkTest HomotopyJunkTest(const std::vector<WitnessSet>& higher, PointTracker& tracker);

}  // namespace zormix

#endif  // ZORMIX_DECOMPOSE_MEMBERSHIP_H_
