// The Chinese calendar around a moment: the 24 solar terms from the Start
// of Spring before it to the first jie after it, the lunar months that
// touch it and the equation of time; its JSON form and the reader that
// takes that JSON back for the BaZi and Zi Wei charts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane::chinese {

inline constexpr double kTropicalYear = 365.24219;     // days
inline constexpr double kSynodicMonth = 29.530589;     // days

// The key of the solar term at a longitude that is a multiple of 15 degrees.
std::string_view term_name(uint16_t longitude);

// Julian day number of the civil date in China at UT Julian day `jd`:
// UTC+8 from 1929-01-01, Beijing local mean time before.
int64_t china_day(double jd);

// The civil date of a Julian day number as "YYYY-MM-DD".
std::string civil_date_text(int64_t day);

// A lunar month as the calendar computes it (China day numbers).
struct Month {
  int64_t start = 0;
  int64_t end = 0;  // exclusive: the start of the next month
  int32_t year = 0;
  uint8_t month = 0;  // 1-12
  bool leap = false;
};

// One sui: the months from the month holding a winter solstice to the month
// holding the next one (exclusive).
struct Sui {
  std::vector<Month> months;
  int64_t end = 0;              // China day of the next sui's month 11
  double next_solstice = 0.0;   // UT Julian day
};

// A read-only view of the kernels for the calendar searches; every
// operation takes and returns UT Julian days.
class Sky {
 public:
  explicit Sky(const KernelSet& kernels) : kernels_(&kernels) {}

  // Apparent geocentric ecliptic longitude of date, degrees in [0, 360),
  // of body 10 (Sun) or 301 (Moon).
  Expected<double, EngineError> longitude(double jd, int32_t body) const;
  // When the Sun's longitude equals `target` degrees, searched from `guess`.
  Expected<double, EngineError> sun_at(double target, double guess) const;
  // The last such instant at or before `jd`.
  Expected<double, EngineError> sun_before(double target, double jd) const;
  Expected<double, EngineError> new_moon_near(double guess) const;
  Expected<double, EngineError> new_moon_before(double jd) const;
  // The months from the winter solstice at `solstice` to the next one.
  Expected<Sui, EngineError> sui(double solstice) const;
  // Apparent minus mean solar time, minutes in [-720, 720).
  Expected<double, EngineError> equation_of_time(double jd) const;

 private:
  const KernelSet* kernels_;
};

struct SolarTerm {
  std::string name;
  uint16_t longitude = 0;  // degrees, a multiple of 15
  bool jie = false;
  std::string utc;  // whole seconds, "YYYY-MM-DDTHH:MM:SS+00:00"

  // The `utc` text as an instant; invalid input when it does not parse.
  Expected<UtcInstant, EngineError> instant() const;

  friend bool operator==(const SolarTerm&, const SolarTerm&) = default;
};

struct LunarMonth {
  int32_t year = 0;
  uint8_t month = 0;
  bool leap = false;
  std::string start;  // civil date of the first day, "YYYY-MM-DD"
  uint8_t days = 0;

  // Julian day number of `start`; invalid input when it does not parse.
  Expected<int64_t, EngineError> start_day() const;

  friend bool operator==(const LunarMonth&, const LunarMonth&) = default;
};

struct ChineseCalendar {
  double equation_of_time = 0.0;  // minutes
  std::vector<SolarTerm> solar_terms;
  std::vector<LunarMonth> lunar_months;

  friend bool operator==(const ChineseCalendar&, const ChineseCalendar&) = default;
};

Expected<ChineseCalendar, EngineError> chinese_calendar(const Sky& sky, UtcInstant moment);

void write(RecordWriter& out, const SolarTerm& term);
void write(RecordWriter& out, const LunarMonth& month);
void write(RecordWriter& out, const ChineseCalendar& calendar);

// Reads a calendar dict back: an object with the keys it is written with (other
// keys ignored) or an array of the fields in order, at every level. The
// error is invalid input with the reader's message, e.g. "missing field
// `utc`". `utc` and `start` are kept as text, parsed only when asked.
Expected<ChineseCalendar, EngineError> read_chinese_calendar(const Json& value);
// The same from JSON text (json.dumps output); unlike a parsed value, text
// can repeat a key, which gives "duplicate field `{}`". Text that is not
// JSON gives the JSON parser's message.
Expected<ChineseCalendar, EngineError> read_chinese_calendar_text(std::string_view json_text);

}  // namespace quorvane::chinese
