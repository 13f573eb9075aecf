// Planetary hours: the solar day a moment belongs to (sunrise, sunset,
// next sunrise at a place) and the unequal hour of the moment inside it.
#pragma once

#include <string>
#include <string_view>

#include "quorvane/instant.hpp"
#include "quorvane/json.hpp"

namespace quorvane {

class KernelSet;

// UT Julian day of an instant, counted from J2000 in microseconds so that it
// round-trips with instant_from_julian_day (unlike the civil formula of
// UtcInstant::julian_day, which it equals to within rounding).
double julian_day_from_instant(UtcInstant moment);

// The instant of a UT Julian day, to the nearest microsecond (ties to even);
// out-of-range values saturate and NaN gives J2000.
UtcInstant instant_from_julian_day(double jd);

struct SolarDay {
  UtcInstant sunrise;
  UtcInstant sunset;
  UtcInstant next_sunrise;
  bool computed = false;  // false only for the fixed 06:00/18:00 UTC day

  // A day from Julian days the caller already has (sunrise, sunset, next sunrise).
  static SolarDay from_julian_days(double sunrise, double sunset, double next_sunrise);
  // 06:00, 18:00 and next 06:00 UTC of the moment's UTC date.
  static SolarDay fallback(UtcInstant moment);
};

// The solar day around `moment` from the almanac; the fixed default day when
// the almanac cannot answer (no kernel for the date, a failed search).
// Never fails.
SolarDay solar_day(const KernelSet& kernels, UtcInstant moment, double latitude, double longitude);

struct PlanetaryHours {
  bool is_day = false;
  std::string_view day_ruler;
  std::string_view hour_ruler;
  int hour_number = 1;  // 1..12
  std::string_view hour_type;  // "Day" or "Night"
  std::string sunrise;
  std::string sunset;
};

// The planets in Chaldean order, which is also the order of the hours.
inline constexpr std::string_view kChaldeanOrder[7] = {"Saturn", "Jupiter", "Mars",   "Sun",
                                                       "Venus",  "Mercury", "Moon"};

PlanetaryHours hours_in(const SolarDay& day, UtcInstant moment);

Json to_json(const PlanetaryHours& hours);

}  // namespace quorvane
