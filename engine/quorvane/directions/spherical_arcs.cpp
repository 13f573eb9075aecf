#include "quorvane/directions/spherical_arcs.hpp"

#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::directions {
namespace {


// asin in degrees, none outside [-1, 1] (a circle the point never meets).
std::optional<double> asin_d(double value) {
  if (!(std::fabs(value) <= 1.0)) return std::nullopt;
  return std::asin(value) * kDegreesPerRadian;
}

}  // namespace

double right_ascension(double longitude, double ecliptic_latitude, double obliquity) {
  const double y = sind(longitude) * cosd(obliquity) - tand(ecliptic_latitude) * sind(obliquity);
  return normalize_degrees(std::atan2(y, cosd(longitude)) * kDegreesPerRadian);
}

double declination(double longitude, double ecliptic_latitude, double obliquity) {
  const double s = sind(ecliptic_latitude) * cosd(obliquity) +
                   cosd(ecliptic_latitude) * sind(obliquity) * sind(longitude);
  return std::asin(std::fmax(-1.0, std::fmin(1.0, s))) * kDegreesPerRadian;
}

EquatorialPoint equatorial_point(double longitude, double ecliptic_latitude, double obliquity) {
  return {right_ascension(longitude, ecliptic_latitude, obliquity),
          declination(longitude, ecliptic_latitude, obliquity)};
}

double hour_angle(double ramc, double right_ascension) {
  const double h = std::remainder(ramc - right_ascension, 360.0);
  return h == -180.0 ? 180.0 : h;
}

std::optional<double> ascensional_difference(double declination, double latitude) {
  return asin_d(tand(latitude) * tand(declination));
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
  const auto ad = asin_d(tand(pole) * tand(point.declination));
  if (!ad) return std::nullopt;
  return point.right_ascension - *ad;
}

}  // namespace quorvane::directions
