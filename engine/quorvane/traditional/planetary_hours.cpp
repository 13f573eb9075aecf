#include "quorvane/traditional/planetary_hours.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "quorvane/astronomy/almanac.hpp"
#include "quorvane/base/integer_math.hpp"
#include "quorvane/time/julian_day.hpp"

namespace quorvane {
namespace {

constexpr int64_t kMicrosPerHour = 3'600'000'000;

// Seconds between two instants; the difference itself may not fit 64 bits.
double seconds_between(UtcInstant from, UtcInstant to) {
  const __int128 micros = static_cast<__int128>(to.micros()) - from.micros();
  return static_cast<double>(micros) / 1'000'000.0;
}

// Hour 1..12 from the elapsed time and the hour length. A negative or NaN
// quotient is the first hour; anything past the eleventh hour is the twelfth.
int hour_of(double elapsed_seconds, double hour_seconds) {
  const double q = elapsed_seconds / hour_seconds;
  if (!(q >= 0.0)) return 1;
  if (q >= 11.0) return 12;
  return static_cast<int>(q) + 1;
}

// Day rulers by weekday, Monday first.
constexpr int kWeekdayRuler[7] = {6 /*Moon*/, 2 /*Mars*/,   5 /*Mercury*/, 1 /*Jupiter*/,
                                  4 /*Venus*/, 0 /*Saturn*/, 3 /*Sun*/};

}  // namespace

SolarDay SolarDay::from_julian_days(double sunrise, double sunset, double next_sunrise) {
  return {instant_from_julian_day(sunrise), instant_from_julian_day(sunset),
          instant_from_julian_day(next_sunrise), true};
}

SolarDay SolarDay::fallback_day(UtcInstant moment) {
  const int64_t midnight =
      saturating_mul(epoch_day(moment), UtcInstant::kMicrosPerDay);
  return {UtcInstant(saturating_add(midnight, 6 * kMicrosPerHour)),
          UtcInstant(saturating_add(midnight, 18 * kMicrosPerHour)),
          UtcInstant(saturating_add(midnight, 30 * kMicrosPerHour)), false,
          DayFallback::FixedHours};
}

SolarDay SolarDay::polar(UtcInstant moment, double longitude, bool sun_up) {
  // Local mean time runs four minutes ahead of UTC per degree east.
  const int64_t ahead = saturate(std::nearbyint(longitude * 240'000'000.0));
  const int64_t local_six = saturating_add(saturating_add(moment.micros(), ahead), -6 * kMicrosPerHour);
  const int64_t start = saturating_add(
      saturating_mul(floor_div(local_six, UtcInstant::kMicrosPerDay), UtcInstant::kMicrosPerDay),
      saturating_add(6 * kMicrosPerHour, -ahead));
  const UtcInstant day_start(start);
  const UtcInstant day_end(saturating_add(start, UtcInstant::kMicrosPerDay));
  if (sun_up) return {day_start, day_end, day_end, true, DayFallback::MidnightSun};
  return {day_start, day_start, day_end, true, DayFallback::PolarNight};
}

SolarDay solar_day_of(const KernelSet& kernels, const std::array<double, 3>& triple,
                      UtcInstant moment, double latitude, double longitude) {
  const double jd = julian_day_from_instant(moment);
  if (!lacks_rise_or_set(triple, jd)) return SolarDay::from_julian_days(triple[0], triple[1], triple[2]);
  const auto up = sun_is_up_at(kernels, jd, latitude, longitude);
  if (!up) return SolarDay::fallback_day(moment);
  return SolarDay::polar(moment, longitude, *up);
}

SolarDay solar_day(const KernelSet& kernels, UtcInstant moment, double latitude, double longitude) {
  auto triple = rise_set(kernels, julian_day_from_instant(moment), latitude, longitude);
  if (!triple) return SolarDay::fallback_day(moment);
  return solar_day_of(kernels, *triple, moment, latitude, longitude);
}

std::string_view fallback_key(DayFallback fallback) {
  switch (fallback) {
    case DayFallback::MidnightSun: return "midnight_sun";
    case DayFallback::PolarNight: return "polar_night";
    case DayFallback::FixedHours: return "fixed_hours";
    case DayFallback::None: break;
  }
  return {};
}

PlanetaryHours hours_in(const SolarDay& day, UtcInstant moment) {
  PlanetaryHours out = hour_within(day, moment);
  out.sunrise = day.sunrise.isoformat();
  out.sunset = day.sunset.isoformat();
  return out;
}

PlanetaryHours hour_within(const SolarDay& day, UtcInstant moment) {
  PlanetaryHours out;
  // The weekday of the sunrise's UTC date; 1970-01-01 was a Thursday.
  const int64_t days = epoch_day(day.sunrise);
  const int weekday = static_cast<int>(((days + 3) % 7 + 7) % 7);
  const int ruler = kWeekdayRuler[weekday];
  out.day_ruler = kChaldeanOrder[ruler];

  int offset = 0;
  out.fallback = day.fallback;
  // A polar night has no day half, not even the instant it starts.
  if (day.fallback != DayFallback::PolarNight && day.sunrise <= moment && moment <= day.sunset) {
    const double length = std::max(seconds_between(day.sunrise, day.sunset) / 12.0, 1.0);
    out.hour_number = hour_of(seconds_between(day.sunrise, moment), length);
    out.hour_type = "Day";
    out.is_day = true;
  } else {
    out.hour_type = "Night";
    out.is_day = false;
    offset = 12;
    if (moment < day.sunset) {
      // Before the sunrise that opens this day: the last hour of the night before.
      out.hour_number = 12;
    } else {
      const double length = std::max(seconds_between(day.sunset, day.next_sunrise) / 12.0, 1.0);
      out.hour_number = hour_of(seconds_between(day.sunset, moment), length);
    }
  }
  out.hour_ruler = kChaldeanOrder[(ruler + offset + out.hour_number - 1) % 7];
  return out;
}

void write(RecordWriter& out, const PlanetaryHours& hours) {
  const std::string_view fallback = fallback_key(hours.fallback);
  ObjectWriter(out)
      .field("is_day", hours.is_day)
      .field("day_ruler", hours.day_ruler)
      .field("hour_ruler", hours.hour_ruler)
      .field("hour_number", hours.hour_number)
      .field("hour_type", hours.hour_type)
      .field("sunrise", hours.sunrise)
      .field("sunset", hours.sunset)
      .field("fallback", fallback.empty() ? std::nullopt : std::optional(fallback));
}

}  // namespace quorvane
