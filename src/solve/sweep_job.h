// Everything the members of a sweep need: the family (as written and as parsed), the start, the
// members' parameter values and the options. In an MPI job rank 0 sends it to every other rank
// (cluster/sweep_share.h).
#ifndef ZORMIX_SOLVE_SWEEP_JOB_H_
#define ZORMIX_SOLVE_SWEEP_JOB_H_

#include <string>
#include <vector>

#include "zormix/parametric.h"
#include "zormix/sweep.h"

namespace zormix {

struct SweepJob {
  std::string text, name;  // the family as written, and the name its messages give it
  ParametricSystem family;
  FamilyStart start;
  std::vector<std::vector<Complex>> members;
  SweepOptions options;
  bool wantRecords = false;  // the front end writes a record of each member
};

}  // namespace zormix

#endif  // ZORMIX_SOLVE_SWEEP_JOB_H_
