// Where on Earth a point of the sky stands on an angle at one moment: the
// meridians of its culmination (MC) and lower culmination (IC), and the
// curves of its rising (ASC) and setting (DSC).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "quorvane/astrocartography/map_track.hpp"

namespace quorvane {

enum class MapAngle { mc, ic, asc, dsc };

inline constexpr MapAngle kMapAngles[] = {MapAngle::mc, MapAngle::ic, MapAngle::asc,
                                          MapAngle::dsc};

// "MC", "IC", "ASC", "DSC".
std::string_view angle_name(MapAngle angle);

// The hour angle (degrees, west positive, in [-180, 180]) at which a point
// of declination `declination` stands on `angle` for an observer at
// `latitude` (degrees): 0 on the meridian, 180 below it, -H0 rising and
// +H0 setting with cos H0 = -tan(latitude) tan(declination) (geometric
// horizon: no refraction, no parallax, no semidiameter). None where the
// point never reaches the horizon there (circumpolar or never rising).
std::optional<double> hour_angle_on(MapAngle angle, double latitude, double declination);

struct AngleLine {
  MapAngle angle;
  double south;  // the latitudes where the line ends, degrees
  double north;
  std::vector<MapTrack> segments;  // longitudes in [-180, 180], no antimeridian crossing
};

// The four lines of a point of right ascension `right_ascension` and
// declination `declination` (degrees, of date) when the Greenwich sidereal
// time is `sidereal_time` (degrees): geographic longitude = RA - GST + H.
// The rising and setting halves of the horizon circle are sampled so that
// straight segments stay within `tolerance` degrees of the curve.
std::vector<AngleLine> angle_lines(double right_ascension, double declination,
                                   double sidereal_time, double tolerance);

}  // namespace quorvane
