#include "solve/checkpoint.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/file_lock.h"
#include "base/hash.h"
#include "zormix/error.h"

#ifndef ZORMIX_VERSION
#error "ZORMIX_VERSION must name the program version"
#endif

namespace zormix {
namespace {

using checkpoint_bytes::Get;
using checkpoint_bytes::Put;

constexpr char kMagic[8] = {'Z', 'M', 'X', 'C', 'K', 'P', 'T', '\0'};
constexpr std::uint32_t kFormatVersion = 3;
constexpr std::size_t kHeaderSize = 64;
constexpr std::size_t kVersionSize = 16;
constexpr std::int64_t kRecordsPerRead = 4096;

std::string VersionField() {
  std::string version = ZORMIX_VERSION;
  version.resize(kVersionSize, '\0');
  return version;
}

std::string EncodeHeader(const CheckpointIdentity& id) {
  std::string h(kMagic, sizeof kMagic);
  Put<std::uint32_t>(h, kFormatVersion);
  Put<std::uint32_t>(h, id.route == Route::kTotalDegree ? 1 : 0);
  Put<std::uint32_t>(h, static_cast<std::uint32_t>(id.n));
  Put<std::uint32_t>(h, static_cast<std::uint32_t>(UnitRecordSize(id.n)));
  Put<std::uint64_t>(h, id.seed);
  Put<std::uint64_t>(h, id.systemHash);
  h += VersionField();
  Put<std::uint64_t>(h, Fnv1a(h.data(), h.size()));
  return h;
}

const char* RouteName(std::uint32_t route) {
  return route == 1 ? "the total-degree route" : "the polyhedral route";
}

std::string Hex(std::uint64_t value) {
  char text[19];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw Error(ErrorCode::kCheckpoint, "checkpoint " + path + " " + why);
}

// The header's fields as stored; the checks below name the first one that differs.
struct StoredHeader {
  std::uint32_t format, route, n, recordSize;
  std::uint64_t seed, systemHash;
  std::string version;
};

StoredHeader ParseHeader(const std::string& path, const std::string& bytes) {
  if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    Refuse(path, "is not a zormix checkpoint");
  if (bytes.size() < kHeaderSize ||
      Fnv1a(bytes.data(), kHeaderSize - 8) != Get<std::uint64_t>(bytes.data(), kHeaderSize - 8))
    Refuse(path, "has a damaged header");
  const char* p = bytes.data();
  StoredHeader h{Get<std::uint32_t>(p, 8),         Get<std::uint32_t>(p, 12),
                 Get<std::uint32_t>(p, 16),        Get<std::uint32_t>(p, 20),
                 Get<std::uint64_t>(p, 24),        Get<std::uint64_t>(p, 32),
                 std::string(p + 40, kVersionSize)};
  h.version.resize(std::strlen(h.version.c_str()));
  return h;
}

void CheckHeader(const std::string& path, const StoredHeader& h, const CheckpointIdentity& id) {
  const std::string ours = ZORMIX_VERSION;
  if (h.format != kFormatVersion)
    Refuse(path, "has checkpoint format " + std::to_string(h.format) + ", this zormix " + ours +
                     " reads format " + std::to_string(kFormatVersion) +
                     "; resume it with the version that wrote it or remove it");
  if (h.version != ours)
    Refuse(path, "was written by zormix " + h.version + ", this is zormix " + ours +
                     "; resume it with that version or remove it");
  if (h.n != static_cast<std::uint32_t>(id.n))
    Refuse(path, "belongs to another system (" + std::to_string(h.n) + " variables, this one has " +
                     std::to_string(id.n) + ")");
  if (h.systemHash != id.systemHash)
    Refuse(path, "belongs to another system (system hash " + Hex(h.systemHash) +
                     ", this system's " + Hex(id.systemHash) + ")");
  if (h.seed != id.seed)
    Refuse(path,
           "was written with seed " + std::to_string(h.seed) + ", not " + std::to_string(id.seed));
  const std::uint32_t route = id.route == Route::kTotalDegree ? 1 : 0;
  if (h.route != route)
    Refuse(path,
           std::string("was written on ") + RouteName(h.route) + ", not on " + RouteName(route));
  if (h.recordSize != UnitRecordSize(id.n)) Refuse(path, "has a damaged header");
}

// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
std::size_t ReadAt(int fd, char* buffer, std::size_t size, off_t offset) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t r = pread(fd, buffer + got, size - got, offset + static_cast<off_t>(got));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

// Writes `size` bytes at `offset`; fewer only when a write fails (errno tells why).
std::size_t WriteAt(int fd, const char* data, std::size_t size, off_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t w = pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<std::size_t>(w);
  }
  return done;
}

// Opens `path` for `flags` without waiting on a FIFO, and refuses anything but a regular file.
// -1 (errno set) when it cannot be opened.
int OpenRegularFile(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return fd;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    Refuse(path, "is not a regular file; a checkpoint must be one");
  }
  return fd;
}

