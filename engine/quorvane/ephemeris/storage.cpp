#include "quorvane/ephemeris/storage.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#include "quorvane/base/byte_order.hpp"
#include "quorvane/base/error.hpp"

namespace quorvane {
namespace {

// Records of real kernels are a few hundred bytes; a chart touches a few
// dozen of them and an election search a few hundred.
constexpr size_t kCachedReadBytes = 4096;
constexpr size_t kCacheEntries = 4096;

// Segment data kept in memory: chunks of at most this many bytes (a few
// dozen records of a planet: a chart over a cold store reads little more
// than it uses), and at most this much per file.
constexpr uint64_t kChunkBytes = 8 * 1024;
constexpr uint64_t kKeptBytes = 256 * 1024 * 1024;

// The text an OS error shows users: the system's message and its number.
std::string os_error_text(int code) {
  char buffer[256];
  const char* message = strerror_r(code, buffer, sizeof buffer);
  return format("%s (os error %d)", message, code);
}

SpkError read_past_end_of_file() { return SpkError::io("failed to fill whole buffer"); }

SpkError changed_on_disk() {
  return SpkError::io("the file changed on disk since it was opened");
}

}  // namespace

Expected<std::unique_ptr<Storage>, SpkError> Storage::open(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return unexpected(SpkError::io("file name contained an unexpected NUL byte"));
  }
  // Non-blocking, so that a FIFO without a writer (or a device) cannot hold
  // the open; it is refused below before anything is read from it.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return unexpected(SpkError::io(os_error_text(errno)));
  std::unique_ptr<Storage> storage(new Storage());
  storage->fd_ = fd;
  struct stat info;
  if (fstat(fd, &info) != 0) return unexpected(SpkError::io(os_error_text(errno)));
  if (S_ISDIR(info.st_mode)) return unexpected(SpkError::io(os_error_text(EISDIR)));
  if (!S_ISREG(info.st_mode)) return unexpected(SpkError::io("not a regular file"));
  auto status = storage->status();
  if (!status) return unexpected(std::move(status).error());
  storage->checked_status_ = *status;
  return storage;
}

std::unique_ptr<Storage> Storage::memory(std::vector<uint8_t> bytes) {
  std::unique_ptr<Storage> storage(new Storage());
  storage->bytes_ = std::move(bytes);
  return storage;
}

Storage::~Storage() {
  if (fd_ >= 0) ::close(fd_);
}

SpkError Storage::past_end() const {
  return fd_ >= 0 ? read_past_end_of_file() : SpkError::malformed("read past end of file");
}

Expected<Storage::Status, SpkError> Storage::status() const {
  struct stat info;
  if (fstat(fd_, &info) != 0) return unexpected(SpkError::io(os_error_text(errno)));
  const auto ns = [](const timespec& t) { return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; };
  return Status{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                static_cast<uint64_t>(info.st_size), ns(info.st_mtim), ns(info.st_ctim)};
}

bool Storage::contains(uint64_t offset, uint64_t length) const {
  uint64_t end;
  if (__builtin_add_overflow(offset, length, &end)) return false;
  if (fd_ < 0) return end <= bytes_.size();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (end <= checked_status_.size) return true;
  }
  // The file may have grown since it was opened.
  auto now = status();
  return now && end <= now->size;
}

Expected<Ok, SpkError> Storage::pread_exact(uint64_t offset, void* buffer, size_t length) const {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    const uint64_t at = offset + done;
    if (at < offset || at > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
      return unexpected(read_past_end_of_file());
    }
    ssize_t got = ::pread(fd_, out + done, length - done, static_cast<off_t>(at));
    if (got < 0) {
      if (errno == EINTR) continue;
      return unexpected(SpkError::io(os_error_text(errno)));
    }
    if (got == 0) return unexpected(read_past_end_of_file());
    done += static_cast<size_t>(got);
  }
  return Ok{};
}

Expected<Ok, SpkError> Storage::read_bytes(uint64_t offset, void* buffer, size_t length) const {
  if (fd_ < 0) {
    uint64_t end;
    if (__builtin_add_overflow(offset, static_cast<uint64_t>(length), &end) ||
        end > bytes_.size()) {
      return unexpected(past_end());
    }
    if (length) std::memcpy(buffer, bytes_.data() + offset, length);
    return Ok{};
  }
  if (!sealed_) {
    auto read = pread_exact(offset, buffer, length);
    if (!read) return read;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    pinned_.push_back({offset, std::vector<uint8_t>(bytes, bytes + length)});
    return Ok{};
  }
  if (length > kCachedReadBytes) return pread_exact(offset, buffer, length);

  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto found = cache_.find(offset); found != cache_.end() && found->second.size() == length) {
      std::memcpy(buffer, found->second.data(), length);
      return Ok{};
    }
    generation = generation_;
  }
  auto read = pread_exact(offset, buffer, length);
  if (!read) return read;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  std::vector<uint8_t> copy(bytes, bytes + length);
  std::lock_guard<std::mutex> lock(mutex_);
  // Bytes read across a change of contents are not kept.
  if (generation == generation_) {
    if (cache_.size() >= kCacheEntries) cache_.clear();
    cache_.insert_or_assign(offset, std::move(copy));
  }
  return Ok{};
}

