// The Chebyshev records one computation has read, in host order, owned by
// that computation (one per call and thread): a body asked for again at a
// nearby time, or by the next body's light time or deflection, is then
// evaluated from memory without a lock, a lookup in the kernel's shared
// cache or a byte-order pass. The kernel's file-change checks stay where
// they are, once per call around the computation that owns the cache.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvane {

struct Segment;

class RecordCache {
 public:
  // Records longer than this are read each time (no kernel in use has any).
  static constexpr size_t kSlotWords = 128;

  // The words of record `record` of `segment`, or null when not held.
  const double* find(const Segment* segment, uint64_t record) const {
    const size_t slot = slot_of(segment, record);
    const Key& key = keys_[slot];
    return key.segment == segment && key.record == record ? words_.get() + slot * kSlotWords
                                                          : nullptr;
  }

  // Room for that record (null when longer than a slot); it counts as held
  // only once `keep` is called after the words were read into it.
  double* room(const Segment* segment, uint64_t record, uint64_t words);
  void keep(const Segment* segment, uint64_t record) { keys_[slot_of(segment, record)] = {segment, record}; }

 private:
  // Four slots per segment (the segments of one kernel, adjacent in memory,
  // take adjacent fours), so four consecutive records of a segment (read
  // together, or a moment and its light time across a boundary) do not
  // evict each other.
  static constexpr size_t kSlots = 64;
  static size_t slot_of(const Segment* segment, uint64_t record);

  struct Key {
    const Segment* segment = nullptr;
    uint64_t record = 0;
  };
  std::array<Key, kSlots> keys_{};
  std::unique_ptr<double[]> words_;  // kSlots * kSlotWords, made on first use
};

}  // namespace quorvane
