#include "quorvane/time/instant.hpp"

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace quorvane {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, over 400-year eras.
int64_t days_from_civil(int64_t year, int64_t month, int64_t day) {
  const int64_t y = month <= 2 ? year - 1 : year;
  const int64_t era = floor_div(y, 400);
  const int64_t yoe = y - 400 * era;
  const int64_t doy = (153 * ((month + 9) % 12) + 2) / 5 + day;
  const int64_t doe = 365 * yoe + yoe / 4 - yoe / 100 + doy;
  return 146097 * era + doe - 719469;
}

// Optional '+' then one or more ASCII digits, within [0, max].
std::optional<uint64_t> parse_digits(std::string_view s, uint64_t max) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > max) return std::nullopt;
  }
  return value;
}

std::optional<uint32_t> parse_u32(std::string_view s) {
  auto v = parse_digits(s, std::numeric_limits<uint32_t>::max());
  if (!v) return std::nullopt;
  return static_cast<uint32_t>(*v);
}

// Splits off the text before `sep`; `rest` keeps what follows it.
std::optional<std::string_view> next_piece(std::string_view& rest, bool& exhausted, char sep) {
  if (exhausted) return std::nullopt;
  const size_t at = rest.find(sep);
  std::string_view piece = rest.substr(0, at);
  if (at == std::string_view::npos) {
    exhausted = true;
    rest = {};
  } else {
    rest.remove_prefix(at + 1);
  }
  return piece;
}

// Microseconds since 1970 of civil fields, or nothing when the count does
// not fit in 64 bits (years beyond about 292,000).
std::optional<int64_t> civil_micros(int32_t year, uint32_t month, uint32_t day, uint32_t hour,
                                    uint32_t minute, uint32_t second, uint32_t microsecond) {
  const int64_t days = days_from_civil(year, month, day);
  const int64_t secs = int64_t{hour} * 3600 + int64_t{minute} * 60 + int64_t{second};
  int64_t micros = 0;
  if (__builtin_mul_overflow(days, UtcInstant::kMicrosPerDay, &micros) ||
      __builtin_add_overflow(micros, secs * 1'000'000 + int64_t{microsecond}, &micros)) {
    return std::nullopt;
  }
  return micros;
}

