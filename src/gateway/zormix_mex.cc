// The MEX module "zormix": [nroots, npaths, stats, roots] = zormix(mode, zeros(1, n)) with the
// system in "PS.num" of the current folder. Every error carries an identifier (docs/errors.md);
// the environment gives the seed (ZORMIX_SEED), the threads (ZORMIX_THREADS, default all cores)
// and progress in the console (ZORMIX_PROGRESS=1; silent by default).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "base/random.h"
#include "frontend/front_end.h"
#include "gateway/host_interrupt.h"
#include "gateway/mex_support.h"
#include "mex.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace {

using zormix::gateway::Guarded;

// Fixed width of results 3 and 4, whatever the number of roots.
constexpr mwSize kRootCapacity = 500000;
// Results 3 and 4 together may take at most this many bytes: beyond it the host would run out of
// memory while creating them, after the solve, or be killed.
constexpr double kResultByteLimit = 2.0 * 1024 * 1024 * 1024;
constexpr const char* kSystemFile = "PS.num";
constexpr const char* kReportFile = "data.roots";
constexpr const char* kMemoryContext = "solving the system of \"PS.num\"";

// Input 1: a non-empty, real, non-sparse numeric array; its first element is the route selector.
double ReadMode(const mxArray* input) {
  if (!mxIsNumeric(input) || mxIsComplex(input) || mxIsSparse(input) || mxIsEmpty(input)) {
    throw zormix::Error(
        zormix::ErrorCode::kInvalidInput,
        "input 1 (the route selector) must be a non-empty real numeric array, such as 1 "
        "(polyhedral homotopy) or 2 (total-degree homotopy)");
  }
  return mxGetScalar(input);
}

// Everything a call needs that the arguments and the environment give, checked before the host's
// result matrices are created.
struct CallSetup {
  double mode = 0;
  mwSize hostColumns = 0;
};

void CheckColumns(const zormix::PolySystem& system, mwSize hostColumns) {
  if (static_cast<mwSize>(system.n) != hostColumns) {
    throw zormix::Error(zormix::ErrorCode::kInvalidInput,
                        "\"" + std::string(kSystemFile) + "\" has n = " + std::to_string(system.n) +
                            " variables, but input 2 has " + std::to_string(hostColumns) +
                            " columns; pass an array with one column per variable, e.g. zeros(1, " +
                            std::to_string(system.n) + ")");
  }
}

// Result 4 is n x 500000 complex (16 bytes a value), result 3 2 x 500000 real.
void CheckResultSize(int n) {
  const double bytes = (16.0 * n + 16.0) * static_cast<double>(kRootCapacity);
  if (bytes <= kResultByteLimit) return;
  char figure[64];
  std::snprintf(figure, sizeof figure, "%.1f GB", bytes / 1e9);
  throw zormix::Error(zormix::ErrorCode::kResultTooLarge,
                      "with n = " + std::to_string(n) + " variables the results of zormix take " +
                          figure +
                          " (n x 500000 complex roots), more than the limit of 2 GiB; "
                          "use zormix_solve, which returns only the roots found");
}

// Checks input 1, the environment, "PS.num" and input 2 against it. The system read here is
// dropped again: the host matrices are created only after every check passed.
bool PrepareCall(const mxArray* prhs[], CallSetup& setup) {
  return Guarded(kMemoryContext, [&] {
    setup.mode = ReadMode(prhs[0]);
    setup.hostColumns = mxGetN(prhs[1]);
    zormix::SeedFromEnvironment();
    zormix::ThreadsFromEnvironment();
    zormix::ProgressFromEnvironment();
    const zormix::PolySystem system = zormix::ReadSystemFile(kSystemFile);
    CheckColumns(system, setup.hostColumns);
    CheckResultSize(system.n);
  });
}

void CreateResults(mxArray* plhs[], mwSize hostColumns) {
  plhs[0] = mxCreateDoubleMatrix(1, 1, mxREAL);
  plhs[1] = mxCreateDoubleMatrix(1, 1, mxREAL);
  plhs[2] = mxCreateDoubleMatrix(2, kRootCapacity, mxREAL);
  plhs[3] = mxCreateDoubleMatrix(hostColumns, kRootCapacity, mxCOMPLEX);
}

