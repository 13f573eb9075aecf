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
#pragma once

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

  Expected<Status, SpkError> status() const;
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
};

}  // namespace quorvane
