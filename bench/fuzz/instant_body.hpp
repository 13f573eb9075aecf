// Fuzz body for UTC instants: any text through the parser, and any 64-bit
// microsecond count through the civil fields, the Julian day and the ISO
// text. A parsed instant must format and parse back to itself.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/fuzz/fuzz_check.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane::fuzz {

inline uint32_t days_in_month(int64_t year, uint32_t month) {
  static constexpr uint32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

inline void check_instant(UtcInstant instant) {
  const CivilFields c = instant.civil();
  FUZZ_CHECK(c.month >= 1 && c.month <= 12);
  if (c.month < 1 || c.month > 12) return;
  FUZZ_CHECK(c.day >= 1 && c.day <= days_in_month(c.year, c.month));
  FUZZ_CHECK(c.hour <= 23 && c.minute <= 59 && c.second <= 59 && c.microsecond <= 999'999);
  FUZZ_CHECK(UtcInstant::from_civil(c.year, c.month, c.day, c.hour, c.minute, c.second,
                                    c.microsecond) == instant);

  const double jd = instant.julian_day();
  FUZZ_CHECK(std::isfinite(jd));
  // Over the years people write, the Julian day is the count of days since
  // JD 2440587.5 (1970-01-01T00:00Z) to well under a millisecond.
  if (c.year >= 1 && c.year <= 9999) {
    const double days = static_cast<double>(instant.micros()) / 86'400'000'000.0;
    FUZZ_CHECK(std::fabs(jd - (days + 2440587.5)) < 1e-8);
  }

  const std::string iso = instant.isoformat();
  FUZZ_CHECK(iso.size() >= 6 && iso.compare(iso.size() - 6, 6, "+00:00") == 0);
  // Years before 1 print with a minus sign, which the parser refuses.
  if (c.year >= 0) {
    auto back = UtcInstant::parse(iso);
    FUZZ_CHECK(back.has_value());
    if (back) FUZZ_CHECK(*back == instant);
    auto zulu = UtcInstant::parse(iso.substr(0, iso.size() - 6) + "Z");
    FUZZ_CHECK(zulu.has_value());
    if (zulu) FUZZ_CHECK(*zulu == instant);
  }
}

inline void fuzz_instant(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto parsed = UtcInstant::parse(text);
  if (parsed) {
    check_instant(*parsed);
    // Parsing does not depend on anything but the text.
    auto again = UtcInstant::parse(text);
    FUZZ_CHECK(again.has_value() && *again == *parsed);
  } else {
    FUZZ_CHECK(parsed.error().input == text);
    FUZZ_CHECK(parsed.error().text() == "invalid UTC date-time: " + std::string(text));
  }
  if (size >= 8) {
    int64_t micros = 0;
    std::memcpy(&micros, data, 8);
    check_instant(UtcInstant(micros));
  }
}

}  // namespace quorvane::fuzz
