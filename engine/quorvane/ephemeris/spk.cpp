#include "quorvane/ephemeris/spk.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_set>

#include "quorvane/base/byte_order.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/text.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {
namespace {

constexpr uint64_t kRecordBytes = 1024;
constexpr uint64_t kMaxSummaries = 25;         // 40-byte summaries after 24 bytes of control
constexpr uint64_t kMaxSummaryRecords = 100'000;
// Records read together into a call's cache on a miss: a batch in time
// order asks for the following ones next. A RecordCache keeps four
// consecutive records of a segment apart.
constexpr uint64_t kRecordsAhead = 4;

// Floor division with a remainder of the divisor's sign, computed as
// Python does for floats so that quotient and remainder stay consistent.
void floor_divmod(double a, double b, double* quotient, double* remainder) {
  double mod = interval_remainder(a, b);
  double div = (a - mod) / b;
  if (mod != 0.0) {
    if ((b < 0) != (mod < 0)) {
      mod += b;
      div -= 1.0;
    }
  } else {
    mod = std::copysign(0.0, b);
  }
  double floordiv;
  if (div != 0.0) {
    floordiv = std::floor(div);
    if (div - floordiv > 0.5) floordiv += 1.0;
  } else {
    floordiv = std::copysign(0.0, a / b);
  }
  *quotient = floordiv;
  *remainder = mod;
}

class Reader {
 public:
  Reader(const uint8_t* data, bool little_endian) : data_(data), little_(little_endian) {}

  int32_t i32(size_t offset) const { return load_i32(data_ + offset, little_); }
  double f64(size_t offset) const { return load_f64(data_ + offset, little_); }

 private:
  const uint8_t* data_;
  bool little_;
};

static_assert(std::endian::native == std::endian::little, "the reader assumes a little-endian host");

}  // namespace

// Its general loop is slow; for a whole divisor a - q b for the
// truncated quotient q is exact there, since q b is a whole number below
// 2^53 and a - q b is a multiple of a's last place smaller than a; q is
// corrected when the division rounded it across a whole number.
double interval_remainder(double a, double b) {
  const double size = std::fabs(b);
  if (std::fabs(a) < size) return a;
  if (!(std::fabs(a) < 0x1p52) || size != std::floor(size) || !(std::fabs(a) < size * 0x1p30)) {
    return std::fmod(a, b);
  }
  double q = std::trunc(a / size);
  double r = a - q * size;
  if (r != 0.0 && (r < 0.0) != (a < 0.0)) r += a < 0.0 ? -size : size;
  if (std::fabs(r) >= size) r -= a < 0.0 ? -size : size;
  return r == 0.0 ? std::copysign(0.0, a) : r;
}

uint64_t saturating_u64(double value) {
  if (!(value > 0.0)) return 0;  // negatives, zero and NaN
  if (value >= 18446744073709551616.0) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(value);
}

// ---- Spk ----

Expected<Spk, SpkError> Spk::open(const std::string& path) {
  auto storage = Storage::open(path);
  if (!storage) return unexpected(std::move(storage).error());
  return load(std::move(storage).value());
}

Expected<Ok, SpkError> Spk::read_words_into(int64_t start_word, uint64_t count, double* out) const {
  if (start_word == 0) return unexpected(SpkError::malformed("word address 0"));
  uint64_t offset, length;
  if (start_word < 0 || __builtin_mul_overflow(static_cast<uint64_t>(start_word - 1), 8, &offset) ||
      __builtin_mul_overflow(count, 8, &length) || !storage_->contains(offset, length)) {
    return unexpected(storage_->past_end());
  }
  auto read = storage_->read_bytes(offset, out, length);
  if (!read) return unexpected(std::move(read).error());
  // Convert in place from the file's byte order.
  auto* bytes = reinterpret_cast<uint8_t*>(out);
  for (uint64_t i = 0; i < count; ++i) {
    const double value = load_f64(bytes + 8 * i, little_endian_);
    std::memcpy(bytes + 8 * i, &value, 8);
  }
  return Ok{};
}

