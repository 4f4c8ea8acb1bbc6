#include "zormix/types.h"

namespace zormix {
namespace {

struct RouteNames {
  Route route;
  const char* name;
  const char* hostName;
};
constexpr RouteNames kRouteNames[] = {
    {Route::kPolyhedral, "polyhedral", "polyhedral"},
    {Route::kTotalDegree, "total-degree", "totaldegree"},
};

const RouteNames& NamesOf(Route route) {
  for (const RouteNames& names : kRouteNames)
    if (names.route == route) return names;
  return kRouteNames[0];
}

}  // namespace

const char* RouteName(Route route) { return NamesOf(route).name; }
const char* HostRouteName(Route route) { return NamesOf(route).hostName; }

std::optional<Route> RouteNamed(std::string_view name) {
  for (const RouteNames& names : kRouteNames)
    if (name == names.name || name == names.hostName) return names.route;
  return std::nullopt;
}

const char* StageName(Stage stage) {
  switch (stage) {
    case Stage::kReading:
      return "reading";
    case Stage::kMixedCells:
      return "mixed cells";
    case Stage::kTracking:
      return "tracking";
    case Stage::kReport:
      return "report";
  }
  return "";
}

const char* PathStatusName(PathStatus status) {
  switch (status) {
    case PathStatus::kReached:
      return "reached";
    case PathStatus::kRescued:
      return "rescued";
    case PathStatus::kJumped:
      return "jumped";
    case PathStatus::kRetrackFailed:
      return "retrack_failed";
    case PathStatus::kDiverged:
      return "diverged";
    case PathStatus::kSingularEnd:
      return "singular_end";
    case PathStatus::kStepUnderflow:
      return "step_underflow";
    case PathStatus::kStepLimit:
      return "step_limit";
    case PathStatus::kRefusedAtTarget:
      return "refused_at_target";
    case PathStatus::kPolished:
      return "polished";
    case PathStatus::kEndGame:
      return "end_game";
    case PathStatus::kSharedSimpleRoot:
      return "shared_simple_root";
    case PathStatus::kSurplusAtRoot:
      return "surplus_at_root";
  }
  return "unknown";
}

}  // namespace zormix
