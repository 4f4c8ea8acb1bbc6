// The MEX function "zormix_decompose_mex": the decomposition of a system of any shape.
//
//   json = zormix_decompose_mex(TEXT, SEED, THREADS, TOP, MEMBER, PROGRESS)
//
// TEXT: the equations as one text (separated by ';' or line breaks); SEED: a decimal text, empty
// for fresh entropy; THREADS: 0 for one per core; TOP: the highest dimension, -1 for the default;
// MEMBER: points to test, one row each (points x n, real or complex), or []; PROGRESS: true for a
// line per second. Returns the JSON of `zormix decompose` (docs/decompose.schema.json), which the
// M-file zormix_decompose.m turns into a struct.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "decompose/decompose_json.h"
#include "frontend/front_end.h"
#include "gateway/host_interrupt.h"
#include "gateway/mex_support.h"
#include "mex.h"
#include "zormix/decompose.h"
#include "zormix/error.h"
#include "zormix/io.h"

namespace {

using namespace zormix;
using namespace zormix::gateway;

std::string lastJson;  // static: a host error ending the call leaks nothing

[[noreturn]] void Bad(const std::string& message) { throw Error(ErrorCode::kBadArgument, message); }

std::string Text(const mxArray* a, const char* what) {
  if (!mxIsChar(a) || mxGetM(a) > 1) Bad(std::string(what) + " must be a character row vector");
  std::vector<char> buffer(mxGetNumberOfElements(a) + 1, '\0');
  mxGetString(a, buffer.data(), buffer.size());
  return std::string(buffer.data());
}

double Scalar(const mxArray* a, const char* what) {
  if (!mxIsDouble(a) || mxIsComplex(a) || mxGetNumberOfElements(a) != 1 ||
      !std::isfinite(mxGetScalar(a)) || mxGetScalar(a) != std::floor(mxGetScalar(a))) {
    Bad(std::string(what) + " must be a real integer scalar");
  }
  return mxGetScalar(a);
}

std::vector<std::vector<Complex>> Points(const mxArray* a) {
  std::vector<std::vector<Complex>> points;
  if (mxIsEmpty(a)) return points;
  if (!mxIsDouble(a)) Bad("'member' must be a double matrix, one point a row");
  const std::size_t rows = mxGetM(a), cols = mxGetN(a);
  const double* re = mxGetPr(a);
  const double* im = mxIsComplex(a) ? mxGetPi(a) : nullptr;
  for (std::size_t r = 0; r < rows; ++r) {
    std::vector<Complex> point;
    for (std::size_t c = 0; c < cols; ++c)
      point.emplace_back(re[c * rows + r], im ? im[c * rows + r] : 0.0);
    points.push_back(std::move(point));
  }
  return points;
}

bool Run(const mxArray* prhs[]) {
  return Guarded("decomposing the system", [&] {
    lastJson.clear();
    const PolySystem system = ParseEquationsText(Text(prhs[0], "the equations"), "equations");
    DecomposeOptions options;
    const std::string seed = Text(prhs[1], "'seed'");
    if (!seed.empty()) options.seed = ParseSeed(seed, "'seed'");
    options.threads = static_cast<int>(Scalar(prhs[2], "'threads'"));
    const double top = Scalar(prhs[3], "'topDimension'");
    if (top >= 0) options.topDimension = static_cast<int>(top);
    const std::vector<std::vector<Complex>> points = Points(prhs[4]);
    for (const auto& point : points) {
      if (static_cast<int>(point.size()) != system.n)
        Bad("'member': each row must have one value per unknown (" + std::to_string(system.n) +
            ")");
    }
    options.interrupted = HostInterruptPending;
    if (mxIsLogicalScalarTrue(prhs[5])) {
      auto last = std::chrono::steady_clock::now() - std::chrono::seconds(2);
      options.progress = [last](const DecomposeProgress& p) mutable {
        const auto now = std::chrono::steady_clock::now();
        if (now - last < std::chrono::seconds(1)) return;
        last = now;
        mexPrintf("zormix_decompose: dimension %d: %s, %lld of %lld paths\n", p.dimension,
                  p.step.c_str(), static_cast<long long>(p.paths.pathsDone),
                  static_cast<long long>(p.paths.pathsTotal));
      };
    }
    const Decomposition d = Decompose(system, options);
    options.seed = d.seed;
    std::vector<std::vector<int>> membership;
    for (const auto& point : points)
      membership.push_back(ComponentsContaining(system, d, point, options));
    lastJson = DecompositionToJson(d, points, membership).dump();
  });
}

}  // namespace

ZORMIX_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 6) {
    mexErrMsgIdAndTxt(kWrongInputCountId,
                      "Six inputs (TEXT, SEED, THREADS, TOP, MEMBER, PROGRESS) required; call "
                      "zormix_decompose.");
  }
  if (nlhs > 1) mexErrMsgIdAndTxt(kWrongOutputCountId, "One output at most.");
  WatchTermination();
  const bool done = Run(prhs);
  EndTermination();
  if (!done) RaiseKeptError();
  plhs[0] = mxCreateString(lastJson.c_str());
  lastJson.clear();
  lastJson.shrink_to_fit();
}
