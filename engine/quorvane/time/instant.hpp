// UTC instants: exact microsecond counts on the proleptic Gregorian UTC
// time line (no leap seconds), their ISO-style text forms and Julian days.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quorvane/base/expected.hpp"
#include "quorvane/base/integer_math.hpp"

namespace quorvane {

struct CivilFields {
  int32_t year;
  uint32_t month;        // 1-12
  uint32_t day;          // 1-31
  uint32_t hour;         // 0-23
  uint32_t minute;       // 0-59
  uint32_t second;       // 0-59
  uint32_t microsecond;  // 0-999999
};

// A text that is not a moment; keeps the whole input for the message.
struct ParseError {
  std::string input;
  std::string text() const { return "invalid UTC date-time: " + input; }
};

class UtcInstant {
 public:
  static constexpr int64_t kMicrosPerDay = 86'400'000'000;

  constexpr UtcInstant() = default;
  constexpr explicit UtcInstant(int64_t micros) : micros_(micros) {}

  // Never fails and validates nothing: out-of-range fields carry over.
  static UtcInstant from_civil(int32_t year, uint32_t month, uint32_t day, uint32_t hour,
                               uint32_t minute, uint32_t second, uint32_t microsecond);
  // The same, or nothing when the fields lie beyond the 64-bit count
  // (about 292,000 years either side of 1970), where from_civil wraps.
  static std::optional<UtcInstant> checked_from_civil(int32_t year, uint32_t month, uint32_t day,
                                                      uint32_t hour, uint32_t minute,
                                                      uint32_t second, uint32_t microsecond);
  static Expected<UtcInstant, ParseError> parse(std::string_view text);

  CivilFields civil() const;
  // UT Julian day (UTC is taken as UT).
  double julian_day() const;
  // "YYYY-MM-DDTHH:MM:SS[.ffffff]+00:00"
  std::string isoformat() const;

  constexpr int64_t micros() const { return micros_; }
  friend constexpr auto operator<=>(UtcInstant, UtcInstant) = default;

 private:
  int64_t micros_ = 0;
};

// Whole days from 1970-01-01 to the UTC date of an instant.
constexpr int64_t epoch_day(UtcInstant instant) {
  return floor_div(instant.micros(), UtcInstant::kMicrosPerDay);
}

// The Julian day number of the UTC date of an instant.
constexpr int64_t day_number(UtcInstant instant) { return epoch_day(instant) + 2'440'588; }

}  // namespace quorvane
