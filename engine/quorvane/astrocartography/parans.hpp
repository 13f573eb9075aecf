// Parans: the latitudes where two points of the sky stand on angles at the
// same moment of the day (one rising while the other culminates, ...).
#pragma once

#include <cstddef>
#include <vector>

#include "quorvane/astrocartography/angle_lines.hpp"

namespace quorvane {

struct EquatorialPoint {
  double right_ascension;  // degrees, of date
  double declination;
};

struct Paran {
  size_t first;  // indices into the points, first < second
  MapAngle first_angle;
  size_t second;
  MapAngle second_angle;
  double latitude;   // degrees
  double longitude;  // where the two lines cross at the moment itself, degrees
};

// Every latitude where point `first` on one angle and point `second` on
// another stand there together: the local sidereal time that puts the first
// on its angle puts the second on its own. Two meridian angles share no
// latitude (that would need equal right ascensions) and are left out. A
// meridian and a horizon angle meet at one latitude at most; two horizon
// angles, for each pair of points, at two latitudes of opposite sign
// between the four pairs of angles, and none for points that coincide or
// stand opposite (their horizons are one circle).
// `sidereal_time` (degrees, Greenwich) places the crossing of the two lines
// at the moment given.
std::vector<Paran> parans(const std::vector<EquatorialPoint>& points, double sidereal_time);

}  // namespace quorvane