Expected<std::vector<double>, SpkError> Spk::read_words(int64_t start_word, uint64_t count) const {
  uint64_t length;
  if (__builtin_mul_overflow(count, 8, &length) || start_word < 1 ||
      !storage_->contains(static_cast<uint64_t>(start_word - 1) * 8, length)) {
    // Refused before allocating: the read could not be filled.
    if (start_word == 0) return unexpected(SpkError::malformed("word address 0"));
    return unexpected(storage_->past_end());
  }
  std::vector<double> words(count);
  auto read = read_words_into(start_word, count, words.data());
  if (!read) return unexpected(std::move(read).error());
  return words;
}

Expected<Spk, SpkError> Spk::load(std::unique_ptr<Storage> storage) {
  Spk spk;
  spk.storage_ = std::move(storage);

  std::array<uint8_t, kRecordBytes> file_record;
  auto read = spk.storage_->read_bytes(0, file_record.data(), file_record.size());
  if (!read) return unexpected(std::move(read).error());
  if (std::memcmp(file_record.data(), "DAF/SPK", 7) != 0) {
    return unexpected(SpkError::malformed("not a DAF/SPK file"));
  }
  if (std::memcmp(file_record.data() + 88, "LTL-IEEE", 8) == 0) {
    spk.little_endian_ = true;
  } else if (std::memcmp(file_record.data() + 88, "BIG-IEEE", 8) == 0) {
    spk.little_endian_ = false;
  } else {
    spk.little_endian_ = Reader(file_record.data(), true).i32(8) == 2;
  }
  const Reader header(file_record.data(), spk.little_endian_);
  const int32_t nd = header.i32(8), ni = header.i32(12);
  if (nd != 2 || ni != 6) return unexpected(SpkError::malformed(format("unexpected ND=%d NI=%d", nd, ni)));

  // A record number that cannot lie in any file reads as past the end.
  const int32_t forward = header.i32(76);
  if (forward < 0) return unexpected(spk.storage_->past_end());
  uint64_t record = static_cast<uint64_t>(forward);
  std::unordered_set<uint64_t> visited;
  std::array<uint8_t, 2 * kRecordBytes> pair;  // summary record and its name record
  for (uint64_t followed = 0; record != 0; ++followed) {
    if (followed == kMaxSummaryRecords || !visited.insert(record).second) {
      // A chain that revisits a record would go round until the limit and
      // fail there; stopping at the first revisit gives the same answer.
      return unexpected(SpkError::malformed("summary record chain does not end"));
    }
    uint64_t offset;
    if (__builtin_mul_overflow(record - 1, kRecordBytes, &offset)) {
      return unexpected(spk.storage_->past_end());
    }
    read = spk.storage_->read_bytes(offset, pair.data(), kRecordBytes);
    if (!read) return unexpected(std::move(read).error());
    uint64_t names_offset;
    if (__builtin_add_overflow(offset, kRecordBytes, &names_offset)) {
      return unexpected(spk.storage_->past_end());
    }
    read = spk.storage_->read_bytes(names_offset, pair.data() + kRecordBytes, kRecordBytes);
    if (!read) return unexpected(std::move(read).error());

    const Reader summaries(pair.data(), spk.little_endian_);
    const uint64_t next = saturating_u64(summaries.f64(0));
    const uint64_t count = saturating_u64(summaries.f64(16));
    for (uint64_t i = 0; i < count; ++i) {
      if (i == kMaxSummaries) return unexpected(SpkError::malformed("summary overflows its record"));
      const size_t at = 24 + 40 * i;
      Segment segment;
      segment.start_et = summaries.f64(at);
      segment.end_et = summaries.f64(at + 8);
      segment.target = summaries.i32(at + 16);
      segment.center = summaries.i32(at + 20);
      segment.frame = summaries.i32(at + 24);
      segment.data_type = summaries.i32(at + 28);
      segment.start_word = summaries.i32(at + 32);
      const int64_t end_word = summaries.i32(at + 36);
      segment.name = decode_utf8_lossy(std::string_view(
          reinterpret_cast<const char*>(pair.data() + kRecordBytes + 40 * i), 40));
      segment.name.resize(trim_unicode_space_end(segment.name).size());

      if (segment.data_type == 2 || segment.data_type == 3) {
        if (end_word < std::max<int64_t>(segment.start_word, 4)) {
          return unexpected(SpkError::malformed(
              format("bad word range for %d -> %d", segment.center, segment.target)));
        }
        auto directory = spk.read_words(end_word - 3, 4);
        if (!directory) return unexpected(std::move(directory).error());
        const auto& d = *directory;
        segment.init = d[0];
        segment.intlen = d[1];
        segment.rsize = saturating_u64(d[2]);
        segment.n = saturating_u64(d[3]);
        const uint64_t sets = segment.data_type == 2 ? 3 : 6;
        if (!(segment.intlen > 0.0) || segment.rsize <= 2 || segment.n < 1 ||
            (segment.rsize - 2) % sets != 0) {
          return unexpected(SpkError::malformed(
              format("bad Chebyshev directory for %d -> %d", segment.center, segment.target)));
        }
        if (segment.start_word >= 1) {
          segment.kept_records = spk.storage_->add_records(
              static_cast<uint64_t>(segment.start_word - 1) * 8, segment.rsize, segment.n,
              spk.little_endian_);
        }
      }
      spk.segments_.push_back(std::move(segment));
    }
    record = next;
  }
  spk.storage_->seal();
  return spk;
}