// Takes the lock `operation` (LOCK_SH, LOCK_EX) on `fd` at once, or refuses the file naming the
// process that holds it. Closes fd when refusing.
void LockOrRefuse(int fd, int operation, const std::string& path) {
  if (flock(fd, operation | LOCK_NB) == 0) return;
  const int error = errno;
  const long holder = error == EWOULDBLOCK ? FlockHolder(fd) : 0;
  close(fd);
  if (error != EWOULDBLOCK) Refuse(path, std::string("cannot be locked: ") + std::strerror(error));
  Refuse(path,
         "is in use by " +
             (holder > 0 ? "process " + std::to_string(holder) : std::string("another process")) +
             ", which is solving with it; wait for it to end or give another file");
}

std::string ReadHeaderBytes(int fd) {
  std::string bytes(kHeaderSize, '\0');
  bytes.resize(ReadAt(fd, bytes.data(), kHeaderSize, 0));
  return bytes;
}

off_t FileSize(int fd) {
  struct stat s {};
  return fstat(fd, &s) == 0 ? s.st_size : -1;
}

}  // namespace

std::uint64_t SystemHash(const NormalForm& system) {
  std::uint64_t h = Fnv1a(&system.scaled.n, sizeof system.scaled.n);
  h = Fnv1a(system.scaled.termCount.data(), system.scaled.termCount.size() * sizeof(std::int32_t),
            h);
  h = Fnv1a(system.scaled.exponents.data(),
            system.scaled.exponents.storage().size() * sizeof(std::int32_t), h);
  return Fnv1a(system.rawCoefficients.data(), system.rawCoefficients.size() * sizeof(Complex), h);
}

std::optional<std::uint64_t> CheckpointSeed(const std::string& path) {
  const int fd = OpenRegularFile(path, O_RDONLY);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    Refuse(path, std::string("cannot be read: ") + std::strerror(errno));
  }
  LockOrRefuse(fd, LOCK_SH, path);  // a header being written is read only once it is whole
  const std::string bytes = ReadHeaderBytes(fd);
  close(fd);
  if (bytes.empty()) return std::nullopt;
  return ParseHeader(path, bytes).seed;
}

Checkpoint::Checkpoint(std::string path, const CheckpointIdentity& identity)
    : path_(std::move(path)),
      n_(identity.n),
      layout_(identity.route == Route::kTotalDegree ? UnitLayout::TotalDegree()
                                                    : UnitLayout::Unknown()),
      lastFlush_(std::chrono::steady_clock::now()) {
  OpenAndLock();
  try {
    const std::string header = ReadHeaderBytes(fd_);
    if (header.empty()) {
      // A new file: no one sees it half written, since every reader takes the lock first.
      pending_ = EncodeHeader(identity);
      FlushLocked();
    } else {
      CheckHeader(path_, ParseHeader(path_, header), identity);
    }
    end_ = FileSize(fd_);
  } catch (...) {
    close(fd_);
    throw;
  }
}

Checkpoint::~Checkpoint() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {  // a destructor reports nothing; the records are tracked again on restart
  }
  close(fd_);  // releases the lock
}

void Checkpoint::OpenAndLock() {
  const int fd = OpenRegularFile(path_, O_RDWR | O_CREAT);
  if (fd < 0) Fail(std::string("cannot be opened: ") + std::strerror(errno));
  LockOrRefuse(fd, LOCK_EX, path_);
  fd_ = fd;
}

void Checkpoint::ExpectCells(const std::vector<std::int64_t>& cellVolumes) {
  layout_ = UnitLayout::Cells(cellVolumes);
}

