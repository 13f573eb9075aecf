#include "quorvane/directions/direction_methods.hpp"

#include <cmath>
#include <string>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::directions {
namespace {

double atan_d(double value) { return std::atan(value) * kDegreesPerRadian; }

struct MethodName {
  Method method;
  std::string_view name;
};
constexpr MethodName kMethodNames[] = {
    {Method::PlacidusMundane, "placidus_mundane"},
    {Method::PlacidusZodiacal, "placidus_zodiacal"},
    {Method::PlacidusPole, "placidus_pole"},
    {Method::Regiomontanus, "regiomontanus"},
    {Method::Campanus, "campanus"},
    {Method::Topocentric, "topocentric"},
};

// On the eastern half the pole gives ascensions, on the western descensions.
double signed_for_half(double pole, double hour_angle) { return hour_angle < 0.0 ? pole : -pole; }

std::optional<double> pole_of(Method method, double hour_angle, double declination,
                              double latitude) {
  switch (method) {
    case Method::PlacidusPole:
      return placidus_pole(hour_angle, declination, latitude);
    case Method::Regiomontanus:
      return regiomontanus_pole(hour_angle, declination, latitude);
    case Method::Campanus:
      return campanus_pole(hour_angle, declination, latitude);
    default:
      return topocentric_pole(hour_angle, declination, latitude);
  }
}

}  // namespace

Expected<Method, EngineError> method_from_text(std::string_view text) {
  for (const MethodName& entry : kMethodNames) {
    if (entry.name == text) return entry.method;
  }
  return unexpected(EngineError::invalid_input(
      "method must be placidus_mundane, placidus_zodiacal, placidus_pole, regiomontanus, "
      "campanus or topocentric, got " + std::string(text)));
}

std::string_view method_name(Method method) {
  for (const MethodName& entry : kMethodNames) {
    if (entry.method == method) return entry.name;
  }
  return {};
}

std::optional<double> placidus_position(double hour_angle, double declination, double latitude) {
  const auto day = diurnal_semi_arc(declination, latitude);
  if (!day) return std::nullopt;
  const double night = 180.0 - *day;
  const double h = normalize_degrees(hour_angle);
  if (h < *day) return 90.0 * h / *day;
  if (h < 180.0) return 90.0 + 90.0 * (h - *day) / night;
  if (h < 360.0 - *day) return 180.0 + 90.0 * (h - 180.0) / night;
  return 270.0 + 90.0 * (h - (360.0 - *day)) / *day;
}

std::optional<double> placidus_hour_angle(double position, double declination, double latitude) {
  const auto day = diurnal_semi_arc(declination, latitude);
  if (!day) return std::nullopt;
  const double night = 180.0 - *day;
  const double q = normalize_degrees(position);
  if (q < 90.0) return q * *day / 90.0;
  if (q < 180.0) return *day + (q - 90.0) * night / 90.0;
  if (q < 270.0) return 180.0 + (q - 180.0) * night / 90.0;
  return normalize_degrees(360.0 - *day + (q - 270.0) * *day / 90.0);
}

std::optional<double> semi_arc_fraction(double hour_angle, double declination, double latitude) {
  const auto day = diurnal_semi_arc(declination, latitude);
  if (!day) return std::nullopt;
  const double distance = std::fabs(hour_angle);
  if (distance <= *day) return *day > 0.0 ? distance / *day : 1.0;
  const double night = 180.0 - *day;
  return night > 0.0 ? (180.0 - distance) / night : 1.0;
}

std::optional<double> placidus_pole(double hour_angle, double declination, double latitude) {
  const auto fraction = semi_arc_fraction(hour_angle, declination, latitude);
  const auto ad = ascensional_difference(declination, latitude);
  if (!fraction || !ad) return std::nullopt;
  // On the equator the ratio tends to fraction x tan(latitude).
  const double tangent = std::fabs(declination) < 1e-9
                             ? *fraction * tand(latitude)
                             : sind(*fraction * *ad) / tand(declination);
  return signed_for_half(atan_d(tangent), hour_angle);
}

double regiomontanus_position(double hour_angle, double declination, double latitude) {
  return std::atan2(sind(hour_angle), cosd(hour_angle) + tand(latitude) * tand(declination)) *
         kDegreesPerRadian;
}

double regiomontanus_pole(double hour_angle, double declination, double latitude) {
  return -atan_d(tand(latitude) * sind(regiomontanus_position(hour_angle, declination, latitude)));
}

double campanus_position(double hour_angle, double declination, double latitude) {
  const double west = cosd(declination) * sind(hour_angle);
  const double up = cosd(latitude) * cosd(declination) * cosd(hour_angle) +
                    sind(latitude) * sind(declination);
  return std::atan2(west, up) * kDegreesPerRadian;
}

double campanus_pole(double hour_angle, double declination, double latitude) {
  const double c = campanus_position(hour_angle, declination, latitude);
  return -std::asin(sind(latitude) * sind(c)) * kDegreesPerRadian;
}

std::optional<double> topocentric_pole(double hour_angle, double declination, double latitude) {
  const auto fraction = semi_arc_fraction(hour_angle, declination, latitude);
  if (!fraction) return std::nullopt;
  return signed_for_half(atan_d(*fraction * tand(latitude)), hour_angle);
}

std::optional<double> primary_arc(Method method, const EquatorialPoint& mover,
                                  const EquatorialPoint& target, double ramc, double latitude,
                                  double mundane_shift) {
  const double mover_hour = hour_angle(ramc, mover.right_ascension);
  const double target_hour = hour_angle(ramc, target.right_ascension);
  std::optional<double> arc;
  if (method == Method::PlacidusMundane || method == Method::PlacidusZodiacal) {
    const auto position = placidus_position(target_hour, target.declination, latitude);
    if (!position) return std::nullopt;
    const auto wanted =
        placidus_hour_angle(*position + mundane_shift, mover.declination, latitude);
    if (!wanted) return std::nullopt;
    arc = *wanted - mover_hour;
  } else {
    const auto pole = pole_of(method, target_hour, target.declination, latitude);
    if (!pole || !std::isfinite(*pole)) return std::nullopt;
    const auto moving = oblique_ascension_under_pole(mover, *pole);
    const auto standing = oblique_ascension_under_pole(target, *pole);
    if (!moving || !standing) return std::nullopt;
    arc = *moving - *standing;
  }
  if (!std::isfinite(*arc)) return std::nullopt;
  return normalize_degrees(*arc);
}

}  // namespace quorvane::directions