Expected<std::array<double, 6>, SpkError> Spk::segment_state_split(const Segment& segment,
                                                                   double whole, double fraction,
                                                                   RecordCache* records) const {
  if (segment.data_type != 2 && segment.data_type != 3) {
    return unexpected(SpkError::unsupported_type(segment.data_type));
  }
  const double intlen = segment.intlen;
  double i1, r1, i2, r2, i3, offset;
  floor_divmod((whole - kJ2000) * 86400.0 - segment.init, intlen, &i1, &r1);
  floor_divmod(86400.0 * fraction, intlen, &i2, &r2);
  floor_divmod(r1 + r2, intlen, &i3, &offset);
  double index = i1 + i2 + i3;
  const double n = static_cast<double>(segment.n);
  if (index == n) {  // the last interval includes its end
    index = n - 1.0;
    offset += intlen;
  }
  // Written so that a NaN index is refused too.
  if (!(index >= 0.0 && index < n)) {
    return unexpected(SpkError::not_covered(segment.target, segment.center,
                                            (whole - kJ2000 + fraction) * 86400.0));
  }
  const uint64_t k = static_cast<uint64_t>(index);
  int64_t word;
  uint64_t step;
  if (__builtin_mul_overflow(k, segment.rsize, &step) || step > static_cast<uint64_t>(INT64_MAX) ||
      __builtin_add_overflow(segment.start_word, static_cast<int64_t>(step), &word)) {
    return unexpected(storage_->past_end());
  }
  const double s = 2.0 * offset / intlen - 1.0;
  if (segment.kept_records != Storage::kNoRecords) {
    if (const double* kept = storage_->record(segment.kept_records, k)) {
      return evaluate(segment.rsize, segment.data_type, std::span<const double>(kept, segment.rsize), s);
    }
  }
  if (records) {
    if (const double* held = records->find(&segment, k)) {
      return evaluate(segment.rsize, segment.data_type, std::span<const double>(held, segment.rsize), s);
    }
    const uint64_t ahead = std::min<uint64_t>(kRecordsAhead, segment.n - k);
    if (ahead > 1 && segment.rsize <= RecordCache::kSlotWords) {
      std::array<double, kRecordsAhead * RecordCache::kSlotWords> block;
      // Where the block cannot be read (a file cut short), the record alone is.
      if (read_words_into(word, ahead * segment.rsize, block.data())) {
        for (uint64_t r = 0; r < ahead; ++r) {
          double* room = records->room(&segment, k + r, segment.rsize);
          std::memcpy(room, block.data() + r * segment.rsize, segment.rsize * sizeof(double));
          records->keep(&segment, k + r);
        }
        return evaluate(segment.rsize, segment.data_type,
                        std::span<const double>(block.data(), segment.rsize), s);
      }
    }
    if (double* room = records->room(&segment, k, segment.rsize)) {
      auto read = read_words_into(word, segment.rsize, room);
      if (!read) return unexpected(std::move(read).error());
      records->keep(&segment, k);
      return evaluate(segment.rsize, segment.data_type, std::span<const double>(room, segment.rsize), s);
    }
  }
  // Records of real kernels are small: read them onto the stack.
  constexpr uint64_t kStackWords = 512;
  if (segment.rsize <= kStackWords) {
    std::array<double, kStackWords> buffer;
    auto read = read_words_into(word, segment.rsize, buffer.data());
    if (!read) return unexpected(std::move(read).error());
    return evaluate(segment.rsize, segment.data_type,
                    std::span<const double>(buffer.data(), segment.rsize), s);
  }
  auto words = read_words(word, segment.rsize);
  if (!words) return unexpected(std::move(words).error());
  return evaluate(segment.rsize, segment.data_type, *words, s);
}

