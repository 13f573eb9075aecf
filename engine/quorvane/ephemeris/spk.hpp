// JPL SPK kernels (DAF files): the segment list, and Chebyshev records of
// data types 2 and 3 read from the file on demand.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/ephemeris/spk_error.hpp"
#include "quorvane/expected.hpp"

namespace quorvane {

// Where a kernel's bytes come from: an open file or a byte block. A file is
// mapped read-only when it opens, so concurrent readers copy from the
// mapping without a lock or a system call; reads beyond the mapped size
// (or of a file that could not be mapped) fall back to positional reads,
// each under the file's lock. A kernel file must not be truncated while it
// is open.
class Storage {
 public:
  // Opens a file read-only; the error is `Io` with the system's text.
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

 private:
  Storage() = default;

  int fd_ = -1;  // -1 for a memory block
  const uint8_t* map_ = nullptr;
  uint64_t map_size_ = 0;
  mutable uint64_t file_size_ = 0;
  mutable std::mutex mutex_;
  std::vector<uint8_t> bytes_;
};

struct Segment {
  std::string name;
  double start_et = 0.0;  // TDB seconds past J2000
  double end_et = 0.0;
  int64_t start_word = 0;
  // The Chebyshev directory; all 0 for data types other than 2 and 3.
  double init = 0.0;
  double intlen = 0.0;
  uint64_t rsize = 0;
  uint64_t n = 0;
  int32_t center = 0;
  int32_t target = 0;
  int32_t frame = 0;
  int32_t data_type = 0;
};

class Spk {
 public:
  static Expected<Spk, SpkError> load(std::unique_ptr<Storage> storage);
  static Expected<Spk, SpkError> open(const std::string& path);

  const std::vector<Segment>& segments() const { return segments_; }
  bool little_endian() const { return little_endian_; }

  // `count` words from word address `start_word` (1-based), in host order.
  Expected<std::vector<double>, SpkError> read_words(int64_t start_word, uint64_t count) const;
  // The same into caller storage of at least `count` doubles.
  Expected<Ok, SpkError> read_words_into(int64_t start_word, uint64_t count, double* out) const;

  // Target relative to centre at TDB = whole + fraction (Julian days):
  // x, y, z in km and vx, vy, vz in km/s, in the segment's frame.
  Expected<std::array<double, 6>, SpkError> segment_state_split(const Segment& segment,
                                                                double whole,
                                                                double fraction) const;

  // One record (MID, RADIUS, coefficient sets) at normalised time s.
  static std::array<double, 6> evaluate(uint64_t rsize, int32_t data_type,
                                        std::span<const double> words, double s);

 private:
  Spk() = default;

  std::unique_ptr<Storage> storage_;
  bool little_endian_ = true;
  std::vector<Segment> segments_;
};

// Bytes as UTF-8, each invalid sequence replaced by U+FFFD.
std::string decode_utf8_lossy(std::string_view bytes);

// A double as an unsigned count: truncated, negatives and NaN become 0,
// values too large saturate.
uint64_t saturating_u64(double value);

}  // namespace quorvane
