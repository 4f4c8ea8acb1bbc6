// Messages between the processes of a job, as the stages that share work see them: MPI in the
// job, queues between threads in the tests.
#ifndef ZORMIX_CLUSTER_TRANSPORT_H_
#define ZORMIX_CLUSTER_TRANSPORT_H_

#include <optional>
#include <string>

namespace zormix::cluster {

// What a message is about. The tags of one stage are only sent while that stage runs.
enum Tag : int {
  kAnyTag = -1,
  // first tracking
  kRequest = 1,  // rank -> 0: hand me units (empty)
  kWork,         // 0 -> rank: units to track (int64 indices); none left when empty
  kResults,      // rank -> 0: checkpoint records of finished units
  kFailure,      // rank -> 0: the message of an error that ends the job
  kFinished,     // 0 -> rank: the solve is done, finalize
  // mixed-cell search
  kBranchRequest,  // rank -> 0: int64, how many branches its threads can take now
  kBranches,       // 0 -> rank: branches to run (int64 indices); none left when empty
  kBranchCells,    // rank -> 0: the cells of branches it ran
  kCells,          // 0 -> rank: the cells of branches other ranks ran
  // sweep of a family (also kRequest, kWork, kResults, kFailure, kFinished)
  kSetup,  // 0 -> rank: what every member needs (the family, its start, the members, the options)
  // paths shared by every rank (a decomposition; also kRequest, kWork, kResults, kFailure)
  kUnits,  // 0 -> rank: the records of the units other ranks tracked
};

struct Message {
  int from = 0;
  int tag = 0;
  std::string bytes;
};

class Transport {
 public:
  virtual ~Transport() = default;
  virtual int Rank() const = 0;
  virtual int Size() const = 0;
  // Starts sending `bytes` to rank `to` and returns without waiting for the receiver.
  virtual void Send(int to, Tag tag, std::string bytes) = 0;
  // The next message with `tag` (any with kAnyTag) that has arrived from any rank, or nullopt.
  // Messages from one rank with one tag arrive in the order sent.
  virtual std::optional<Message> Receive(Tag tag) = 0;
  // True once every message sent so far has been received.
  virtual bool SendsDone() = 0;
};

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_TRANSPORT_H_
