// Where a kernel's bytes come from: an open file or a byte block.
//
// A file is never mapped: a mapped file that is truncated or rewritten
// while it is open kills the process on the next touch of a lost page.
// Reads are positional (`pread`), which can only fail with an error, and
// the records a chart asks for again and again are kept in a small cache
// so that a chart costs few system calls.
//
// The file's status (device, inode, size, times) is remembered when the
// kernel's index has been read. `generation` compares it once per call:
// a file that changed is accepted again only if the bytes the index was
// read from still read the same (the cache is dropped then); otherwise
// every call fails, re-reading them, until the file is back.
//
// The data of a Chebyshev segment (a run of equal records) is kept in
// memory in host byte order, read in chunks of up to 8 KiB on first need
// and shared by every call and thread: a lookup is an atomic load, with no
// lock and no system call. A file found changed drops the chunks (a
// computation still running keeps reading the ones it holds, and its call
// fails on its closing check). Memory: a file's chunks, dropped ones
// included, stay under 256 MiB (DE440 whole is 114 MB, so it stays whole
// through one accepted rewrite); past that, records are read one by one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "quorvane/base/expected.hpp"
#include "quorvane/base/spk_error.hpp"

namespace quorvane {

class Storage {
 public:
  // Opens a regular file read-only without blocking (a FIFO or a device is
  // refused before any read); the error is `Io` with the system's text.
  static Expected<std::unique_ptr<Storage>, SpkError> open(const std::string& path);
  static std::unique_ptr<Storage> memory(std::vector<uint8_t> bytes);

  ~Storage();
  Storage(const Storage&) = delete;
  Storage& operator=(const Storage&) = delete;

  // Exactly `length` bytes from byte `offset`.
  Expected<Ok, SpkError> read_bytes(uint64_t offset, void* buffer, size_t length) const;

  // Whether [offset, offset + length) lies inside the data; a read that
  // fails this check would fail anyway, so callers use it to refuse huge
  // requests before allocating for them.
  bool contains(uint64_t offset, uint64_t length) const;
  // The error a read past the end gives.
  SpkError past_end() const;

  // Ends the index: the reads made so far are the ones a changed file must
  // still read the same for `generation` to accept it.
  void seal();

  // Registers `count` records of `record_words` doubles from byte `offset`
  // (before seal); the run's number, or kNoRecords when the run does not lie
  // inside the data or its records are too large to keep.
  static constexpr uint32_t kNoRecords = UINT32_MAX;
  uint32_t add_records(uint64_t offset, uint64_t record_words, uint64_t count, bool little_endian);

  // The words of record `index` of run `run` in host order, or null when
  // they cannot be kept (memory bound reached, a read failed): the caller
  // then reads the record itself, which gives the error if there is one.
  const double* record(uint32_t run, uint64_t index) const {
    const Records& records = runs_[run];
    const uint64_t chunk = index >> records.chunk_shift;
    const double* words = records.chunks[chunk].load(std::memory_order_acquire);
    if (!words) words = load_chunk(records, chunk);
    if (!words) return nullptr;
    return words + (index - (chunk << records.chunk_shift)) * records.record_words;
  }

  // Checks the file against its status when sealed (one fstat); the number
  // of times its contents were accepted anew, which a caller compares
  // before and after a computation. A memory block never changes.
  Expected<uint64_t, SpkError> generation() const;

 private:
  Storage() = default;

  struct Status {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modified_ns = 0, changed_ns = 0;
    bool operator==(const Status&) const = default;
  };
  struct Pinned {
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };

  struct Records {
    uint64_t offset = 0, record_words = 0, count = 0;
    bool swap = false;  // file order is not the host's
    unsigned chunk_shift = 0;  // 2^chunk_shift records a chunk
    std::unique_ptr<std::atomic<const double*>[]> chunks;
    size_t chunk_count = 0;
  };

  Expected<Status, SpkError> status() const;
  const double* load_chunk(const Records& records, uint64_t chunk) const;
  void drop_chunks() const;
  Expected<Ok, SpkError> pread_exact(uint64_t offset, void* buffer, size_t length) const;
  // Whether every pinned read still gives its bytes.
  bool index_reads_the_same() const;

  int fd_ = -1;  // -1 for a memory block
  std::vector<uint8_t> bytes_;

  // Reads before seal(), in order. Loading is single-threaded and ends
  // with seal(); after it they are only read.
  mutable std::vector<Pinned> pinned_;
  mutable bool sealed_ = false;

  mutable std::mutex mutex_;  // guards the four below
  mutable Status checked_status_;  // the status the index was last checked at
  mutable bool index_valid_ = true;  // whether it read the same then
  mutable uint64_t generation_ = 0;
  mutable std::unordered_map<uint64_t, std::vector<uint8_t>> cache_;  // offset -> bytes
  mutable std::mutex recheck_;  // one re-reading of the index at a time

  std::vector<Records> runs_;  // fixed after seal(); their chunk pointers change
  mutable std::mutex loading_;  // guards the two below and the writing of chunk pointers
  mutable std::vector<std::unique_ptr<double[]>> chunk_memory_;  // every chunk ever read
  mutable uint64_t chunk_bytes_ = 0;
};

}  // namespace quorvane
