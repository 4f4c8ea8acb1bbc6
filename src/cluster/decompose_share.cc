#include "cluster/decompose_share.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <nlohmann/json.hpp>
#include <thread>

#include "cluster/branch_share.h"
#include "cluster/mpi_messages.h"
#include "cluster/mpi_transport.h"
#include "cluster/unit_share.h"
#include "decompose/decompose_with_runners.h"
#include "zormix/error.h"

namespace zormix::cluster {
namespace {

int ThreadsOf(int threads) {
  return threads > 0 ? threads : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// Complex numbers as the bits of their two doubles: the same values on every rank.
nlohmann::json PutComplex(const std::vector<Complex>& values) {
  nlohmann::json bits = nlohmann::json::array();
  for (const Complex& z : values) {
    bits.push_back(std::bit_cast<std::uint64_t>(z.real()));
    bits.push_back(std::bit_cast<std::uint64_t>(z.imag()));
  }
  return bits;
}

std::vector<Complex> GetComplex(const nlohmann::json& bits) {
  if (bits.size() % 2 != 0) throw Error(ErrorCode::kInternal, "damaged decomposition job");
  std::vector<Complex> values;
  for (std::size_t k = 0; k < bits.size(); k += 2) {
    values.emplace_back(std::bit_cast<double>(bits[k].get<std::uint64_t>()),
                        std::bit_cast<double>(bits[k + 1].get<std::uint64_t>()));
  }
  return values;
}

// Paths tracked per rank over every sharing of the job, for ZORMIX_JOB_SHARES.
class PathTally {
 public:
  explicit PathTally(int ranks) : paths_(static_cast<std::size_t>(ranks), 0) {}
  void Add(const std::vector<std::int64_t>& ran) {
    for (std::size_t r = 0; r < std::min(ran.size(), paths_.size()); ++r) paths_[r] += ran[r];
  }
  void Print() const {
    for (std::size_t r = 0; r < paths_.size(); ++r) {
      std::fprintf(stderr, "zormix: rank %zu tracked %lld paths of the decomposition\n", r,
                   static_cast<long long>(paths_[r]));
    }
  }

 private:
  std::vector<std::int64_t> paths_;
};

bool SharesWanted() {
  const char* value = std::getenv("ZORMIX_JOB_SHARES");
  return value && *value && std::strcmp(value, "0") != 0;
}

// Every tracking of the decomposition shared out over the ranks; rank 0 counts the paths each
// rank tracked into `tally` (null on the other ranks).
TrackingRunners SharedRunners(Transport& transport, int threads, PathTally* tally) {
  TrackingRunners runners;
  const auto units = [&transport, tally](int unitThreads) -> UnitRunner {
    return [&transport, tally, unitThreads](RouteTracking& tracking,
                                            const std::function<UnitFunction()>& makeWorker,
                                            const std::function<void()>& poll) {
      std::vector<std::int64_t> ran;
      ShareUnits(transport, unitThreads, tracking, makeWorker, poll, tally ? &ran : nullptr);
      if (tally) tally->Add(ran);
    };
  };
  runners.solves = [&transport, units](Checkpoint*, int solveThreads) {
    SolveRunners solve;
    solve.cellBranches = [&transport, solveThreads](const BranchJob& job,
                                                    std::vector<CellList>& found) {
      ShareBranches(transport, solveThreads, job, found);
    };
    solve.units = units(solveThreads);
    return solve;
  };
  runners.members = units(threads);
  return runners;
}

DecomposeOutcome Run(const DecomposeJob& job, const TrackingRunners& runners) {
  DecomposeOutcome out;
  out.decomposition = DecomposeWith(job.system, job.options, runners);
  for (const std::vector<Complex>& point : job.points) {
    out.membership.push_back(
        ComponentsContainingWith(job.system, out.decomposition, point, job.options, runners));
  }
  return out;
}

}  // namespace

std::string EncodeDecomposeJob(const DecomposeJob& job) {
  const PolySystem& s = job.system;
  nlohmann::json points = nlohmann::json::array();
  for (const std::vector<Complex>& point : job.points) points.push_back(PutComplex(point));
  const std::vector<std::int32_t> exponents(s.exponents.data(),
                                            s.exponents.data() + s.exponents.storage().size());
  return nlohmann::json{{"n", s.n},
                        {"term_count", s.termCount},
                        {"exponents", exponents},
                        {"coefficients", PutComplex(s.coefficients)},
                        {"names", s.variableNames},
                        {"seed", *job.options.seed},
                        {"top_dimension", job.options.topDimension.value_or(-1)},
                        {"points", points}}
      .dump();
}

DecomposeJob DecodeDecomposeJob(const std::string& bytes) {
  try {
    const nlohmann::json doc = nlohmann::json::parse(bytes);
    DecomposeJob job;
    PolySystem& s = job.system;
    s.n = doc.at("n").get<int>();
    s.termCount = doc.at("term_count").get<std::vector<std::int32_t>>();
    const auto exponents = doc.at("exponents").get<std::vector<std::int32_t>>();
    s.coefficients = GetComplex(doc.at("coefficients"));
    if (s.n <= 0 || exponents.size() != s.coefficients.size() * static_cast<std::size_t>(s.n))
      throw Error(ErrorCode::kInternal, "damaged decomposition job");
    s.exponents.Assign(s.n, static_cast<std::int64_t>(s.coefficients.size()));
    std::copy(exponents.begin(), exponents.end(), s.exponents.data());
    s.variableNames = doc.at("names").get<std::vector<std::string>>();
    job.options.seed = doc.at("seed").get<std::uint64_t>();
    if (const int top = doc.at("top_dimension").get<int>(); top >= 0)
      job.options.topDimension = top;
    for (const nlohmann::json& point : doc.at("points")) job.points.push_back(GetComplex(point));
    return job;
  } catch (const nlohmann::json::exception& e) {
    throw Error(ErrorCode::kInternal, std::string("damaged decomposition job: ") + e.what());
  }
}

DecomposeOutcome DecomposeOnRankZero(const DecomposeJob& job) {
  if (Size() == 1) return Run(job, TrackingRunners());
  std::string packed = EncodeDecomposeJob(job);
  Broadcast(packed);
  MpiTransport transport;
  PathTally tally(Size());
  DecomposeOutcome out = Run(job, SharedRunners(transport, ThreadsOf(job.options.threads), &tally));
  AbortOnReportedFailure();
  for (int rank = 1; rank < Size(); ++rank) SendBytes(std::string(), rank, kFinished);
  if (SharesWanted()) tally.Print();
  return out;
}

int ServeDecomposeOnRankZero(int threads) {
  try {
    std::string packed;
    Broadcast(packed);
    DecomposeJob job = DecodeDecomposeJob(packed);
    job.options.threads = threads;
    MpiTransport transport;
    Run(job, SharedRunners(transport, ThreadsOf(threads), nullptr));
    WaitForMessage(kFinished);
    return 0;
  } catch (const std::bad_alloc&) {
    ReportFailure("out of memory");
  } catch (const std::exception& e) {
    ReportFailure(e.what());
  }
}

}  // namespace zormix::cluster
