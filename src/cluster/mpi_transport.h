// The Transport of an MPI job: MPI_COMM_WORLD, sends that do not wait for the receiver.
#ifndef ZORMIX_CLUSTER_MPI_TRANSPORT_H_
#define ZORMIX_CLUSTER_MPI_TRANSPORT_H_

#include <mpi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cluster/transport.h"

namespace zormix::cluster {

// Sends without waiting for the receiver, so that the main thread keeps serving while a large
// message is under way (and sees a failure report instead of hanging on a rank that failed).
class MpiTransport : public Transport {
 public:
  MpiTransport();
  ~MpiTransport() override;

  int Rank() const override { return rank_; }
  int Size() const override { return size_; }
  void Send(int to, Tag tag, std::string bytes) override;
  std::optional<Message> Receive(Tag tag) override;
  bool SendsDone() override;

 private:
  struct Pending {
    std::unique_ptr<std::string> bytes;  // MPI reads it until the send completes
    MPI_Request request;
  };
  int rank_ = 0, size_ = 1;
  std::vector<Pending> pending_;
};

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_MPI_TRANSPORT_H_