std::array<double, 6> Spk::evaluate(uint64_t rsize, int32_t data_type, std::span<const double> words,
                                    double s) {
  std::array<double, 6> state{};
  const uint64_t sets = data_type == 3 ? 6 : 3;
  if (rsize < 2 || words.size() < rsize) return state;
  const uint64_t g = (rsize - 2) / sets;
  const double radius = words[1];
  const double* coefficients = words.data() + 2;

  // Positions (and a type 3 segment's velocities) by Clenshaw's recurrence,
  // which loses less to rounding than summing a_k T_k(s) term by term; the
  // three axes in one pass.
  const auto series3 = [g, s](const double* a, double* out) {
    double b1[3] = {0.0, 0.0, 0.0}, b2[3] = {0.0, 0.0, 0.0};
    for (uint64_t k = g; k-- > 1;) {
      for (int axis = 0; axis < 3; ++axis) {
        const double b0 = a[axis * g + k] + (2.0 * s * b1[axis] - b2[axis]);
        b2[axis] = b1[axis];
        b1[axis] = b0;
      }
    }
    for (int axis = 0; axis < 3; ++axis) out[axis] = a[axis * g] + (s * b1[axis] - b2[axis]);
  };
  if (data_type == 3) {
    series3(coefficients, state.data());
    series3(coefficients + 3 * g, state.data() + 3);
    return state;
  }
  // Velocities from the derivative series sum a_k T'_k(s), T_k and T'_k by
  // their recurrences as the sum goes, in ascending order. The two sums run
  // in one loop (Clenshaw's descending, this one ascending): each is a
  // chain of dependent steps, and the processor overlaps the two chains.
  double b1[3] = {0.0, 0.0, 0.0}, b2[3] = {0.0, 0.0, 0.0};
  double derivative[3] = {0.0, 0.0, 0.0};
  double t_prev = 0.0, t_now = 1.0, dt_prev = 0.0, dt_now = 0.0;
  for (uint64_t k = 0; k < g; ++k) {
    if (const uint64_t down = g - 1 - k; down >= 1) {
      for (int axis = 0; axis < 3; ++axis) {
        const double b0 = coefficients[axis * g + down] + (2.0 * s * b1[axis] - b2[axis]);
        b2[axis] = b1[axis];
        b1[axis] = b0;
      }
    }
    if (k == 1) {
      t_prev = t_now;
      t_now = s;
      dt_prev = dt_now;
      dt_now = 1.0;
    } else if (k > 1) {
      const double t_next = 2.0 * s * t_now - t_prev;
      const double dt_next = 2.0 * t_now + 2.0 * s * dt_now - dt_prev;
      t_prev = t_now;
      t_now = t_next;
      dt_prev = dt_now;
      dt_now = dt_next;
    }
    for (int axis = 0; axis < 3; ++axis) derivative[axis] += coefficients[axis * g + k] * dt_now;
  }
  for (int axis = 0; axis < 3; ++axis) state[axis] = coefficients[axis * g] + (s * b1[axis] - b2[axis]);
  for (int axis = 0; axis < 3; ++axis) state[3 + axis] = derivative[axis] / radius;
  return state;
}

}  // namespace quorvane
