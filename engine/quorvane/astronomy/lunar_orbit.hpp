// The Moon's orbit as astrologers use it: the mean node and mean apogee
// (Lilith) from their polynomials, and the true (osculating) node and
// apogee from the Moon's geocentric state. Angles in degrees, ecliptic and
// equinox of date.
#pragma once

#include "quorvane/base/vector.hpp"

namespace quorvane {

// The mean ascending node at a UT Julian day, in [0, 360): the chart's
// polynomial in UT centuries.
double mean_lunar_node(double jd);

// The mean apogee (Lilith) at a UT Julian day less an ayanamsa, in
// [0, 360), projected onto the ecliptic from the mean orbit inclined 5.145
// degrees. The ayanamsa is taken off before the one reduction, as the
// chart does.
double mean_lunar_apogee(double jd, double ayanamsa);

struct OrbitPoint {
  double longitude;  // degrees in [0, 360)
  double latitude;   // degrees
  double distance;   // au, from the geocentre along the osculating orbit
};

struct OsculatingOrbit {
  OrbitPoint node;    // ascending node on the ecliptic (latitude 0)
  OrbitPoint apogee;  // the far end of the osculating ellipse
};

// The osculating two-body orbit of a geocentric state (au, au/day) given
// in ecliptic-of-date axes, with the Earth-Moon gravitational parameter.
OsculatingOrbit osculating_orbit(const Vec3& position, const Vec3& velocity);

}  // namespace quorvane
