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
// latitude (that would need equal right ascensions) and are left out.
// `sidereal_time` (degrees, Greenwich) places the crossing of the two lines
// at the moment given.
std::vector<Paran> parans(const std::vector<EquatorialPoint>& points, double sidereal_time);

}  // namespace quorvane
