#include "quorvane/astrocartography/local_space.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/base/angles.hpp"

namespace quorvane {

LocalSpaceLine local_space_line(const EquatorialPoint& point, double latitude, double longitude,
                                double sidereal_time, double tolerance) {
  const double phi = latitude * kRadiansPerDegree;
  const double lam = longitude * kRadiansPerDegree;
  const double dec = point.declination * kRadiansPerDegree;
  const double h = (sidereal_time + longitude - point.right_ascension) * kRadiansPerDegree;
  const double north_part = std::sin(dec) * std::cos(phi) - std::cos(dec) * std::sin(phi) * std::cos(h);
  const double east_part = -std::cos(dec) * std::sin(h);
  LocalSpaceLine line;
  double az = std::atan2(east_part, north_part) * kDegreesPerRadian;
  line.azimuth = az < 0.0 ? az + 360.0 : az;
  line.altitude = std::asin(std::clamp(std::sin(phi) * std::sin(dec) +
                                           std::cos(phi) * std::cos(dec) * std::cos(h),
                                       -1.0, 1.0)) *
                  kDegreesPerRadian;
  // The circle through the place along the azimuth: its normal is the
  // place crossed with the direction of travel there.
  const double a = line.azimuth * kRadiansPerDegree;
  const Vec3 place{std::cos(phi) * std::cos(lam), std::cos(phi) * std::sin(lam), std::sin(phi)};
  const Vec3 north{-std::sin(phi) * std::cos(lam), -std::sin(phi) * std::sin(lam), std::cos(phi)};
  const Vec3 east{-std::sin(lam), std::cos(lam), 0.0};
  const Vec3 d = std::cos(a) * north + std::sin(a) * east;
  const Vec3 normal{place[1] * d[2] - place[2] * d[1], place[2] * d[0] - place[0] * d[2],
                    place[0] * d[1] - place[1] * d[0]};
  if (std::abs(normal[2]) < 1e-12) {
    // Due north or south: the circle is a meridian and its opposite.
    const double here = wrap_longitude(longitude), there = wrap_longitude(longitude + 180.0);
    line.segments = {{{here, -90.0}, {here, 90.0}}, {{there, -90.0}, {there, 90.0}}};
  } else {
    line.segments =
        split_at_antimeridian(sample_great_circle(normal, -180.0, 180.0, tolerance));
  }
  return line;
}

}  // namespace quorvane
