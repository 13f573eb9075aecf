// JPL SPK kernels (DAF files): the segment list, and Chebyshev records of
// data types 2 and 3 read from the kernel's storage on demand.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/expected.hpp"
#include "quorvane/base/spk_error.hpp"
#include "quorvane/ephemeris/record_cache.hpp"
#include "quorvane/ephemeris/storage.hpp"

namespace quorvane {

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
  // Its records as kept by the storage (Storage::add_records).
  uint32_t kept_records = Storage::kNoRecords;
};

class Spk {
 public:
  static Expected<Spk, SpkError> load(std::unique_ptr<Storage> storage);
  static Expected<Spk, SpkError> open(const std::string& path);

  const std::vector<Segment>& segments() const { return segments_; }
  bool little_endian() const { return little_endian_; }

  // The file's check for changes on disk, once per call (Storage::generation).
  Expected<uint64_t, SpkError> generation() const { return storage_->generation(); }

  // `count` words from word address `start_word` (1-based), in host order.
  Expected<std::vector<double>, SpkError> read_words(int64_t start_word, uint64_t count) const;
  // The same into caller storage of at least `count` doubles.
  Expected<Ok, SpkError> read_words_into(int64_t start_word, uint64_t count, double* out) const;

  // Target relative to centre at TDB = whole + fraction (Julian days):
  // x, y, z in km and vx, vy, vz in km/s, in the segment's frame. With
  // `records`, the record is taken from there or read into it.
  Expected<std::array<double, 6>, SpkError> segment_state_split(const Segment& segment,
                                                                double whole, double fraction,
                                                                RecordCache* records = nullptr) const;

  // One record (MID, RADIUS, coefficient sets) at normalised time s.
  static std::array<double, 6> evaluate(uint64_t rsize, int32_t data_type,
                                        std::span<const double> words, double s);

 private:
  Spk() = default;

  std::unique_ptr<Storage> storage_;
  bool little_endian_ = true;
  std::vector<Segment> segments_;
};

// A double as an unsigned count: truncated, negatives and NaN become 0,
// values too large saturate.
uint64_t saturating_u64(double value);

// std::fmod(a, b) to the bit, faster when b is a whole number (an interval
// of whole seconds, as in every kernel in use).
double interval_remainder(double a, double b);

}  // namespace quorvane
