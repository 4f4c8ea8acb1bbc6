// A family's sweep over the ranks of an MPI job: rank 0 sends every rank the sweep's job, each
// member is solved on whichever rank takes it, and what the caller makes of each member comes back
// to rank 0 in member order, whatever the ranks and their threads.
#ifndef ZORMIX_CLUSTER_SWEEP_SHARE_H_
#define ZORMIX_CLUSTER_SWEEP_SHARE_H_

#include <functional>
#include <string>

#include "solve/sweep_job.h"
#include "zormix/sweep.h"

namespace zormix::cluster {

// What a rank sends back for a member: the caller's encoding of its result (a record, a table
// row), decoded again by the caller on rank 0.
using MemberEncoder = std::function<std::string(const MemberResult& member, bool wantRecord)>;

// The job as the bytes rank 0 sends, and back (the family parsed again from its text).
std::string EncodeSweepJob(const SweepJob& job);
SweepJob DecodeSweepJob(const std::string& bytes);

// Rank 0 of a job of several ranks: checks the sweep (CheckSweep), sends the job, solves the
// members over the ranks on job.options.threads threads each, and calls take(bytes) on this thread
// for every member in order. job.options.interrupted is polled between messages.
void SweepOverRanks(const SweepJob& job, const MemberEncoder& encode,
                    const std::function<void(std::string&& bytes)>& take);

// Every other rank: waits for rank 0's job and solves the members it hands out on `threads`
// threads (0: one per core).
void ServeSweepOverRanks(int threads, const MemberEncoder& encode);

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_SWEEP_SHARE_H_
