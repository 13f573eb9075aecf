#include "quorvane/traditional/condition.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

bool is_diurnal_chart(double sun, double ascendant) {
  return normalize_degrees(sun - ascendant) >= 180.0;
}

std::string_view chart_sect(double sun, double ascendant) {
  return sect_name(is_diurnal_chart(sun, ascendant));
}

std::string_view sect_name(bool diurnal) { return diurnal ? "diurnal" : "nocturnal"; }

HorizonSides HorizonSides::by_ascendant(double ascendant) {
  HorizonSides sides;
  sides.ascendant_ = ascendant;
  return sides;
}

HorizonSides HorizonSides::by_altitude(double ramc, double latitude, double obliquity,
                                       double offset) {
  HorizonSides sides;
  sides.by_altitude_ = true;
  sides.ramc_ = ramc;
  sides.latitude_ = latitude;
  sides.obliquity_ = obliquity;
  sides.offset_ = offset;
  return sides;
}

bool HorizonSides::above(double longitude) const {
  if (!by_altitude_) return normalize_degrees(longitude - ascendant_) >= 180.0;
  const double r = kRadiansPerDegree;
  const double lambda = (longitude + offset_) * r, eps = obliquity_ * r, phi = latitude_ * r;
  const double sin_dec = std::sin(eps) * std::sin(lambda);
  const double cos_dec = std::sqrt(std::max(0.0, 1.0 - sin_dec * sin_dec));
  const double ra = std::atan2(std::cos(eps) * std::sin(lambda), std::cos(lambda));
  const double hour_angle = ramc_ * r - ra;
  return std::sin(phi) * sin_dec + std::cos(phi) * cos_dec * std::cos(hour_angle) > 0.0;
}

std::optional<std::string_view> solar_phase(std::string_view planet, double longitude, double sun) {
  if (planet == "Sun") return std::nullopt;
  const double d = angular_separation(longitude, sun);
  if (d <= kCazimiOrb) return "cazimi";
  if (d < kCombustOrb) return "combust";
  if (d < kUnderBeamsOrb) return "under_beams";
  return std::nullopt;
}

std::optional<Condition> condition(std::string_view name, double longitude, double speed,
                                   DignityScheme scheme, double sun, double ascendant) {
  return condition(name, longitude, speed, scheme, sun, HorizonSides::by_ascendant(ascendant));
}

std::optional<Condition> condition(std::string_view name, double longitude, double speed,
                                   DignityScheme scheme, double sun, const HorizonSides& sides) {
  const PlanetTraits* planet = first_named(kPlanetTraits, name);
  if (!planet) return std::nullopt;
  const bool diurnal = sides.above(sun);

  Condition c;
  if (planet->orientality_judged) {
    // Oriental: rising before the Sun, i.e. behind it in longitude. A planet
    // exactly conjunct or opposite counts as occidental.
    const double behind = normalize_degrees(sun - longitude);
    c.orientality = behind > 0.0 && behind < 180.0 ? "oriental" : "occidental";
  }

  const bool own_diurnal = planet->sect == OwnSect::DiurnalWhenOriental
                               ? c.orientality == "oriental"
                               : planet->sect == OwnSect::Diurnal;
  c.sect = own_diurnal ? "diurnal" : "nocturnal";
  c.in_sect = own_diurnal == diurnal;

  const double v = std::fabs(speed);
  if (planet->can_be_stationary && v < 0.1 * planet->mean_motion) {
    c.motion = "stationary";
  } else {
    c.motion = v >= planet->mean_motion ? "fast" : "slow";  // NaN is slow
  }

  c.essential = essential_dignity(name, scheme, longitude, diurnal);
  c.solar_phase = solar_phase(name, longitude, sun);
  c.above_horizon = sides.above(longitude);
  return c;
}

void write(RecordWriter& out, const Condition& c) {
  ObjectWriter(out)
      .field("essential", c.essential)
      .field("sect", c.sect)
      .field("in_sect", c.in_sect)
      .field("above_horizon", c.above_horizon)
      .field("solar_phase", c.solar_phase)
      .field("orientality", c.orientality)
      .field("motion", c.motion);
}

void write(RecordWriter& out, const PlanetCondition& pc) {
  ObjectWriter(out).field("name", pc.name).field("condition", pc.condition);
}

}  // namespace quorvane
