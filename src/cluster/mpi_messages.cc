#include "cluster/mpi_messages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace zormix::cluster {
namespace {

// How long a failed rank waits for rank 0 to end the job before ending it itself.
constexpr auto kFailureGrace = std::chrono::seconds(30);

}  // namespace

int Rank() {
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  return rank;
}

int Size() {
  int size = 1;
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  return size;
}

[[noreturn]] void AbortJob(const std::string& message) {
  std::fprintf(stderr, "zormix: %s\n", message.c_str());
  std::fflush(stderr);
  MPI_Abort(MPI_COMM_WORLD, 1);
  std::abort();
}

void SendBytes(const std::string& bytes, int to, Tag tag) {
  MPI_Send(bytes.data(), static_cast<int>(bytes.size()), MPI_CHAR, to, tag, MPI_COMM_WORLD);
}

std::string ReceiveBytes(const MPI_Status& probed) {
  int count = 0;
  MPI_Get_count(&probed, MPI_CHAR, &count);
  std::string bytes(static_cast<std::size_t>(count), '\0');
  MPI_Recv(bytes.data(), count, MPI_CHAR, probed.MPI_SOURCE, probed.MPI_TAG, MPI_COMM_WORLD,
           MPI_STATUS_IGNORE);
  return bytes;
}

void Broadcast(std::string& bytes) {
  std::uint64_t size = bytes.size();
  MPI_Bcast(&size, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD);
  bytes.resize(size);
  MPI_Bcast(bytes.data(), static_cast<int>(size), MPI_CHAR, 0, MPI_COMM_WORLD);
}

std::string WaitForMessage(int tag) {
  int flag = 0;
  MPI_Status status;
  while (true) {
    MPI_Iprobe(0, tag, MPI_COMM_WORLD, &flag, &status);
    if (flag) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ReceiveBytes(status);
}

[[noreturn]] void ReportFailure(const std::string& message) {
  SendBytes(message, 0, kFailure);
  const auto deadline = Clock::now() + kFailureGrace;
  while (Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  AbortJob("rank " + std::to_string(Rank()) + " failed: " + message);
}

void AbortOnReportedFailure() {
  int flag = 0;
  MPI_Status status;
  MPI_Iprobe(MPI_ANY_SOURCE, kFailure, MPI_COMM_WORLD, &flag, &status);
  if (flag)
    AbortJob("rank " + std::to_string(status.MPI_SOURCE) + " failed: " + ReceiveBytes(status));
}

}  // namespace zormix::cluster
