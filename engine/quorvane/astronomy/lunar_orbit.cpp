#include "quorvane/astronomy/lunar_orbit.hpp"

#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/time/time_scales.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {


// G(M_earth + M_moon) of DE440 (Park et al. 2021), km^3/s^2, in au^3/day^2.
constexpr double kEarthMoonGm = 403503.235502 * (86400.0 * 86400.0) / (kAuKm * kAuKm * kAuKm);

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double centuries(double jd) { return (jd - kJ2000) / 36525.0; }

}  // namespace

// The chart and the positions both read the mean points here, so they agree
// to the bit.
double mean_lunar_node(double jd) {
  const double t = centuries(jd);
  return normalize_degrees(125.0445479 - 1934.1362891 * t + 0.0020754 * t * t +
                           t * t * t / 467441.0 - t * t * t * t / 60616000.0);
}

double mean_lunar_apogee(double jd, double ayanamsa) {
  const double t = centuries(jd);
  const double node = mean_lunar_node(jd);
  const double perigee = normalize_degrees(83.3532465 + 4069.0137287 * t - 0.01032 * t * t -
                                           t * t * t / 80053.0);
  const double apogee = normalize_degrees(perigee + 180.0);
  const double u = normalize_degrees(apogee - node) / kDegreesPerRadian;
  const double lambda = std::atan2(0.9959703203465923 * std::sin(u), std::cos(u)) * kDegreesPerRadian;
  return normalize_degrees(lambda + node - ayanamsa);
}

OsculatingOrbit osculating_orbit(const Vec3& r, const Vec3& v) {
  // Angular momentum: the ascending node lies along z x h.
  const Vec3 h = cross(r, v);
  const double node_longitude = std::atan2(h[0], -h[1]);
  const Vec3 node_direction{std::cos(node_longitude), std::sin(node_longitude), 0.0};
  // Eccentricity vector, pointing at the perigee.
  const Vec3 e = cross(v, h) / kEarthMoonGm - r / length(r);
  const double p = dot(h, h) / kEarthMoonGm;  // semi-latus rectum
  const double eccentricity = length(e);

  OsculatingOrbit orbit;
  orbit.node = {normalize_degrees(node_longitude * kDegreesPerRadian), 0.0,
                p / (1.0 + dot(e, node_direction))};
  orbit.apogee = {normalize_degrees(std::atan2(-e[1], -e[0]) * kDegreesPerRadian),
                  std::atan2(-e[2], std::hypot(e[0], e[1])) * kDegreesPerRadian,
                  p / (1.0 - eccentricity)};
  return orbit;
}

}  // namespace quorvane
