// Unit vectors of the celestial sphere in equatorial coordinates of date (x
// to the equinox, z to the north pole), for house circles that are easier
// to state as planes than as formulas: a cusp is where a house circle's
// plane cuts the ecliptic's.
#pragma once

#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::house_sphere {

struct Vec {
  double x, y, z;
};

inline Vec operator*(double k, Vec v) { return {k * v.x, k * v.y, k * v.z}; }
inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec cross(Vec a, Vec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The local frame of a RAMC and latitude and the ecliptic of an obliquity
// (degrees).
struct Frame {
  Vec zenith, east, north, ecliptic_pole;
  double obliquity;

  Frame(double ramc, double latitude, double obliquity_degrees) : obliquity(obliquity_degrees) {
    const double t = ramc * kRadiansPerDegree, p = latitude * kRadiansPerDegree;
    const double e = obliquity_degrees * kRadiansPerDegree;
    zenith = {std::cos(p) * std::cos(t), std::cos(p) * std::sin(t), std::sin(p)};
    east = {-std::sin(t), std::cos(t), 0.0};
    north = {-std::sin(p) * std::cos(t), -std::sin(p) * std::sin(t), std::cos(p)};
    ecliptic_pole = {0.0, -std::sin(e), std::cos(e)};
  }

  // Ecliptic longitude (degrees, [0, 360)) of a direction.
  double longitude(Vec v) const {
    const double e = obliquity * kRadiansPerDegree;
    return normalize_degrees(std::atan2(v.y * std::cos(e) + v.z * std::sin(e), v.x) *
                             kDegreesPerRadian);
  }

  // The ecliptic point of longitude `lambda` (degrees).
  Vec ecliptic_point(double lambda) const {
    const double l = lambda * kRadiansPerDegree, e = obliquity * kRadiansPerDegree;
    return {std::cos(l), std::sin(l) * std::cos(e), std::sin(l) * std::sin(e)};
  }

  // Where the great circle of plane normal `normal` cuts the ecliptic, on
  // the side of `side` (the half of the house circle the cusp belongs to).
  double cut(Vec normal, Vec side) const {
    Vec d = cross(ecliptic_pole, normal);
    if (dot(d, side) < 0.0) d = -1.0 * d;
    return longitude(d);
  }
};

// A point of hour angle `h` (degrees, west positive) and declination `dec`
// at RAMC `ramc`.
inline Vec at_hour_angle(double ramc, double h, double dec) {
  const double a = (ramc - h) * kRadiansPerDegree, d = dec * kRadiansPerDegree;
  return {std::cos(d) * std::cos(a), std::cos(d) * std::sin(a), std::sin(d)};
}

}  // namespace quorvane::house_sphere