std::vector<std::int64_t> Checkpoint::Restore(RouteTracking& tracking) {
  const std::size_t size = UnitRecordSize(n_);
  const off_t fileSize = FileSize(fd_);
  const std::int64_t complete =
      fileSize < static_cast<off_t>(kHeaderSize)
          ? 0
          : static_cast<std::int64_t>((static_cast<std::size_t>(fileSize) - kHeaderSize) / size);
  std::vector<char> done(static_cast<std::size_t>(tracking.total), 0);
  std::vector<char> buffer(size * kRecordsPerRead);
  std::string again;
  std::int64_t read = complete, kept = 0;
  const auto offsetOf = [&](std::int64_t record) {
    return static_cast<off_t>(kHeaderSize + static_cast<std::size_t>(record) * size);
  };
  const auto where = [&](std::int64_t record) {
    return "record " + std::to_string(record + 1) + " of " + std::to_string(complete);
  };
  for (std::int64_t first = 0; first < read; first += kRecordsPerRead) {
    const std::int64_t count = std::min(kRecordsPerRead, read - first);
    if (ReadAt(fd_, buffer.data(), static_cast<std::size_t>(count) * size, offsetOf(first)) !=
        static_cast<std::size_t>(count) * size)
      Fail("cannot be read");
    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t index = first + i;
      const char* record = buffer.data() + static_cast<std::size_t>(i) * size;
      if (!RecordIntact(record, n_)) {
        if (index != complete - 1) Fail("is damaged at " + where(index));
        read = index;  // a write cut short: dropped, its unit tracked again
        break;
      }
      const std::string fault = RecordFault(record, tracking, layout_);
      if (!fault.empty()) Fail("holds an impossible " + where(index) + ": " + fault);
      const std::uint64_t unit = RecordUnit(record);
      if (done[unit]) {
        // The same bytes twice: the file is repaired by leaving the copy out.
        again.clear();
        EncodeUnit(tracking, static_cast<std::int64_t>(unit), again);
        if (std::memcmp(again.data(), record, size) != 0)
          Fail("holds unit " + std::to_string(unit) + " twice, differently, the second time at " +
               where(index));
        continue;
      }
      DecodeUnit(record, tracking, layout_);
      done[unit] = 1;
      // Records after a dropped copy move down over it; a crash while they do leaves copies of
      // whole records only, which the next restore drops again.
      if (kept != index && WriteAt(fd_, record, size, offsetOf(kept)) != size)
        Fail(std::string("cannot be repaired: ") + std::strerror(errno));
      ++kept;
    }
  }
  end_ = offsetOf(kept);
  if (fileSize > end_ && (ftruncate(fd_, end_) != 0 || fdatasync(fd_) != 0))
    Fail(std::string("cannot be repaired: ") + std::strerror(errno));
  restoredPaths_ = kept;
  std::vector<std::int64_t> todo;
  for (std::int64_t u = 0; u < tracking.total; ++u)
    if (!done[static_cast<std::size_t>(u)]) todo.push_back(u);
  return todo;
}

void Checkpoint::Append(std::string_view records) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.append(records);
  if (std::chrono::steady_clock::now() - lastFlush_ >= kFlushInterval) FlushLocked();
}

void Checkpoint::FlushIfDue() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!pending_.empty() && std::chrono::steady_clock::now() - lastFlush_ >= kFlushInterval)
    FlushLocked();
}

void Checkpoint::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushLocked();
}

void Checkpoint::FlushLocked() {
  lastFlush_ = std::chrono::steady_clock::now();
  if (pending_.empty()) return;
  const std::size_t written = WriteAt(fd_, pending_.data(), pending_.size(), end_);
  end_ += static_cast<off_t>(written);
  if (written != pending_.size()) Fail(std::string("cannot be written: ") + std::strerror(errno));
  fdatasync(fd_);
  pending_.clear();
}

void Checkpoint::Fail(const std::string& what) const { Refuse(path_, what); }

UnitRunner CheckpointRunner(Checkpoint& checkpoint, int threads) {
  return [&checkpoint, threads](RouteTracking& tracking,
                                const std::function<UnitFunction()>& makeWorker,
                                const std::function<void()>& poll) {
    const std::vector<std::int64_t> todo = checkpoint.Restore(tracking);
    auto makeSavingWorker = [&]() -> UnitFunction {
      UnitFunction work = makeWorker();
      return [&, work](std::int64_t i) {
        const std::int64_t unit = todo[static_cast<std::size_t>(i)];
        work(unit);
        std::string record;
        EncodeUnit(tracking, unit, record);
        checkpoint.Append(record);
      };
    };
    RunUnitsInParallel(static_cast<std::int64_t>(todo.size()), threads, makeSavingWorker, [&] {
      checkpoint.FlushIfDue();
      poll();
    });
    checkpoint.Flush();
  };
}

}  // namespace zormix
