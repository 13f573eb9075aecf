#include "quorvane/directions/spherical_arcs.hpp"

#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::directions {
namespace {

double sin_d(double degrees) { return std::sin(degrees * kRadiansPerDegree); }
double cos_d(double degrees) { return std::cos(degrees * kRadiansPerDegree); }
double tan_d(double degrees) { return std::tan(degrees * kRadiansPerDegree); }

// asin in degrees, none outside [-1, 1] (a circle the point never meets).
std::optional<double> asin_d(double value) {
  if (!(std::fabs(value) <= 1.0)) return std::nullopt;
  return std::asin(value) * kDegreesPerRadian;
}

}  // namespace

double right_ascension(double longitude, double ecliptic_latitude, double obliquity) {
  const double y = sin_d(longitude) * cos_d(obliquity) - tan_d(ecliptic_latitude) * sin_d(obliquity);
  return normalize_degrees(std::atan2(y, cos_d(longitude)) * kDegreesPerRadian);
}

double declination(double longitude, double ecliptic_latitude, double obliquity) {
  const double s = sin_d(ecliptic_latitude) * cos_d(obliquity) +
                   cos_d(ecliptic_latitude) * sin_d(obliquity) * sin_d(longitude);
  return std::asin(std::fmax(-1.0, std::fmin(1.0, s))) * kDegreesPerRadian;
}

EquatorialPoint equatorial_point(double longitude, double ecliptic_latitude, double obliquity) {
  return {right_ascension(longitude, ecliptic_latitude, obliquity),
          declination(longitude, ecliptic_latitude, obliquity)};
}

double midheaven_longitude(double ramc, double obliquity) {
  return normalize_degrees(std::atan2(sin_d(ramc), cos_d(ramc) * cos_d(obliquity)) *
                           kDegreesPerRadian);
}

double ascendant_longitude(double ramc, double obliquity, double latitude) {
  const double x = -(sin_d(ramc) * cos_d(obliquity) + tan_d(latitude) * sin_d(obliquity));
  return normalize_degrees(std::atan2(cos_d(ramc), x) * kDegreesPerRadian);
}

double hour_angle(double ramc, double right_ascension) {
  const double h = std::remainder(ramc - right_ascension, 360.0);
  return h == -180.0 ? 180.0 : h;
}

std::optional<double> ascensional_difference(double declination, double latitude) {
  return asin_d(tan_d(latitude) * tan_d(declination));
}

std::optional<double> diurnal_semi_arc(double declination, double latitude) {
  const auto ad = ascensional_difference(declination, latitude);
  if (!ad) return std::nullopt;
  return 90.0 + *ad;
}

std::optional<double> nocturnal_semi_arc(double declination, double latitude) {
  const auto ad = ascensional_difference(declination, latitude);
  if (!ad) return std::nullopt;
  return 90.0 - *ad;
}

std::optional<double> oblique_ascension_under_pole(const EquatorialPoint& point, double pole) {
  const auto ad = asin_d(tan_d(pole) * tan_d(point.declination));
  if (!ad) return std::nullopt;
  return point.right_ascension - *ad;
}

}  // namespace quorvane::directions
