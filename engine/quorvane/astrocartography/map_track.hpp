// Curves on an equirectangular map (longitude, latitude in degrees): great
// circles sampled so that the straight segments between samples stay close
// to the curve, and tracks cut where they cross the antimeridian.
#pragma once

#include <array>
#include <vector>

#include "quorvane/base/vector.hpp"

namespace quorvane {

using MapPoint = std::array<double, 2>;  // {longitude, latitude}, degrees
using MapTrack = std::vector<MapPoint>;

// The part of the great circle with unit normal `normal` (Earth-fixed axes:
// x to longitude 0, z to the north pole) over the unwrapped longitudes
// `from`..`to` (to > from), as the latitude of each longitude. Samples are
// added until every chord stays within `tolerance` degrees of the curve in
// the map plane. The circle must not pass through the poles (normal with a
// z component), as such a circle is no function of longitude.
MapTrack sample_great_circle(const Vec3& normal, double from, double to, double tolerance);

// The latitude of the circle with unit normal `normal` at a longitude.
double great_circle_latitude(const Vec3& normal, double longitude);

// A track with unwrapped longitudes as pieces with longitudes in
// [-180, 180]: where the track crosses the antimeridian it ends at the
// crossing (latitude interpolated) and the next piece starts there on the
// other side.
std::vector<MapTrack> split_at_antimeridian(const MapTrack& track);

// A longitude in degrees brought into [-180, 180).
double wrap_longitude(double degrees);

}  // namespace quorvane
