// What is known of one end point before it is compared with the others, computed as the rules of
// point_rules.h ask for it: each piece at most once, the costly ones only where a rule needs them.
#ifndef ZORMIX_FINISH_POINT_EVIDENCE_H_
#define ZORMIX_FINISH_POINT_EVIDENCE_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "finish/certify.h"
#include "finish/local_dimension.h"
#include "finish/point_measures.h"
#include "finish/root_cluster.h"
#include "model/normal_form.h"

namespace zormix {

// Where the value of a point comes from: the value grouping compares and, for the accurate ones,
// the value the result keeps.
enum class ValueSource : std::uint8_t {
  kEndPoint,       // the refined end point
  kNewtonLimit,    // Newton's limit in long double, rounded to double
  kDoubleDouble,   // Newton's limit in double-double from the end point (accurate)
  kSearched,       // one unknown: Newton's limit in double-double from a point it moved to from
                   // the end point left far off (accurate)
  kMultipleRoot,   // one unknown: the multiple root from the Taylor coefficients (accurate)
  kSubspacePoint,  // a solution in a coordinate subspace near the end point (accurate)
};

// Whether the result keeps the value in place of the end point.
constexpr bool IsAccurate(ValueSource source) {
  return source != ValueSource::kEndPoint && source != ValueSource::kNewtonLimit;
}

// What Newton's method and the interval test say of a point as a regular root, tried in the
// order of their cost (point_evidence.cc says which runs when).
struct Candidacy {
  bool candidate = false;  // a regular root if alone at its point
  // Newton's method in long double converged quadratically to a limit where kappa_s stays within
  // finish.condition_drift of the start's and below finish.resolvable.
  bool newtonConverged = false;
  std::vector<Complex> value;  // where Newton converged, else the end point
  ValueSource source = ValueSource::kEndPoint;
  std::optional<Certificate> certificate;  // when the interval test ran and succeeded
};

class EndPointEvidence {
 public:
  // `evaluation`'s system has its equations normalized; both must outlive the evidence, which
  // evaluates the point's units through it (derived once for every end point of a solve); x has
  // n coordinates.
  EndPointEvidence(const UnitsEvaluation& evaluation, const Complex* x, bool approached,
                   std::int32_t windingNumber);

  const NormalForm& system() const { return system_; }
  int n() const { return system_.scaled.n; }
  const Complex* point() const { return x_; }
  // The last point of a path handed over without a limit (ApproachedEndPoint).
  bool approached() const { return approached_; }
  std::int32_t windingNumber() const { return windingNumber_; }

  const PointMeasures& Measures();
  // Above finish.resolvable: Krawczyk's proof with coordinates at the origin taken as zeros
  // (ColumnUnitsAtOrigin), run where kappa_s so measured is at most finish.resolvable; the
  // certificate and the measures in those units.
  struct OriginProof {
    PointMeasures measures;
    Certificate certificate;
  };
  const std::optional<OriginProof>& ProofInOriginUnits();
  const Candidacy& RegularCandidacy();
  // The local dimension test by slicing at the end point (LocalDimension).
  int SlicedDimension();
  // SetInCoordinateSubspace at the end point, as an approached point or not as the path says.
  const SubspaceSetPoint& SubspaceSet();
  // SetInCoordinateSubspace at the end point taken as a point on its approach.
  const SubspaceSetPoint& ApproachSubspaceSet();
  // One unknown: the cluster of roots at the candidacy's value (RootClusterAt).
  const RootCluster& Cluster();

 private:
  Candidacy ExamineCandidacy();

  const UnitsEvaluation& evaluation_;
  const NormalForm& system_;
  const Complex* x_;
  bool approached_;
  std::int32_t windingNumber_;
  std::optional<PointMeasures> measures_;
  bool originProofAsked_ = false;
  std::optional<OriginProof> originProof_;
  std::optional<Candidacy> candidacy_;
  std::optional<int> slicedDimension_;
  std::optional<SubspaceSetPoint> subspaceSet_;
  std::optional<SubspaceSetPoint> approachSubspaceSet_;
  std::optional<RootCluster> cluster_;
};

}  // namespace zormix

#endif  // ZORMIX_FINISH_POINT_EVIDENCE_H_
