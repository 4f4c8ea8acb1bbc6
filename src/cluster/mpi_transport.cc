#include "cluster/mpi_transport.h"

#include <climits>
#include <utility>

#include "cluster/mpi_messages.h"
#include "zormix/error.h"

namespace zormix::cluster {

MpiTransport::MpiTransport() {
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

MpiTransport::~MpiTransport() {
  // A send still under way here belongs to a stage that failed, and the job is ending: its
  // buffer must outlive it.
  SendsDone();
  for (Pending& p : pending_) static_cast<void>(p.bytes.release());
}

void MpiTransport::Send(int to, Tag tag, std::string bytes) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX))
    throw Error(ErrorCode::kInternal, "a message of " + std::to_string(bytes.size()) +
                                          " bytes is more than one MPI message holds");
  pending_.push_back(Pending{std::make_unique<std::string>(std::move(bytes)), MPI_REQUEST_NULL});
  Pending& p = pending_.back();
  MPI_Isend(p.bytes->data(), static_cast<int>(p.bytes->size()), MPI_CHAR, to, tag, MPI_COMM_WORLD,
            &p.request);
}

std::optional<Message> MpiTransport::Receive(Tag tag) {
  SendsDone();
  MPI_Status status;
  int flag = 0;
  MPI_Iprobe(MPI_ANY_SOURCE, tag == kAnyTag ? MPI_ANY_TAG : tag, MPI_COMM_WORLD, &flag, &status);
  if (!flag) return std::nullopt;
  Message m;
  m.from = status.MPI_SOURCE;
  m.tag = status.MPI_TAG;
  m.bytes = ReceiveBytes(status);
  return m;
}

bool MpiTransport::SendsDone() {
  std::erase_if(pending_, [](Pending& p) {
    int done = 0;
    MPI_Test(&p.request, &done, MPI_STATUS_IGNORE);
    return done != 0;
  });
  return pending_.empty();
}

}  // namespace zormix::cluster
