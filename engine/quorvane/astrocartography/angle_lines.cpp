#include "quorvane/astrocartography/angle_lines.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/base/angles.hpp"

namespace quorvane {

std::string_view angle_name(MapAngle angle) {
  switch (angle) {
    case MapAngle::mc: return "MC";
    case MapAngle::ic: return "IC";
    case MapAngle::asc: return "ASC";
    case MapAngle::dsc: return "DSC";
  }
  return {};
}

std::optional<double> hour_angle_on(MapAngle angle, double latitude, double declination) {
  if (angle == MapAngle::mc) return 0.0;
  if (angle == MapAngle::ic) return 180.0;
  const double x = -std::tan(latitude * kRadiansPerDegree) *
                   std::tan(declination * kRadiansPerDegree);
  // A hair beyond 1 is rounding at the latitude where the line ends.
  if (!(std::abs(x) <= 1.0 + 1e-12)) return std::nullopt;
  const double h0 = std::acos(std::clamp(x, -1.0, 1.0)) * kDegreesPerRadian;
  return angle == MapAngle::asc ? -h0 : h0;
}

namespace {

AngleLine meridian(MapAngle angle, double longitude) {
  const double lon = wrap_longitude(longitude);
  return {angle, -90.0, 90.0, {{{lon, -90.0}, {lon, 90.0}}}};
}

}  // namespace

std::vector<AngleLine> angle_lines(double right_ascension, double declination,
                                   double sidereal_time, double tolerance) {
  // The longitude under the point (its hour angle 0 there).
  const double under = right_ascension - sidereal_time;
  std::vector<AngleLine> lines;
  lines.push_back(meridian(MapAngle::mc, under));
  lines.push_back(meridian(MapAngle::ic, under + 180.0));
  const double d = declination * kRadiansPerDegree;
  const double reach = 90.0 - std::abs(declination);  // beyond it: always up or always down
  if (std::abs(std::sin(d)) < 1e-12) {
    // On the equator the point rises and sets everywhere six hours from
    // the meridian: the horizon circle runs through the poles.
    AngleLine rising = meridian(MapAngle::asc, under - 90.0);
    AngleLine setting = meridian(MapAngle::dsc, under + 90.0);
    lines.push_back(rising);
    lines.push_back(setting);
    return lines;
  }
  // The horizon of the point is the great circle 90 degrees from the place
  // beneath it; hour angles -180..0 rise, 0..180 set.
  const double u = under * kRadiansPerDegree;
  const Vec3 beneath{std::cos(d) * std::cos(u), std::cos(d) * std::sin(u), std::sin(d)};
  const double south = -reach, north = reach;
  lines.push_back({MapAngle::asc, south, north,
                   split_at_antimeridian(
                       sample_great_circle(beneath, under - 180.0, under, tolerance))});
  lines.push_back({MapAngle::dsc, south, north,
                   split_at_antimeridian(
                       sample_great_circle(beneath, under, under + 180.0, tolerance))});
  return lines;
}

}  // namespace quorvane