void DestroyResults(mxArray* plhs[]) {
  for (int k = 0; k < 4; ++k) {
    if (plhs[k] != nullptr) mxDestroyArray(plhs[k]);
    plhs[k] = nullptr;
  }
}

// Copies the first min(rootCount, RootCapacity) roots and their statistics into the host matrices
// (which the host created filled with zeros; later columns stay 0).
void CopyResults(const zormix::SolveResult& result, mwSize hostColumns, mxArray* plhs[]) {
  const std::int64_t returned = std::min<std::int64_t>(result.rootCount, kRootCapacity);
  // The host's matrices are written through raw pointers: a result shorter than it claims must
  // not turn into a write past them or a read past the solver's arrays.
  const auto count = static_cast<std::size_t>(std::max<std::int64_t>(returned, 0));
  if (result.roots.rows() < static_cast<std::int64_t>(hostColumns) ||
      result.roots.cols() < returned || result.residuals.size() < count ||
      result.conditionNumbers.size() < count) {
    throw std::logic_error("the solver returned fewer roots or statistics than it counted");
  }
  mxGetPr(plhs[0])[0] = static_cast<double>(returned);
  mxGetPr(plhs[1])[0] = static_cast<double>(result.pathCount);
  double* stats = mxGetPr(plhs[2]);
  double* rootsRe = mxGetPr(plhs[3]);
  double* rootsIm = mxGetPi(plhs[3]);
  const std::size_t rows = hostColumns;
  for (std::int64_t j = 0; j < returned; ++j) {
    stats[2 * j] = result.residuals[static_cast<std::size_t>(j)];
    stats[2 * j + 1] = result.conditionNumbers[static_cast<std::size_t>(j)];
    for (std::size_t i = 0; i < rows; ++i) {
      const zormix::Complex value = result.roots(static_cast<std::int64_t>(i), j);
      rootsRe[i + j * rows] = value.real();
      rootsIm[i + j * rows] = value.imag();
    }
  }
}

// Reads and solves the system again (now for real) and fills the host matrices.
bool Solve(const CallSetup& setup, mxArray* plhs[]) {
  zormix::gateway::WatchTermination();
  const bool solved = Guarded(kMemoryContext, [&] {
    const zormix::PolySystem system = zormix::ReadSystemFile(kSystemFile);
    CheckColumns(system, setup.hostColumns);
    zormix::SolveOptions options;
    options.route = zormix::RouteFromMode(setup.mode);
    options.seed = zormix::SeedFromEnvironment();
    options.threads = zormix::ThreadsFromEnvironment().value_or(0);
    options.reportPath = kReportFile;
    // Unseeded calls continue the module's ran2 stream from call to call.
    options.carriedStream = &zormix::ModuleRandomStream();
    zormix::gateway::ConnectToHost(options, zormix::ProgressFromEnvironment());
    std::string why;
    if (!options.Validate(&why)) throw zormix::Error(zormix::ErrorCode::kInternal, why);
    const zormix::SolveResult result = zormix::SolveSystem(system, options);
    CopyResults(result, setup.hostColumns, plhs);
  });
  zormix::gateway::FlushConsole();
  zormix::gateway::EndTermination();
  return solved;
}

}  // namespace

ZORMIX_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 2) mexErrMsgIdAndTxt(zormix::gateway::kWrongInputCountId, "Two inputs required.");
  if (nlhs != 4) mexErrMsgIdAndTxt(zormix::gateway::kWrongOutputCountId, "Four outputs required.");
  for (int k = 0; k < 4; ++k) plhs[k] = nullptr;

  CallSetup setup;
  if (!PrepareCall(prhs, setup)) zormix::gateway::RaiseKeptError();
  CreateResults(plhs, setup.hostColumns);
  if (!Solve(setup, plhs)) {
    DestroyResults(plhs);
    zormix::gateway::RaiseKeptError();
  }
}
