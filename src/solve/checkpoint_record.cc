#include "solve/checkpoint_record.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "base/hash.h"
#include "tracker/endgame/end_game.h"
#include "tracker/homotopy/homotopy.h"
#include "zormix/error.h"

namespace zormix {
namespace {

using checkpoint_bytes::Get;
using checkpoint_bytes::Put;

// The format stores the machine's bytes; every platform zormix is built for is little-endian.
static_assert(std::endian::native == std::endian::little);

constexpr std::size_t kFixedSize = 32;  // unit .. blowUps, before the coordinates
constexpr std::size_t kPointSize = 16;  // one complex coordinate
// Flags after the end point: which of the two optional points the record carries.
constexpr std::uint32_t kHasJumpCheckPoint = 1;
constexpr std::uint32_t kHasPolishedRoot = 2;
// The first tracking gives a path up once its steps exceed the step limit.
constexpr std::int32_t kMaxFirstTrackingSteps = PathLimits{}.stepLimit + 1;
// Loops the end game may count around the target before it gives up on a winding number.
constexpr std::int32_t kMaxWindingNumber = kEndGame.maxRaisedWindingNumber;

void PutPoint(std::string& out, const Complex* z, std::int64_t n) {
  for (std::int64_t k = 0; k < n; ++k) {
    Put<double>(out, z != nullptr ? z[k].real() : 0.0);
    Put<double>(out, z != nullptr ? z[k].imag() : 0.0);
  }
}

void GetPoint(const char* record, std::size_t at, Complex* z, std::int64_t n) {
  for (std::int64_t k = 0; k < n; ++k, at += kPointSize)
    z[k] = Complex(Get<double>(record, at), Get<double>(record, at + 8));
}

// The fields of a record, at their offsets.
struct RecordFields {
  std::uint64_t unit;
  std::int32_t cell, startIndex, steps;
  std::uint32_t status;
  std::int64_t blowUps;
  std::uint32_t flags;
  std::int32_t windingNumber;
  double valuation;
  std::size_t endPointAt, checkPointAt, polishedAt;
};

RecordFields ReadFields(const char* record, std::int64_t n) {
  const std::size_t point = kPointSize * static_cast<std::size_t>(n);
  const std::size_t flagsAt = kFixedSize + point;
  return RecordFields{Get<std::uint64_t>(record, 0),
                      Get<std::int32_t>(record, 8),
                      Get<std::int32_t>(record, 12),
                      Get<std::int32_t>(record, 16),
                      Get<std::uint32_t>(record, 20),
                      Get<std::int64_t>(record, 24),
                      Get<std::uint32_t>(record, flagsAt),
                      Get<std::int32_t>(record, flagsAt + 4),
                      Get<double>(record, flagsAt + 8),
                      kFixedSize,
                      flagsAt + 16,
                      flagsAt + 16 + point};
}

// "" when the n coordinates at `at` are all finite (present) or all zero (absent).
std::string PointFault(const char* record, std::size_t at, std::int64_t n, bool present,
                       const char* what) {
  for (std::int64_t k = 0; k < 2 * n; ++k) {
    const double x = Get<double>(record, at + 8 * static_cast<std::size_t>(k));
    if (present && !std::isfinite(x)) return std::string(what) + " is not finite";
    if (!present && x != 0.0) return std::string(what) + " is stored though there is none";
  }
  return std::string();
}

std::string Outside(const char* field, long long value, long long low, long long high) {
  return std::string(field) + " " + std::to_string(value) + " is outside " + std::to_string(low) +
         ".." + std::to_string(high);
}

std::string FixedFieldFault(const RecordFields& f, const RouteTracking& tracking,
                            const UnitLayout& layout) {
  if (f.unit >= static_cast<std::uint64_t>(tracking.total))
    return "unit " + std::to_string(f.unit) + " is not one of the " +
           std::to_string(tracking.total) + " paths of this solve";
  if (f.status >= static_cast<std::uint32_t>(kPathStatusCount))
    return "status " + std::to_string(f.status) + " is unknown";
  const std::string mismatch =
      layout.Mismatch(static_cast<std::int64_t>(f.unit), tracking.total, f.cell, f.startIndex);
  if (!mismatch.empty()) return mismatch;
  if (f.steps < 0 || f.steps > kMaxFirstTrackingSteps)
    return Outside("steps", f.steps, 0, kMaxFirstTrackingSteps);
  // A path counts one blow-up at most: its step underflowed far out, which ends the tracking. It
  // may still be recorded, reached by the Cauchy end game or handed over from its last point.
  if (f.blowUps < 0 || f.blowUps > 1) return Outside("blow-ups", f.blowUps, 0, 1);
  return std::string();
}

}  // namespace

UnitLayout UnitLayout::TotalDegree() {
  UnitLayout layout;
  layout.kind_ = Kind::kTotalDegree;
  return layout;
}

UnitLayout UnitLayout::Cells(const std::vector<std::int64_t>& cellVolumes) {
  UnitLayout layout;
  layout.kind_ = Kind::kCells;
  layout.offsets_.assign(cellVolumes.size() + 1, 0);
  for (std::size_t c = 0; c < cellVolumes.size(); ++c)
    layout.offsets_[c + 1] = layout.offsets_[c] + cellVolumes[c];
  return layout;
}

std::string UnitLayout::Mismatch(std::int64_t unit, std::int64_t total, std::int32_t cell,
                                 std::int32_t startIndex) const {
  std::int64_t expectedCell = 0, expectedStart = unit + 1;
  if (kind_ == Kind::kUnknown) {
    if (cell < 0) return "cell " + std::to_string(cell) + " is negative";
    if (startIndex < 1 || startIndex > total) return Outside("start index", startIndex, 1, total);
    return std::string();
  }
  if (kind_ == Kind::kCells) {
    const auto next = std::upper_bound(offsets_.begin(), offsets_.end(), unit);
    const std::int64_t c = next - offsets_.begin() - 1;
    expectedCell = c + 1;
    expectedStart = unit - offsets_[static_cast<std::size_t>(c)] + 1;
  }
  if (cell == expectedCell && startIndex == expectedStart) return std::string();
  return "unit " + std::to_string(unit) + " is start solution " + std::to_string(expectedStart) +
         " of cell " + std::to_string(expectedCell) + ", not " + std::to_string(startIndex) +
         " of cell " + std::to_string(cell);
}

// Fixed part, end point, flags (u32), winding number (i32), valuation (f64), the point at the jump
// check, the polished root, checksum.
std::size_t UnitRecordSize(int n) {
  return kFixedSize + 3 * kPointSize * static_cast<std::size_t>(n) + 8 + 8 + 8;
}

void EncodeUnit(const RouteTracking& tracking, std::int64_t unit, std::string& out) {
  const std::size_t start = out.size();
  const UnitOutcome& o = tracking.outcomes[static_cast<std::size_t>(unit)];
  Put<std::uint64_t>(out, static_cast<std::uint64_t>(unit));
  Put<std::int32_t>(out, o.cell);
  Put<std::int32_t>(out, o.startIndex);
  Put<std::int32_t>(out, o.steps);
  Put<std::uint32_t>(out, static_cast<std::uint32_t>(o.status));
  Put<std::int64_t>(out, o.blowUps);
  const std::int64_t n = tracking.endPoints.rows();
  PutPoint(out, o.recorded() ? tracking.endPoints.col(unit) : nullptr, n);
  // The jump check and the polished roots are decided after every path is done: a path restored
  // from a record must bring what its tracking left for them.
  const auto u = static_cast<std::size_t>(unit);
  const bool hasCheck = !tracking.hasWaypoint.empty() && tracking.hasWaypoint[u] != 0;
  const std::vector<Complex>& polished = tracking.polished[u];
  const bool hasPolished = polished.size() == static_cast<std::size_t>(n);
  Put<std::uint32_t>(out,
                     (hasCheck ? kHasJumpCheckPoint : 0) | (hasPolished ? kHasPolishedRoot : 0));
  Put<std::int32_t>(out, o.windingNumber);
  Put<double>(out, o.valuation);
  PutPoint(out, hasCheck ? tracking.waypoints.col(unit) : nullptr, n);
  PutPoint(out, hasPolished ? polished.data() : nullptr, n);
  Put<std::uint64_t>(out, Fnv1a(out.data() + start, out.size() - start));
}

bool RecordIntact(const char* record, int n) {
  const std::size_t body = UnitRecordSize(n) - 8;
  return Fnv1a(record, body) == Get<std::uint64_t>(record, body);
}

std::uint64_t RecordUnit(const char* record) { return Get<std::uint64_t>(record, 0); }

std::string RecordFault(const char* record, const RouteTracking& tracking,
                        const UnitLayout& layout) {
  const std::int64_t n = tracking.endPoints.rows();
  const RecordFields f = ReadFields(record, n);
  std::string fault = FixedFieldFault(f, tracking, layout);
  if (!fault.empty()) return fault;
  if ((f.flags & ~(kHasJumpCheckPoint | kHasPolishedRoot)) != 0)
    return "flags " + std::to_string(f.flags) + " are unknown";
  if (f.windingNumber < 0 || f.windingNumber > kMaxWindingNumber)
    return Outside("winding number", f.windingNumber, 0, kMaxWindingNumber);
  if (!std::isfinite(f.valuation)) return "the valuation is not finite";
  const bool recorded = IsSuccess(static_cast<PathStatus>(f.status));
  const bool hasCheck = (f.flags & kHasJumpCheckPoint) != 0;
  const bool hasPolished = (f.flags & kHasPolishedRoot) != 0;
  // Only the total-degree route keeps points at the jump check; a recorded path is never polished.
  if (hasCheck && tracking.hasWaypoint.empty()) return "a jump-check point is stored";
  if (hasPolished && recorded) return "a recorded path also has a polished root";
  fault = PointFault(record, f.endPointAt, n, recorded, "the end point");
  if (fault.empty())
    fault = PointFault(record, f.checkPointAt, n, hasCheck, "the jump-check point");
  if (fault.empty()) fault = PointFault(record, f.polishedAt, n, hasPolished, "the polished root");
  return fault;
}

std::int64_t DecodeUnit(const char* record, RouteTracking& tracking, const UnitLayout& layout) {
  const std::string fault = RecordFault(record, tracking, layout);
  if (!fault.empty())
    throw Error(ErrorCode::kCheckpoint, "checkpoint record of unit " +
                                            std::to_string(RecordUnit(record)) +
                                            " does not belong to this solve: " + fault);
  const std::int64_t n = tracking.endPoints.rows();
  const RecordFields f = ReadFields(record, n);
  const auto u = static_cast<std::int64_t>(f.unit);
  UnitOutcome& o = tracking.outcomes[f.unit];
  o.cell = f.cell;
  o.startIndex = f.startIndex;
  o.steps = f.steps;
  o.status = static_cast<PathStatus>(f.status);
  o.blowUps = f.blowUps;
  o.windingNumber = f.windingNumber;
  o.valuation = f.valuation;
  if (o.recorded()) GetPoint(record, f.endPointAt, tracking.endPoints.col(u), n);
  if ((f.flags & kHasJumpCheckPoint) != 0) {
    GetPoint(record, f.checkPointAt, tracking.waypoints.col(u), n);
    tracking.hasWaypoint[f.unit] = 1;
  }
  if ((f.flags & kHasPolishedRoot) != 0) {
    std::vector<Complex>& polished = tracking.polished[f.unit];
    polished.resize(static_cast<std::size_t>(n));
    GetPoint(record, f.polishedAt, polished.data(), n);
  }
  tracking.counters.Count(o.recorded());
  return u;
}

}  // namespace zormix