// Proleptic Gregorian: a February 30th or an April 31st is no day at all.
uint32_t days_in_month(uint64_t year, uint32_t month) {
  static constexpr uint32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

UtcInstant UtcInstant::from_civil(int32_t year, uint32_t month, uint32_t day, uint32_t hour,
                                  uint32_t minute, uint32_t second, uint32_t microsecond) {
  // Validates nothing: fields whose count does not fit wrap around modulo
  // 2^64 (defined, unlike signed overflow), so civil() and from_civil()
  // still invert each other over every instant.
  const auto days = static_cast<uint64_t>(days_from_civil(year, month, day));
  const uint64_t secs = uint64_t{hour} * 3600 + uint64_t{minute} * 60 + uint64_t{second};
  return UtcInstant(static_cast<int64_t>(days * static_cast<uint64_t>(kMicrosPerDay) +
                                         secs * 1'000'000 + uint64_t{microsecond}));
}

std::optional<UtcInstant> UtcInstant::checked_from_civil(int32_t year, uint32_t month,
                                                         uint32_t day, uint32_t hour,
                                                         uint32_t minute, uint32_t second,
                                                         uint32_t microsecond) {
  const auto micros = civil_micros(year, month, day, hour, minute, second, microsecond);
  if (!micros) return std::nullopt;
  return UtcInstant(*micros);
}

Expected<UtcInstant, ParseError> UtcInstant::parse(std::string_view text) {
  const auto invalid = [&] { return unexpected(ParseError{std::string(text)}); };
  std::string_view s = text;
  if (!s.empty() && s.back() == 'Z') {
    s.remove_suffix(1);
  } else if (s.size() >= 6 && s.substr(s.size() - 6) == "+00:00") {
    s.remove_suffix(6);
  }

  const size_t split = s.find_first_of("T ");
  if (split == std::string_view::npos) return invalid();
  std::string_view date = s.substr(0, split);
  std::string_view time = s.substr(split + 1);

  bool date_done = false;
  auto year_text = next_piece(date, date_done, '-');
  auto month_text = next_piece(date, date_done, '-');
  auto day_text = next_piece(date, date_done, '-');
  if (!year_text || !month_text || !day_text) return invalid();
  auto year = parse_digits(*year_text, std::numeric_limits<int32_t>::max());
  auto month = parse_u32(*month_text);
  auto day = parse_u32(*day_text);
  if (!year || !month || !day) return invalid();

  bool time_done = false;
  auto hour_text = next_piece(time, time_done, ':');
  auto minute_text = next_piece(time, time_done, ':');
  auto second_text = next_piece(time, time_done, ':');
  if (!hour_text || !minute_text) return invalid();
  auto hour = parse_u32(*hour_text);
  auto minute = parse_u32(*minute_text);
  if (!hour || !minute) return invalid();
  uint32_t second = 0;
  uint32_t microsecond = 0;
  if (second_text) {
    std::string_view whole = *second_text;
    const size_t dot = whole.find('.');
    if (dot != std::string_view::npos) {
      std::string fraction(whole.substr(dot + 1, 6));
      fraction.resize(6, '0');
      auto micros = parse_u32(fraction);
      if (!micros) return invalid();
      microsecond = *micros;
      whole = whole.substr(0, dot);
    }
    auto sec = parse_u32(whole);
    if (!sec) return invalid();
    second = *sec;
  }

  if (*month < 1 || *month > 12 || *day < 1 || *day > days_in_month(*year, *month) ||
      *hour > 23 || *minute > 59 || second > 59) {
    return invalid();
  }
  // A year that fits in 32 bits can still lie beyond the 64-bit count.
  const auto instant = checked_from_civil(static_cast<int32_t>(*year), *month, *day, *hour,
                                          *minute, second, microsecond);
  if (!instant) return invalid();
  return *instant;
}

CivilFields UtcInstant::civil() const {
  // Quotient and remainder taken apart: days * kMicrosPerDay would leave
  // the 64-bit range for the earliest instants.
  int64_t days = micros_ / kMicrosPerDay;
  int64_t of_day = micros_ % kMicrosPerDay;
  if (of_day < 0) {
    of_day += kMicrosPerDay;
    --days;
  }

  // Inverse of days_from_civil.
  const int64_t z = days + 719468;
  const int64_t era = floor_div(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);

  CivilFields f;
  f.year = static_cast<int32_t>(year);
  f.month = static_cast<uint32_t>(month);
  f.day = static_cast<uint32_t>(day);
  f.hour = static_cast<uint32_t>(of_day / 3'600'000'000);
  f.minute = static_cast<uint32_t>((of_day / 1'000'000 % 3600) / 60);
  f.second = static_cast<uint32_t>(of_day / 1'000'000 % 60);
  f.microsecond = static_cast<uint32_t>(of_day % 1'000'000);
  return f;
}

double UtcInstant::julian_day() const {
  const CivilFields c = civil();
  double y = c.year;
  double m = c.month;
  if (c.month <= 2) {
    y -= 1;
    m += 12;
  }
  const double a = std::floor(y / 100.0);
  const double b = 2.0 - a + std::floor(a / 4.0);
  const double f = (c.hour + c.minute / 60.0 + c.second / 3600.0 + c.microsecond / 3.6e9) / 24.0;
  return std::floor(365.25 * (y + 4716.0)) + std::floor(30.6001 * (m + 1.0)) + c.day + f + b -
         1524.5;
}

std::string UtcInstant::isoformat() const {
  const CivilFields c = civil();
  char buf[64];
  if (c.microsecond == 0) {
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02u:%02u:%02u+00:00", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02u:%02u:%02u.%06u+00:00", c.year, c.month,
                  c.day, c.hour, c.minute, c.second, c.microsecond);
  }
  return buf;
}

}  // namespace quorvane
