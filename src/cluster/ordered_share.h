// Independent pieces of work spread over the ranks of a job, their results gathered in order: the
// members of a family's sweep. Rank 0 hands out batches of pieces to every rank that asks (its
// own threads included) and hands the results on in the order of the pieces, so what it writes
// does not depend on the ranks or their threads.
#ifndef ZORMIX_CLUSTER_ORDERED_SHARE_H_
#define ZORMIX_CLUSTER_ORDERED_SHARE_H_

#include <cstdint>
#include <functional>
#include <string>

namespace zormix::cluster {

// Piece k's result as bytes; called on the threads of every rank, for each k once in the job.
using PieceWork = std::function<std::string(std::int64_t piece)>;

// Rank 0: runs work(0 .. count-1) over the job on `threads` threads of its own (>= 1) and calls
// take(k, result) on this thread for k = 0, 1, ... as soon as the results up to k are in. poll()
// is called on this thread between messages; what it throws ends the distribution (the caller
// then ends the job). A failure reported by a rank ends the job with its message.
void DistributeInOrder(std::int64_t count, int threads, const PieceWork& work,
                       const std::function<void(std::int64_t, std::string&&)>& take,
                       const std::function<void()>& poll);

// Every other rank: runs the batches rank 0 hands out on `threads` threads (>= 1) until none are
// left. Rank 0 ends the job afterwards (EndSharing).
void ServePieces(int threads, const PieceWork& work);

// Rank 0: `setup` to every other rank, before DistributeInOrder; the others wait for it without
// spinning, while rank 0 writes the start and reads the members.
void SendSetup(const std::string& setup);
std::string WaitForSetup();

// Rank 0, after the last piece: the other ranks may leave (WaitForEndOfSharing).
void EndSharing();
void WaitForEndOfSharing();

}  // namespace zormix::cluster

#endif  // ZORMIX_CLUSTER_ORDERED_SHARE_H_
