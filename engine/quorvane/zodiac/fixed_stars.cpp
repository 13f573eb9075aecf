#include "quorvane/zodiac/fixed_stars.hpp"

#include <cmath>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/time/time_scales.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

double star_longitude(const FixedStar& star, double jd) {
  const double years = (jd - kJ2000) / 365.25;
  return normalize_degrees(star.longitude_j2000 + years * kStarPrecessionArcsecPerYear / 3600.0);
}

FixedStars fixed_stars(std::span<const double> cusps, const std::vector<Point>& points,
                       bool sidereal, double jd, double orb, double ayanamsa) {
  FixedStars result;
  const double max_orb = pyfloat::round(orb, 2);
  const AspectKind& conjunction = kAspectTable[0];
  for (const FixedStar& star : kFixedStars) {
    double longitude = star_longitude(star, jd);
    if (sidereal) longitude = normalize_degrees(normalize_degrees(longitude - ayanamsa) + 360.0);

    bool matched = false;
    for (const Point& point : points) {
      const double d = angular_separation(longitude, point.longitude);
      // Written as orb >= d so that a NaN on either side never matches.
      if (!(orb >= d)) continue;
      matched = true;
      Aspect aspect;
      aspect.body1 = std::string(star.name);
      aspect.body2 = point.name;
      aspect.aspect_type = std::string(conjunction.name);
      aspect.symbol = std::string(conjunction.symbol);
      aspect.angle = 0.0;
      aspect.orb = pyfloat::round(d, 2);
      aspect.max_orb = max_orb;
      // The star counts as fixed: the point applies when it moves towards it.
      aspect.is_applying = is_applying(Point{{}, longitude}, point, 0.0);
      result.aspects.push_back(std::move(aspect));
    }
    if (!matched) continue;

    const LongitudeSplit split = split_longitude(longitude);
    FixedStarPosition position;
    position.star = &star;
    position.sign = split.sign;
    position.degree = split.degree;
    position.minute = split.minute;
    position.ecliptic_longitude = longitude;
    position.house = determine_house(cusps, longitude);
    position.symbolic_degree = split.symbolic_degree;
    result.positions.push_back(position);
  }
  return result;
}

void write(RecordWriter& out, const FixedStarPosition& position) {
  const SignInfo& sign = kSigns[position.sign];
  ObjectWriter(out)
      .field("name", position.star->name)
      .field("symbol", kStarSymbol)
      .field("sign", sign.name)
      .field("sign_symbol", sign.glyph)
      .field("degree", position.degree)
      .field("minute", position.minute)
      .field("ecliptic_longitude", position.ecliptic_longitude)
      .field("ecliptic_latitude", position.star->latitude)
      .field("house", position.house)
      .field("magnitude", position.star->magnitude)
      .field("symbolic_degree", position.symbolic_degree);
}

}  // namespace quorvane
