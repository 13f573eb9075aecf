#include "quorvane/traditional/lunar.hpp"

#include <array>
#include <cmath>
#include <numbers>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/traditional/placement.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr std::array<LunarPhase, 8> kPhases{{
    {"new_moon", "New Moon", 1, "\U0001F311"},
    {"waxing_crescent", "Waxing Crescent", 1, "\U0001F312"},
    {"first_quarter", "First Quarter", 2, "\U0001F313"},
    {"waxing_gibbous", "Waxing Gibbous", 2, "\U0001F314"},
    {"full_moon", "Full Moon", 3, "\U0001F315"},
    {"waning_gibbous", "Waning Gibbous", 3, "\U0001F316"},
    {"third_quarter", "Third Quarter", 4, "\U0001F317"},
    {"waning_crescent", "Waning Crescent", 4, "\U0001F318"},
}};

constexpr double kSynodicMonthDays = 29.530588853;
constexpr double kMansionWidth = 360.0 / 28.0;

std::string_view dignity_by_sign(std::string_view sign) {
  if (sign == "Cancer") return "Domicile";
  if (sign == "Taurus") return "Exaltation";
  if (sign == "Scorpio") return "Fall";
  if (sign == "Capricorn") return "Detriment";
  return "Peregrine";
}

std::string_view speed_class(double speed) {
  if (speed > 13.5) return "swift";
  if (speed < 12.5) return "slow";
  return "average";
}

}  // namespace

const LunarPhase& lunar_phase(double elongation) {
  // Upper bounds of phases 0-6; whatever is left (E >= 337.5 and NaN) is new.
  constexpr double kBounds[] = {22.5, 67.5, 112.5, 157.5, 202.5, 247.5, 292.5, 337.5};
  if (elongation < kBounds[0]) return kPhases[0];
  for (std::size_t i = 1; i < 8; ++i) {
    if (elongation < kBounds[i]) return kPhases[i];
  }
  return kPhases[0];
}

std::size_t mansion_index(double longitude) {
  const double n = std::floor(longitude / kMansionWidth);
  // Saturate like a checked float-to-integer conversion: NaN is 0 and values
  // beyond the 64-bit range clamp rather than overflow.
  int64_t whole = 0;
  if (n >= 9.223372036854775807e18) {
    whole = INT64_MAX;
  } else if (n <= -9.223372036854775808e18) {
    whole = INT64_MIN;
  } else if (n == n) {
    whole = static_cast<int64_t>(n);
  }
  int64_t index = whole % 28;
  if (index < 0) index += 28;
  return static_cast<std::size_t>(index);
}

std::optional<LunarStatus> lunar_status(const std::vector<Placement>& placements) {
  const Placement* moon = first_named(placements, "Moon");
  if (!moon) return std::nullopt;
  const Placement* sun = first_named(placements, "Sun");

  const double sun_longitude = sun ? sun->ecliptic_longitude : 0.0;
  const double e = normalize_degrees(moon->ecliptic_longitude - sun_longitude);

  LunarStatus status;
  status.phase = &lunar_phase(e);
  status.elongation = pyfloat::round(e, 2);
  const double illuminated = (1.0 - std::cos(e * std::numbers::pi / 180.0)) * 0.5;
  status.illumination_percentage = pyfloat::round(illuminated * 100.0, 1);
  status.moon_age_days = pyfloat::round(e / 360.0 * kSynodicMonthDays, 1);
  status.is_waxing = e < 180.0;
  status.moon_sign = moon->sign;
  status.moon_degree = moon->degree;
  status.moon_minute = moon->minute;
  status.moon_longitude = pyfloat::round(moon->ecliptic_longitude, 3);
  status.moon_house = moon->house;
  status.moon_speed = pyfloat::round(moon->speed, 2);
  status.speed_status = speed_class(moon->speed);
  status.essential_dignity = dignity_by_sign(kSigns[moon->sign].name);
  status.lunar_mansion = &kLunarMansions[mansion_index(moon->ecliptic_longitude)];
  return status;
}

void write(RecordWriter& out, const LunarMansion& mansion) {
  ObjectWriter(out)
      .field("number", mansion.number)
      .field("arabic", mansion.arabic)
      .field("name", mansion.name)
      .field("sign", mansion.sign)
      .field("degree_start", mansion.degree_start)
      .field("degree_end", mansion.degree_end);
}

void write(RecordWriter& out, const LunarStatus& status) {
  ObjectWriter(out)
      .field("phase_key", status.phase->key)
      .field("phase_name", status.phase->name)
      .field("phase_quarter", status.phase->quarter)
      .field("glyph", status.phase->glyph)
      .field("elongation", status.elongation)
      .field("illumination_percentage", status.illumination_percentage)
      .field("moon_age_days", status.moon_age_days)
      .field("is_waxing", status.is_waxing)
      .field("moon_sign", kSigns[status.moon_sign].name)
      .field("moon_degree", status.moon_degree)
      .field("moon_minute", status.moon_minute)
      .field("moon_longitude", status.moon_longitude)
      .field("moon_house", status.moon_house)
      .field("moon_speed", status.moon_speed)
      .field("speed_status", status.speed_status)
      .field("essential_dignity", status.essential_dignity)
      .field("lunar_mansion", *status.lunar_mansion);
}

}  // namespace quorvane
