// The MEX module "zormix": [nroots, npaths, stats, roots] = zormix(mode, zeros(1, n)) with the
// system in "PS.num" of the current folder.
//
// The host's error call (mexErrMsgTxt) never returns, and in MATLAB it does not unwind C++ frames.
// So every host call that may end the call (mexErrMsgTxt, mxCreateDoubleMatrix) is made from
// mexFunction's own frame while no C++ object with storage is alive: the solver runs inside
// try-scopes that catch everything, copy the message into a static buffer and close before the
// host hears of the failure.

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/gateway_options.h"
#include "mex.h"
#include "zormix/error.h"
#include "zormix/io.h"
#include "zormix/solve.h"

namespace {

// Fixed width of results 3 and 4, whatever the number of roots.
constexpr mwSize kRootCapacity = 500000;
constexpr const char* kSystemFile = "PS.num";
constexpr const char* kReportFile = "data.roots";

// The message handed to mexErrMsgTxt; static so that it outlives the scope that wrote it.
char errorMessage[2048];

// The solver's console lines, kept until the host thread prints them: a tracking thread must not
// call into the host.
std::mutex consoleMutex;
std::vector<std::string> consoleLines;

void KeepConsoleLine(std::string_view line) {
  std::lock_guard<std::mutex> lock(consoleMutex);
  consoleLines.emplace_back(line);
}

void FlushConsole() {
  std::vector<std::string> lines;
  {
    std::lock_guard<std::mutex> lock(consoleMutex);
    lines.swap(consoleLines);
  }
  for (const std::string& line : lines) mexPrintf("%s\n", line.c_str());
}

void KeepMessage(const std::string& text) {
  std::snprintf(errorMessage, sizeof(errorMessage), "%s", text.c_str());
}

// Input 1: a non-empty, real, non-sparse numeric array; its first element is the route selector.
double ReadMode(const mxArray* input) {
  if (!mxIsNumeric(input) || mxIsComplex(input) || mxIsSparse(input) || mxIsEmpty(input)) {
    throw zormix::Error(
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
    throw zormix::Error("\"" + std::string(kSystemFile) + "\" has n = " + std::to_string(system.n) +
                        " variables, but input 2 has " + std::to_string(hostColumns) +
                        " columns; pass an array with one column per variable, e.g. zeros(1, " +
                        std::to_string(system.n) + ")");
  }
}

// Runs body, turning every exception into the static message. Returns whether body succeeded.
template <typename Body>
bool Guarded(Body body) {
  try {
    body();
    return true;
  } catch (const zormix::Error& error) {
    KeepMessage(error.what());
  } catch (const std::bad_alloc&) {
    KeepMessage("out of memory while solving the system of \"" + std::string(kSystemFile) + "\"");
  } catch (const std::exception& error) {
    KeepMessage(std::string("internal error: ") + error.what());
  } catch (...) {
    KeepMessage("internal error of unknown kind");
  }
  return false;
}

// Checks input 1, the environment, "PS.num" and input 2 against it. The system read here is
// dropped again: the host matrices are created only after every check passed.
bool PrepareCall(const mxArray* prhs[], CallSetup& setup) {
  return Guarded([&] {
    setup.mode = ReadMode(prhs[0]);
    setup.hostColumns = mxGetN(prhs[1]);
    zormix::SeedFromEnvironment();
    zormix::ThreadsFromEnvironment();
    CheckColumns(zormix::ReadSystemFile(kSystemFile), setup.hostColumns);
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
      result.roots.cols() < returned || result.residues.size() < count ||
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
    stats[2 * j] = result.residues[static_cast<std::size_t>(j)];
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
  const bool solved = Guarded([&] {
    const zormix::PolySystem system = zormix::ReadSystemFile(kSystemFile);
    CheckColumns(system, setup.hostColumns);
    zormix::SolveOptions options;
    options.route = zormix::RouteFromMode(setup.mode);
    options.seed = zormix::SeedFromEnvironment();
    options.threads = zormix::ThreadsFromEnvironment();
    options.reportPath = kReportFile;
    options.console = KeepConsoleLine;
    const zormix::SolveResult result = zormix::SolveSystem(system, options);
    CopyResults(result, setup.hostColumns, plhs);
  });
  FlushConsole();
  return solved;
}

}  // namespace

// The one exported symbol of the module (the build gives everything else hidden visibility).
#if defined(__GNUC__)
#define ZORMIX_MEX_EXPORT __attribute__((visibility("default")))
#else
#define ZORMIX_MEX_EXPORT
#endif

ZORMIX_MEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 2) mexErrMsgTxt("Two inputs required.");
  if (nlhs != 4) mexErrMsgTxt("Four outputs required.");
  for (int k = 0; k < 4; ++k) plhs[k] = nullptr;

  CallSetup setup;
  if (!PrepareCall(prhs, setup)) mexErrMsgTxt(errorMessage);
  CreateResults(plhs, setup.hostColumns);
  if (!Solve(setup, plhs)) {
    DestroyResults(plhs);
    mexErrMsgTxt(errorMessage);
  }
}
