#include "cluster/sweep_share.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <thread>

#include "cluster/ordered_share.h"
#include "zormix/error.h"

namespace zormix::cluster {
namespace {

int ThreadsOf(int threads) {
  return threads > 0 ? threads : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// Member k + 1 solved on whichever rank runs it: the same bits on every rank, from the seed.
PieceWork MemberWork(const SweepJob& job, const MemberEncoder& encode) {
  return [&job, &encode](std::int64_t k) {
    const MemberResult m = SolveMember(
        job.family, job.start, job.members[static_cast<std::size_t>(k)], k + 1, job.options);
    return encode(m, job.wantRecords);
  };
}

}  // namespace

std::string EncodeSweepJob(const SweepJob& job) {
  nlohmann::json members = nlohmann::json::array();
  for (const std::vector<Complex>& values : job.members) {
    nlohmann::json parts = nlohmann::json::array();
    for (const Complex& z : values) parts.push_back({z.real(), z.imag()});
    members.push_back(std::move(parts));
  }
  return nlohmann::json{{"text", job.text},
                        {"name", job.name},
                        {"start", FormatFamilyStart(job.start)},
                        {"members", members},
                        {"seed", *job.options.seed},
                        {"certify", job.options.certify},
                        {"records", job.wantRecords}}
      .dump();
}

SweepJob DecodeSweepJob(const std::string& bytes) {
  const nlohmann::json doc = nlohmann::json::parse(bytes);
  SweepJob job;
  job.text = doc.at("text").get<std::string>();
  job.name = doc.at("name").get<std::string>();
  job.family = ParseParametricText(job.text, job.name);
  job.start = ParseFamilyStart(doc.at("start").get<std::string>(), "the start of rank 0");
  for (const nlohmann::json& parts : doc.at("members")) {
    std::vector<Complex>& values = job.members.emplace_back();
    for (const nlohmann::json& z : parts)
      values.emplace_back(z[0].get<double>(), z[1].get<double>());
  }
  job.options.seed = doc.at("seed").get<std::uint64_t>();
  job.options.certify = doc.at("certify").get<bool>();
  job.wantRecords = doc.at("records").get<bool>();
  return job;
}

void SweepOverRanks(const SweepJob& job, const MemberEncoder& encode,
                    const std::function<void(std::string&& bytes)>& take) {
  CheckSweep(job.family, job.start, job.options);
  SendSetup(EncodeSweepJob(job));
  const auto poll = [&job] {
    if (job.options.interrupted && job.options.interrupted())
      throw Error(ErrorCode::kInterrupted, kInterruptedMessage);
  };
  DistributeInOrder(
      static_cast<std::int64_t>(job.members.size()), ThreadsOf(job.options.threads),
      MemberWork(job, encode), [&](std::int64_t, std::string&& bytes) { take(std::move(bytes)); },
      poll);
  EndSharing();
}

void ServeSweepOverRanks(int threads, const MemberEncoder& encode) {
  const SweepJob job = DecodeSweepJob(WaitForSetup());
  ServePieces(ThreadsOf(threads), MemberWork(job, encode));
  WaitForEndOfSharing();
}

}  // namespace zormix::cluster
