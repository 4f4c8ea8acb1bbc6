// The blocking messages of a job and the end of a job that failed, shared by the solve's stages
// and the sweep of a family over the ranks.
#ifndef ZORMIX_CLUSTER_MPI_MESSAGES_H_
#define ZORMIX_CLUSTER_MPI_MESSAGES_H_

#include <mpi.h>

#include <chrono>
#include <string>

#include "cluster/transport.h"

namespace zormix::cluster {

using Clock = std::chrono::steady_clock;

// The main thread of a rank that serves others sleeps this long when nothing happened, and rank 0
// polls for an interrupt at this interval.
inline constexpr auto kIdleWait = std::chrono::milliseconds(1);
inline constexpr auto kPollInterval = std::chrono::milliseconds(100);

int Rank();
int Size();

// Prints the message and ends every process of the job.
[[noreturn]] void AbortJob(const std::string& message);

void SendBytes(const std::string& bytes, int to, Tag tag);
// Receives the message that MPI_Iprobe found.
std::string ReceiveBytes(const MPI_Status& probed);

// Rank 0's `bytes` on every rank (a collective call: every rank of the job makes it).
void Broadcast(std::string& bytes);

// The next message with `tag` from rank 0, waited for without spinning (a blocking receive would
// busy-poll a core that rank 0 may need).
std::string WaitForMessage(int tag);

// A rank's error: sent to rank 0, which prints it and ends the job; ends the job itself when rank
// 0 has not done so within a grace period.
[[noreturn]] void ReportFailure(const std::string& message);

// A failure message that reached rank 0 after it stopped listening still ends the job.
void AbortOnReportedFailure();

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_MPI_MESSAGES_H_
