#include "quorvane/ephemeris/record_cache.hpp"

#include "quorvane/ephemeris/spk.hpp"

namespace quorvane {

size_t RecordCache::slot_of(const Segment* segment, uint64_t record) {
  const uintptr_t position = reinterpret_cast<uintptr_t>(segment) / sizeof(Segment);
  return (position * 4 + (record & 3)) % kSlots;
}

double* RecordCache::room(const Segment* segment, uint64_t record, uint64_t words) {
  if (words > kSlotWords) return nullptr;
  if (!words_) words_.reset(new double[kSlots * kSlotWords]);
  const size_t slot = slot_of(segment, record);
  keys_[slot] = {};
  return words_.get() + slot * kSlotWords;
}

}  // namespace quorvane
