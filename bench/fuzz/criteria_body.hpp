// Fuzz body for election criteria: any text through the text reader and,
// when it is JSON, the value reader; what reads must resolve to settings
// inside their clamps or fail with one of the fixed messages, and the
// local-clock tests must hold for any instant, the extremes included.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "bench/fuzz/fuzz_check.hpp"
#include "quorvane/election/election_criteria.hpp"
#include "quorvane/records/json.hpp"

namespace quorvane::fuzz {

inline std::string criteria_message(const EngineError& error) {
  const auto* invalid = std::get_if<InvalidInput>(&error.kind);
  FUZZ_CHECK(invalid != nullptr);
  return invalid ? invalid->message : std::string();
}

inline bool starts_with(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

inline void check_resolved(const ElectionCriteria& criteria, const uint8_t* data, size_t size) {
  auto resolved = criteria.resolve();
  if (!resolved) {
    const std::string message = criteria_message(resolved.error());
    FUZZ_CHECK(message == "local_hours needs 0 <= from <= 23, 1 <= to <= 24 and from != to" ||
               message == "min_score must be a number" ||
               (starts_with(message, "UTC offset ") && message.size() > 25 &&
                message.compare(message.size() - 13, 13, " out of range") == 0) ||
               starts_with(message, "utc_offsets: invalid UTC date-time: "));
    return;
  }
  const auto& r = *resolved;
  FUZZ_CHECK(r.min_score >= 0.0 && r.min_score <= 100.0);
  FUZZ_CHECK(r.max_results >= 1 && r.max_results <= 50);
  FUZZ_CHECK(r.step_minutes >= 5 && r.step_minutes <= 60);
  FUZZ_CHECK(std::is_sorted(r.utc_offsets.begin(), r.utc_offsets.end(),
                            [](const auto& a, const auto& b) { return a.first < b.first; }));
  FUZZ_CHECK(r.utc_offsets.size() == criteria.utc_offsets.size());
  for (const auto& [from, minutes] : r.utc_offsets) FUZZ_CHECK(std::abs(minutes) <= 1080);
  if (r.local_hours) {
    FUZZ_CHECK(r.local_hours->from <= 23 && r.local_hours->to >= 1 && r.local_hours->to <= 24 &&
               r.local_hours->from != r.local_hours->to);
  }
  FUZZ_CHECK(r.has_natal == criteria.natal.has_value());
  FUZZ_CHECK(compact_json(r.summary()).has_value());

  std::vector<UtcInstant> moments = {UtcInstant(0), UtcInstant(std::numeric_limits<int64_t>::max()),
                                     UtcInstant(std::numeric_limits<int64_t>::min())};
  for (const auto& offset : r.utc_offsets) moments.push_back(offset.first);
  if (size >= 8) {
    int64_t micros = 0;
    std::memcpy(&micros, data + size - 8, 8);
    moments.push_back(UtcInstant(micros));
  }
  for (UtcInstant moment : moments) {
    const int32_t minutes = r.offset_minutes_at(moment);
    FUZZ_CHECK(std::abs(minutes) <= 1080);
    (void)r.within_local_hours(moment);
  }
}

inline void fuzz_criteria(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto from_text = ElectionCriteria::from_text(text);
  if (from_text) check_resolved(*from_text, data, size);

  auto parsed = parse_json(text);
  if (!parsed) {
    FUZZ_CHECK(!from_text.has_value());
    return;
  }
  auto from_value = ElectionCriteria::from_value(*parsed);
  if (!from_value) {
    FUZZ_CHECK(starts_with(criteria_message(from_value.error()), "election criteria: "));
    // Text that reads has no repeated key, so its parsed value reads too.
    FUZZ_CHECK(!from_text.has_value());
    return;
  }
  check_resolved(*from_value, data, size);
  if (from_text) {
    auto a = from_text->resolve();
    auto b = from_value->resolve();
    FUZZ_CHECK(a.has_value() == b.has_value());
    if (a && b) FUZZ_CHECK(to_json_tree(a->summary()) == to_json_tree(b->summary()));
  }
}

}  // namespace quorvane::fuzz
