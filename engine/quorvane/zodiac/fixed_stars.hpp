// Fixed stars of the catalogue carried from J2000.0 to the chart date and
// their conjunctions with the chart's points.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/aspects.hpp"
#include "quorvane/zodiac/catalog.hpp"

namespace quorvane {

// General precession in longitude, arcseconds per Julian year, applied at a
// constant rate from J2000.0.
inline constexpr double kStarPrecessionArcsecPerYear = 50.290966;

// The star's tropical longitude at a (UT) Julian day, in [0, 360). Proper
// motion, nutation, aberration and the motion of the ecliptic are ignored.
double star_longitude(const FixedStar& star, double jd);

struct FixedStarPosition {
  const FixedStar* star = nullptr;  // into kFixedStars
  uint8_t sign = 0;
  int64_t degree = 0;
  int64_t minute = 0;
  double ecliptic_longitude = 0.0;  // of date, sidereal when the chart is
  uint8_t house = 1;
  int64_t symbolic_degree = 1;
};

struct FixedStars {
  std::vector<FixedStarPosition> positions;  // only stars with a conjunction
  std::vector<Aspect> aspects;               // grouped by star, then point order
};

// Stars within `orb` (inclusive) of a point. `ayanamsa` is subtracted only
// when `sidereal`.
FixedStars fixed_stars(std::span<const double> cusps, const std::vector<Point>& points,
                       bool sidereal, double jd, double orb, double ayanamsa);

void write(RecordWriter& out, const FixedStarPosition& position);

}  // namespace quorvane
