// Election criteria: what the caller wants of an electional moment (the
// purpose, hard exclusions, clock hours, search step and limits, natal
// points), read from JSON, checked and completed with the purpose defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane {

enum class Purpose : uint8_t { General, Contract, Partnership, Travel, Health, Finance, Launch, Career };

inline constexpr std::string_view kPurposeNames[] = {"general", "contract", "partnership", "travel",
                                                     "health",  "finance",  "launch",      "career"};

constexpr std::string_view purpose_name(Purpose purpose) {
  return kPurposeNames[static_cast<size_t>(purpose)];
}

// Local clock hours; `to` is exclusive and the range may wrap past midnight.
struct HourRange {
  uint8_t from = 0;
  uint8_t to = 0;
};

// From the instant `from` (UtcInstant text) on, local time is UTC + minutes.
struct UtcOffset {
  std::string from;
  int32_t minutes = 0;
};

struct NatalPoint {
  std::string name;
  double ecliptic_longitude = 0.0;
};

// The effective settings, as the search reports them.
struct CriteriaSummary {
  Purpose purpose = Purpose::General;
  bool avoid_void_moon = true;
  bool avoid_mercury_retrograde = false;
  bool avoid_venus_retrograde = false;
  bool daytime_only = false;
  std::optional<HourRange> local_hours;
  uint32_t step_minutes = 10;
  double min_score = 60.0;
  uint32_t max_results = 20;
  bool natal = false;
};

void write(RecordWriter& out, const HourRange& hours);
void write(RecordWriter& out, const CriteriaSummary& summary);

// The criteria as the caller gave them; every field has its default.
struct ElectionCriteria {
  // Checked criteria with the purpose defaults applied and the limits clamped.
  struct Resolved {
    std::vector<std::pair<UtcInstant, int32_t>> utc_offsets;  // ascending by instant
    std::optional<std::vector<NatalPoint>> natal;
    double min_score = 60.0;   // 0..100
    uint32_t max_results = 20;  // 1..50
    uint32_t step_minutes = 10;  // 5..60
    Purpose purpose = Purpose::General;
    std::optional<HourRange> local_hours;
    bool avoid_void_moon = true;
    bool avoid_mercury_retrograde = false;
    bool avoid_venus_retrograde = false;
    bool daytime_only = false;
    bool has_natal = false;

    // Local time minus UTC at `moment`, in minutes: the last offset in force
    // at or before it, the first one when all start later, 0 without any.
    int32_t offset_minutes_at(UtcInstant moment) const;
    // Whether the local clock at `moment` lies in `local_hours` (always true
    // without a restriction).
    bool within_local_hours(UtcInstant moment) const;
    CriteriaSummary summary() const;
  };

  Purpose purpose = Purpose::General;
  bool avoid_void_moon = true;
  std::optional<bool> avoid_mercury_retrograde;  // none: the purpose decides
  std::optional<bool> avoid_venus_retrograde;
  bool daytime_only = false;
  std::optional<HourRange> local_hours;
  std::vector<UtcOffset> utc_offsets;
  uint32_t step_minutes = 10;
  double min_score = 60.0;
  uint64_t max_results = 20;
  std::optional<std::vector<NatalPoint>> natal;

  // Reads a criteria object (or the positional array form, or null for the
  // defaults). Failures are "election criteria: {}" with the reader's text.
  static Expected<ElectionCriteria, EngineError> from_value(const Json& value);
  // The same from JSON text, where a repeated key can still be seen. Text
  // that is not JSON fails with the JSON parser's own message.
  static Expected<ElectionCriteria, EngineError> from_text(std::string_view text);

  Expected<Resolved, EngineError> resolve() const;
};

}  // namespace quorvane
