// Local space: from one place, the great circle toward each point's azimuth
// at the moment, as lines on the map.
#pragma once

#include <vector>

#include "quorvane/astrocartography/map_track.hpp"
#include "quorvane/astrocartography/parans.hpp"

namespace quorvane {

struct LocalSpaceLine {
  double azimuth;   // degrees from north through east, [0, 360)
  double altitude;  // geometric, degrees
  std::vector<MapTrack> segments;  // the whole circle, cut at the antimeridian
};

// For an observer at `latitude`, `longitude` (degrees, east positive) when
// the Greenwich sidereal time is `sidereal_time` (degrees).
LocalSpaceLine local_space_line(const EquatorialPoint& point, double latitude, double longitude,
                                double sidereal_time, double tolerance);

}  // namespace quorvane