uint32_t Storage::add_records(uint64_t offset, uint64_t record_words, uint64_t count,
                              bool little_endian) {
  uint64_t record_bytes, bytes;
  if (sealed_ || record_words == 0 || count == 0 ||
      __builtin_mul_overflow(record_words, 8, &record_bytes) || record_bytes > kChunkBytes ||
      __builtin_mul_overflow(record_bytes, count, &bytes) || !contains(offset, bytes) ||
      runs_.size() >= kNoRecords) {
    return kNoRecords;
  }
  Records run;
  run.offset = offset;
  run.record_words = record_words;
  run.count = count;
  run.swap = little_endian != (std::endian::native == std::endian::little);
  while ((record_bytes << (run.chunk_shift + 1)) <= kChunkBytes) ++run.chunk_shift;
  run.chunk_count = static_cast<size_t>(((count - 1) >> run.chunk_shift) + 1);
  run.chunks.reset(new std::atomic<const double*>[run.chunk_count]);
  for (size_t i = 0; i < run.chunk_count; ++i) run.chunks[i].store(nullptr, std::memory_order_relaxed);
  runs_.push_back(std::move(run));
  return static_cast<uint32_t>(runs_.size() - 1);
}

const double* Storage::load_chunk(const Records& run, uint64_t chunk) const {
  std::lock_guard<std::mutex> lock(loading_);
  if (const double* words = run.chunks[chunk].load(std::memory_order_acquire)) return words;
  const uint64_t first = chunk << run.chunk_shift;
  const uint64_t records = std::min<uint64_t>(uint64_t{1} << run.chunk_shift, run.count - first);
  const uint64_t words = records * run.record_words;
  if (chunk_bytes_ + 8 * words > kKeptBytes) return nullptr;
  std::unique_ptr<double[]> block(new (std::nothrow) double[words]);
  if (!block) return nullptr;
  const uint64_t offset = run.offset + 8 * first * run.record_words;
  if (fd_ >= 0) {
    if (!pread_exact(offset, block.get(), 8 * words)) return nullptr;
  } else {
    if (offset + 8 * words > bytes_.size()) return nullptr;
    std::memcpy(block.get(), bytes_.data() + offset, 8 * words);
  }
  if (run.swap) {
    auto* bytes = reinterpret_cast<const uint8_t*>(block.get());
    for (uint64_t i = 0; i < words; ++i) block[i] = load_f64(bytes + 8 * i, false);
  }
  chunk_bytes_ += 8 * words;
  const double* kept = block.get();
  chunk_memory_.push_back(std::move(block));
  run.chunks[chunk].store(kept, std::memory_order_release);
  return kept;
}

// The chunks stay allocated: a computation on another thread may still be
// reading one.
void Storage::drop_chunks() const {
  std::lock_guard<std::mutex> lock(loading_);
  for (const Records& run : runs_) {
    for (size_t i = 0; i < run.chunk_count; ++i) run.chunks[i].store(nullptr, std::memory_order_release);
  }
}

void Storage::seal() { sealed_ = true; }

bool Storage::index_reads_the_same() const {
  std::vector<uint8_t> now;
  for (const Pinned& read : pinned_) {
    now.resize(read.bytes.size());
    if (!pread_exact(read.offset, now.data(), now.size()) || now != read.bytes) return false;
  }
  return true;
}

Expected<uint64_t, SpkError> Storage::generation() const {
  if (fd_ < 0) return uint64_t{0};
  auto now = status();
  if (!now) return unexpected(std::move(now).error());
  // A file found changed is read again at every call: its times may not
  // move when it is put back within the clock's granularity.
  const auto settled = [&]() -> std::optional<uint64_t> {
    std::lock_guard<std::mutex> lock(mutex_);
    if (*now == checked_status_ && index_valid_) return generation_;
    return std::nullopt;
  };
  if (auto known = settled()) return *known;

  std::lock_guard<std::mutex> one_at_a_time(recheck_);
  if (auto known = settled()) return *known;  // accepted meanwhile by another call
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cache_.clear();
    ++generation_;
  }
  drop_chunks();
  const bool same = index_reads_the_same();
  std::lock_guard<std::mutex> lock(mutex_);
  checked_status_ = *now;
  index_valid_ = same;
  if (!same) return unexpected(changed_on_disk());
  return generation_;
}

}  // namespace quorvane
