#include "solve/checkpoint.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/atomic_file.h"
#include "base/hash.h"
#include "zormix/error.h"

#ifndef ZORMIX_VERSION
#error "ZORMIX_VERSION must name the program version"
#endif

namespace zormix {
namespace {

// The format stores the machine's bytes; every platform zormix is built for is little-endian.
static_assert(std::endian::native == std::endian::little);

constexpr char kMagic[8] = {'Z', 'M', 'X', 'C', 'K', 'P', 'T', '\0'};
constexpr std::uint32_t kFormatVersion = 2;
constexpr std::size_t kHeaderSize = 64;
constexpr std::size_t kVersionSize = 16;
constexpr std::size_t kRecordFixedSize = 32;  // unit .. blowUps, before the coordinates
// Flags after the end point: which of the two optional points the record carries.
constexpr std::uint32_t kHasJumpCheckPoint = 1;
constexpr std::uint32_t kHasPolishedRoot = 2;
constexpr std::int64_t kRecordsPerRead = 4096;

template <typename T>
void Put(std::string& out, T value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
T Get(const char* p, std::size_t offset) {
  T value;
  std::memcpy(&value, p + offset, sizeof value);
  return value;
}

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
  if (h.systemHash != id.systemHash || h.n != static_cast<std::uint32_t>(id.n))
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
  std::uint64_t h = Fnv1a(&system.n, sizeof system.n);
  h = Fnv1a(system.termCount.data(), system.termCount.size() * sizeof(std::int32_t), h);
  h = Fnv1a(system.exponents.data(), system.exponents.storage().size() * sizeof(std::int32_t), h);
  return Fnv1a(system.rawCoefficients.data(), system.rawCoefficients.size() * sizeof(Complex), h);
}

std::optional<std::uint64_t> CheckpointSeed(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    Refuse(path, std::string("cannot be read: ") + std::strerror(errno));
  }
  const std::string bytes = ReadHeaderBytes(fd);
  close(fd);
  if (bytes.empty()) return std::nullopt;
  return ParseHeader(path, bytes).seed;
}

namespace {

void PutPoint(std::string& out, const Complex* z, std::int64_t n) {
  for (std::int64_t k = 0; k < n; ++k) {
    Put<double>(out, z != nullptr ? z[k].real() : 0.0);
    Put<double>(out, z != nullptr ? z[k].imag() : 0.0);
  }
}

void GetPoint(const char* record, std::size_t at, Complex* z, std::int64_t n) {
  for (std::int64_t k = 0; k < n; ++k, at += 16)
    z[k] = Complex(Get<double>(record, at), Get<double>(record, at + 8));
}

}  // namespace

// Fixed part, end point, flags (u32 + u32 padding), the point at the jump check, the polished
// root, checksum.
std::size_t UnitRecordSize(int n) {
  return kRecordFixedSize + 3 * 16 * static_cast<std::size_t>(n) + 8 + 8;
}

void EncodeUnit(const RouteTracking& tracking, std::int64_t unit, std::string& out) {
  const std::size_t start = out.size();
  const UnitOutcome& o = tracking.outcomes[static_cast<std::size_t>(unit)];
  Put<std::uint64_t>(out, static_cast<std::uint64_t>(unit));
  Put<std::int32_t>(out, o.cell);
  Put<std::int32_t>(out, o.startIndex);
  Put<std::int32_t>(out, o.steps);
  Put<std::uint32_t>(out, static_cast<std::uint32_t>(o.status));
  Put<std::int64_t>(out, o.blowUps);
  const std::int64_t n = tracking.endPoints.rows();
  PutPoint(out, o.recorded() ? tracking.endPoints.col(unit) : nullptr, n);
  // The jump check and the polished roots are decided after every path is done: a path restored
  // from a record must bring what its tracking left for them.
  const auto u = static_cast<std::size_t>(unit);
  const bool hasCheck = !tracking.hasCheckpoint.empty() && tracking.hasCheckpoint[u] != 0;
  const std::vector<Complex>& polished = tracking.polished[u];
  const bool hasPolished = polished.size() == static_cast<std::size_t>(n);
  Put<std::uint32_t>(out,
                     (hasCheck ? kHasJumpCheckPoint : 0) | (hasPolished ? kHasPolishedRoot : 0));
  Put<std::uint32_t>(out, 0);
  PutPoint(out, hasCheck ? tracking.checkpoints.col(unit) : nullptr, n);
  PutPoint(out, hasPolished ? polished.data() : nullptr, n);
  Put<std::uint64_t>(out, Fnv1a(out.data() + start, out.size() - start));
}

bool RecordIntact(const char* record, int n) {
  const std::size_t body = UnitRecordSize(n) - 8;
  return Fnv1a(record, body) == Get<std::uint64_t>(record, body);
}

std::int64_t DecodeUnit(const char* record, RouteTracking& tracking) {
  const std::uint64_t unit = Get<std::uint64_t>(record, 0);
  const std::uint32_t status = Get<std::uint32_t>(record, 20);
  if (unit >= static_cast<std::uint64_t>(tracking.total) ||
      status >= static_cast<std::uint32_t>(kPathStatusCount))
    throw Error(ErrorCode::kCheckpoint, "checkpoint record of unit " + std::to_string(unit) +
                                            " does not belong to this solve of " +
                                            std::to_string(tracking.total) + " paths");
  const auto u = static_cast<std::int64_t>(unit);
  UnitOutcome& o = tracking.outcomes[unit];
  o.cell = Get<std::int32_t>(record, 8);
  o.startIndex = Get<std::int32_t>(record, 12);
  o.steps = Get<std::int32_t>(record, 16);
  o.status = static_cast<PathStatus>(status);
  o.blowUps = Get<std::int64_t>(record, 24);
  const std::int64_t n = tracking.endPoints.rows();
  const std::size_t point = 16 * static_cast<std::size_t>(n);
  if (o.recorded()) GetPoint(record, kRecordFixedSize, tracking.endPoints.col(u), n);
  const std::size_t flagsAt = kRecordFixedSize + point;
  const std::uint32_t flags = Get<std::uint32_t>(record, flagsAt);
  if ((flags & kHasJumpCheckPoint) != 0 && !tracking.hasCheckpoint.empty()) {
    GetPoint(record, flagsAt + 8, tracking.checkpoints.col(u), n);
    tracking.hasCheckpoint[unit] = 1;
  }
  if ((flags & kHasPolishedRoot) != 0) {
    std::vector<Complex>& polished = tracking.polished[unit];
    polished.resize(static_cast<std::size_t>(n));
    GetPoint(record, flagsAt + 8 + point, polished.data(), n);
  }
  tracking.counters.Count(o.recorded());
  return u;
}

Checkpoint::Checkpoint(std::string path, const CheckpointIdentity& identity)
    : path_(std::move(path)), n_(identity.n), lastFlush_(std::chrono::steady_clock::now()) {
  const std::optional<std::uint64_t> stored = CheckpointSeed(path_);
  if (!stored) {
    // The header appears whole or not at all.
    WriteFileAtomically(path_, EncodeHeader(identity), "checkpoint");
  }
  fd_ = open(path_.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
  if (fd_ < 0) Fail(std::string("cannot be opened: ") + std::strerror(errno));
  if (stored) CheckHeader(path_, ParseHeader(path_, ReadHeaderBytes(fd_)), identity);
}

Checkpoint::~Checkpoint() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {  // a destructor reports nothing; the records are tracked again on restart
  }
  close(fd_);
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
  std::int64_t kept = complete;
  for (std::int64_t first = 0; first < kept; first += kRecordsPerRead) {
    const std::int64_t count = std::min(kRecordsPerRead, kept - first);
    const off_t at = static_cast<off_t>(kHeaderSize + static_cast<std::size_t>(first) * size);
    if (ReadAt(fd_, buffer.data(), static_cast<std::size_t>(count) * size, at) !=
        static_cast<std::size_t>(count) * size)
      Fail("cannot be read");
    for (std::int64_t i = 0; i < count; ++i) {
      const char* record = buffer.data() + static_cast<std::size_t>(i) * size;
      if (!RecordIntact(record, n_)) {
        if (first + i != complete - 1)
          Fail("is damaged at record " + std::to_string(first + i + 1) + " of " +
               std::to_string(complete));
        kept = first + i;  // a write cut short: dropped, its unit tracked again
        break;
      }
      const std::int64_t unit = DecodeUnit(record, tracking);
      if (done[static_cast<std::size_t>(unit)])
        Fail("holds unit " + std::to_string(unit) + " twice");
      done[static_cast<std::size_t>(unit)] = 1;
    }
  }
  const off_t end = static_cast<off_t>(kHeaderSize + static_cast<std::size_t>(kept) * size);
  if (fileSize > end && ftruncate(fd_, end) != 0)
    Fail(std::string("cannot be repaired: ") + std::strerror(errno));
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
  std::size_t written = 0;
  while (written < pending_.size()) {
    const ssize_t w = write(fd_, pending_.data() + written, pending_.size() - written);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) Fail(std::string("cannot be written: ") + std::strerror(errno));
    written += static_cast<std::size_t>(w);
  }
  if (written > 0) fdatasync(fd_);
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
