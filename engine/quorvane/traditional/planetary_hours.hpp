// Planetary hours: the solar day a moment belongs to (sunrise, sunset,
// next sunrise at a place) and the unequal hour of the moment inside it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"
#include "quorvane/traditional/chaldean_order.hpp"

namespace quorvane {

class KernelSet;

// What stands in for a sunrise and sunset the almanac did not give.
enum class DayFallback : uint8_t {
  None,         // the Sun rose and set
  MidnightSun,  // up all day: day hours only
  PolarNight,   // down all day: night hours only
  FixedHours,   // no almanac answer: 06:00 and 18:00 UTC
};

struct SolarDay {
  UtcInstant sunrise;
  UtcInstant sunset;
  UtcInstant next_sunrise;
  bool computed = false;  // false only for the fixed 06:00/18:00 UTC day
  DayFallback fallback = DayFallback::None;

  // A day from Julian days the caller already has (sunrise, sunset, next sunrise).
  static SolarDay from_julian_days(double sunrise, double sunset, double next_sunrise);
  // 06:00, 18:00 and next 06:00 UTC of the moment's UTC date.
  static SolarDay fallback_day(UtcInstant moment);
  // A day without sunrise or sunset: 24 hours from 06:00 local mean time
  // (at `longitude`) at or before the moment, all of it day when the Sun is
  // up and all of it night when it is down; its hours last two hours each.
  static SolarDay polar(UtcInstant moment, double longitude, bool sun_up);
};

// The solar day around `moment` from the almanac; the fixed default day when
// the almanac cannot answer (no kernel for the date, a failed search).
// Never fails.
SolarDay solar_day(const KernelSet& kernels, UtcInstant moment, double latitude, double longitude);

// The solar day of a triple the almanac chose for `moment`; where it holds
// substitutes for a missing rising or setting, the Sun's state at the
// moment decides (a polar day), and the fixed default day stands in if even
// that cannot be found.
SolarDay solar_day_of(const KernelSet& kernels, const std::array<double, 3>& triple,
                      UtcInstant moment, double latitude, double longitude);

struct PlanetaryHours {
  bool is_day = false;
  std::string_view day_ruler;
  std::string_view hour_ruler;
  int hour_number = 1;  // 1..12
  std::string_view hour_type;  // "Day" or "Night"
  std::string sunrise;
  std::string sunset;
  DayFallback fallback = DayFallback::None;
};

// "midnight_sun", "polar_night", "fixed_hours", or empty for none.
std::string_view fallback_key(DayFallback fallback);

PlanetaryHours hours_in(const SolarDay& day, UtcInstant moment);

// The same without the sunrise and sunset texts, for callers that format
// them once for many moments of one day.
PlanetaryHours hour_within(const SolarDay& day, UtcInstant moment);

void write(RecordWriter& out, const PlanetaryHours& hours);

}  // namespace quorvane
