// Lines and parans checked from the definitions (altitude, hour angle) over
// random points of the sky and sidereal times.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "quorvane/astrocartography/angle_lines.hpp"
#include "quorvane/astrocartography/parans.hpp"

namespace {

using quorvane::EquatorialPoint;
using quorvane::MapAngle;
constexpr double kRad = M_PI / 180.0;

// How far (degrees) `p` is from `angle` at latitude `lat`, local sidereal
// time `lst`; the wrong side of the meridian counts a degree, except where
// the point grazes the horizon on the meridian (the ends of a line).
double off_angle(MapAngle angle, const EquatorialPoint& p, double lat, double lst) {
  const double h = std::remainder(lst - p.right_ascension, 360.0);
  if (angle == MapAngle::mc || angle == MapAngle::ic) {
    return std::abs(std::remainder(h - (angle == MapAngle::ic ? 180.0 : 0.0), 360.0));
  }
  const double sin_alt = std::sin(lat * kRad) * std::sin(p.declination * kRad) +
                         std::cos(lat * kRad) * std::cos(p.declination * kRad) * std::cos(h * kRad);
  const bool wrong_side = (h < 0.0) != (angle == MapAngle::asc) && std::abs(std::sin(h * kRad)) > 1e-9;
  return std::abs(std::asin(sin_alt)) / kRad + (wrong_side ? 1.0 : 0.0);
}

EquatorialPoint random_point(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  return {360.0 * unit(rng), std::asin(2.0 * unit(rng) - 1.0) / kRad};
}

TEST(Parans, EveryPairMeetsSixTimesWithBothPointsOnTheirAngles) {
  std::mt19937_64 rng(41);
  for (int trial = 0; trial < 2000; ++trial) {
    const std::vector<EquatorialPoint> points{random_point(rng), random_point(rng)};
    const double gst = random_point(rng).right_ascension;
    const auto found = quorvane::parans(points, gst);
    // Two horizon circles cross twice; a meridian fixes the other's side.
    ASSERT_EQ(found.size(), 6u) << "trial " << trial;
    for (const auto& p : found) {
      EXPECT_LT(off_angle(p.first_angle, points[0], p.latitude, gst + p.longitude), 1e-9) << trial;
      EXPECT_LT(off_angle(p.second_angle, points[1], p.latitude, gst + p.longitude), 1e-9) << trial;
    }
    // A point and its opposite (the nodes) share their horizon everywhere: no paran there.
    const EquatorialPoint opposite{points[0].right_ascension + 180.0, -points[0].declination};
    for (const auto& p : quorvane::parans({points[0], opposite}, gst)) {
      EXPECT_TRUE(p.first_angle <= MapAngle::ic || p.second_angle <= MapAngle::ic) << trial;
    }
  }
}

TEST(AngleLines, EverySampleHasThePointOnItsAngleAndTheLinesEndWhereItGrazes) {
  std::mt19937_64 rng(42);
  for (int trial = 0; trial < 300; ++trial) {
    const EquatorialPoint p = random_point(rng);
    const double gst = random_point(rng).right_ascension;
    for (const auto& line : quorvane::angle_lines(p.right_ascension, p.declination, gst, 0.01)) {
      double south = 90.0, north = -90.0;
      for (const auto& piece : line.segments) {
        for (const auto& [lon, lat] : piece) {
          EXPECT_LT(off_angle(line.angle, p, lat, gst + lon), 1.0 / 3600.0) << trial;
          south = std::min(south, lat);
          north = std::max(north, lat);
        }
      }
      EXPECT_NEAR(south, line.south, 1e-9);
      EXPECT_NEAR(north, line.north, 1e-9);
    }
  }
}

}  // namespace
