#include "quorvane/election/election_criteria.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "quorvane/base/integer_math.hpp"
#include "quorvane/records/json_reader.hpp"

namespace quorvane {
namespace {

using json_reader::MissingFields;
using json_reader::Node;
using json_reader::Read;
using json_reader::read_bool;
using json_reader::read_f64;
using json_reader::read_integer;
using json_reader::read_list;
using json_reader::read_optional;
using json_reader::read_optional_bool;
using json_reader::read_string;
using json_reader::RecordReader;
using json_reader::store;
using json_reader::UnknownFields;

// Every key is known and optional.
constexpr UnknownFields kUnknown = UnknownFields::Refuse;
constexpr MissingFields kMissing = MissingFields::KeepDefaults;
// The parts of the criteria (hour ranges, offsets, natal points) are whole.
constexpr MissingFields kWhole = MissingFields::Refuse;

Read<Purpose> read_purpose(const Node& n) {
  if (n.kind != Node::Kind::String) return unexpected(json_reader::invalid_type(n, "enum Purpose"));
  for (size_t i = 0; i < std::size(kPurposeNames); ++i) {
    if (n.text == kPurposeNames[i]) return static_cast<Purpose>(i);
  }
  return unexpected("unknown variant `" + n.text + "`, expected one of " +
                    json_reader::one_of(kPurposeNames, std::size(kPurposeNames)));
}

const RecordReader<HourRange, 2> kHourRangeReader{
    "HourRange", {"from", "to"}, kUnknown, kWhole,
    [](HourRange& r, size_t i, const Node& n) -> std::optional<std::string> {
      return i == 0 ? store(r.from, read_integer<uint8_t>(n, "u8"))
                    : store(r.to, read_integer<uint8_t>(n, "u8"));
    }};

const RecordReader<UtcOffset, 2> kUtcOffsetReader{
    "UtcOffset", {"from", "minutes"}, kUnknown, kWhole,
    [](UtcOffset& o, size_t i, const Node& n) -> std::optional<std::string> {
      return i == 0 ? store(o.from, read_string(n))
                    : store(o.minutes, read_integer<int32_t>(n, "i32"));
    }};

const RecordReader<NatalPoint, 2> kNatalPointReader{
    "NatalPoint", {"name", "ecliptic_longitude"}, kUnknown, kWhole,
    [](NatalPoint& p, size_t i, const Node& n) -> std::optional<std::string> {
      return i == 0 ? store(p.name, read_string(n)) : store(p.ecliptic_longitude, read_f64(n));
    }};

const RecordReader<ElectionCriteria, 11> kCriteriaReader{
    "ElectionCriteria",
    {"purpose", "avoid_void_moon", "avoid_mercury_retrograde", "avoid_venus_retrograde",
     "daytime_only", "local_hours", "utc_offsets", "step_minutes", "min_score", "max_results",
     "natal"},
    kUnknown,
    kMissing,
    [](ElectionCriteria& c, size_t i, const Node& n) -> std::optional<std::string> {
      switch (i) {
        case 0: return store(c.purpose, read_purpose(n));
        case 1: return store(c.avoid_void_moon, read_bool(n));
        case 2: return store(c.avoid_mercury_retrograde, read_optional_bool(n));
        case 3: return store(c.avoid_venus_retrograde, read_optional_bool(n));
        case 4: return store(c.daytime_only, read_bool(n));
        case 5: return store(c.local_hours, read_optional<HourRange>(n, kHourRangeReader));
        case 6: return store(c.utc_offsets, read_list<UtcOffset>(n, kUtcOffsetReader));
        case 7: return store(c.step_minutes, read_integer<uint32_t>(n, "u32"));
        case 8: return store(c.min_score, read_f64(n));
        case 9: return store(c.max_results, read_integer<uint64_t>(n, "usize"));
        default: {
          auto list = [](const Node& item) { return read_list<NatalPoint>(item, kNatalPointReader); };
          return store(c.natal, read_optional<std::vector<NatalPoint>>(n, list));
        }
      }
    }};

Expected<ElectionCriteria, EngineError> read_criteria(const Node& n) {
  if (n.kind == Node::Kind::Null) return ElectionCriteria{};
  auto criteria = kCriteriaReader(n);
  if (!criteria) {
    return unexpected(EngineError::invalid_input("election criteria: " + criteria.error()));
  }
  return std::move(*criteria);
}

}  // namespace

Expected<ElectionCriteria, EngineError> ElectionCriteria::from_value(const Json& value) {
  return read_criteria(json_reader::node_of(value));
}

Expected<ElectionCriteria, EngineError> ElectionCriteria::from_text(std::string_view text) {
  auto node = json_reader::parse_node(text);
  if (!node) return unexpected(EngineError::invalid_input(std::move(node.error())));
  return read_criteria(*node);
}

Expected<ElectionCriteria::Resolved, EngineError> ElectionCriteria::resolve() const {
  Resolved r;
  if (local_hours) {
    const HourRange h = *local_hours;
    if (h.from == h.to || h.from > 23 || h.to == 0 || h.to > 24) {
      return unexpected(EngineError::invalid_input(
          "local_hours needs 0 <= from <= 23, 1 <= to <= 24 and from != to"));
    }
    r.local_hours = h;
  }
  for (const UtcOffset& offset : utc_offsets) {
    // 18 hours either way is the most any civil time zone has needed.
    if (offset.minutes > 1080 || offset.minutes < -1080) {
      return unexpected(
          EngineError::invalid_input(format("UTC offset %d is out of range", offset.minutes)));
    }
    auto from = UtcInstant::parse(offset.from);
    if (!from) return unexpected(EngineError::invalid_input("utc_offsets: " + from.error().text()));
    r.utc_offsets.emplace_back(*from, offset.minutes);
  }
  std::stable_sort(r.utc_offsets.begin(), r.utc_offsets.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (!std::isfinite(min_score)) {
    return unexpected(EngineError::invalid_input("min_score must be a number"));
  }
  r.min_score = std::min(std::max(min_score, 0.0), 100.0);
  r.max_results = max_results == 0 ? 1 : static_cast<uint32_t>(std::min<uint64_t>(max_results, 50));
  r.step_minutes = std::min<uint32_t>(std::max<uint32_t>(step_minutes, 5), 60);
  r.purpose = purpose;
  r.avoid_void_moon = avoid_void_moon;
  r.daytime_only = daytime_only;
  r.avoid_mercury_retrograde = avoid_mercury_retrograde.value_or(
      purpose == Purpose::Contract || purpose == Purpose::Travel || purpose == Purpose::Launch);
  r.avoid_venus_retrograde = avoid_venus_retrograde.value_or(purpose == Purpose::Partnership);
  r.natal = natal;
  r.has_natal = natal.has_value();
  return r;
}

int32_t ElectionCriteria::Resolved::offset_minutes_at(UtcInstant moment) const {
  if (utc_offsets.empty()) return 0;
  int32_t minutes = utc_offsets.front().second;
  for (const auto& [from, offset] : utc_offsets) {
    if (from > moment) break;
    minutes = offset;
  }
  return minutes;
}

bool ElectionCriteria::Resolved::within_local_hours(UtcInstant moment) const {
  if (!local_hours) return true;
  // Saturated at the ends of the time line, where the offset would carry
  // the count past 64 bits.
  const int64_t shift = static_cast<int64_t>(offset_minutes_at(moment)) * 60'000'000;
  int64_t local = 0;
  if (__builtin_add_overflow(moment.micros(), shift, &local)) {
    local = shift > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  }
  const int64_t m = floor_mod(local, UtcInstant::kMicrosPerDay) / 60'000'000;  // minute of the day
  const int64_t from = local_hours->from * 60;
  const int64_t to = local_hours->to * 60;
  if (from < to) return from <= m && m < to;
  return m >= from || m < to;
}

CriteriaSummary ElectionCriteria::Resolved::summary() const {
  CriteriaSummary s;
  s.purpose = purpose;
  s.avoid_void_moon = avoid_void_moon;
  s.avoid_mercury_retrograde = avoid_mercury_retrograde;
  s.avoid_venus_retrograde = avoid_venus_retrograde;
  s.daytime_only = daytime_only;
  s.local_hours = local_hours;
  s.step_minutes = step_minutes;
  s.min_score = min_score;
  s.max_results = max_results;
  s.natal = has_natal;
  return s;
}

void write(RecordWriter& out, const HourRange& hours) {
  ObjectWriter(out).field("from", hours.from).field("to", hours.to);
}

void write(RecordWriter& out, const CriteriaSummary& s) {
  ObjectWriter(out)
      .field("purpose", purpose_name(s.purpose))
      .field("avoid_void_moon", s.avoid_void_moon)
      .field("avoid_mercury_retrograde", s.avoid_mercury_retrograde)
      .field("avoid_venus_retrograde", s.avoid_venus_retrograde)
      .field("daytime_only", s.daytime_only)
      .field("local_hours", s.local_hours)
      .field("step_minutes", s.step_minutes)
      .field("min_score", s.min_score)
      .field("max_results", s.max_results)
      .field("natal", s.natal);
}

}  // namespace quorvane
