#include "quorvane/fixed_stars.hpp"

#include <cmath>

#include "quorvane/pyfloat.hpp"
#include "quorvane/zodiac.hpp"

namespace quorvane {

double star_longitude(const FixedStar& star, double jd) {
  const double years = (jd - 2451545.0) / 365.25;
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
      double d = std::fmod(std::fabs(longitude - point.longitude), 360.0);
      if (d > 180.0) d = 360.0 - d;
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

Json to_json(const FixedStarPosition& position) {
  const SignInfo& sign = kSigns[position.sign];
  Json out = Json::object();
  out["name"] = position.star->name;
  out["symbol"] = kStarSymbol;
  out["sign"] = sign.name;
  out["sign_symbol"] = sign.glyph;
  out["degree"] = position.degree;
  out["minute"] = position.minute;
  out["ecliptic_longitude"] = position.ecliptic_longitude;
  out["ecliptic_latitude"] = position.star->latitude;
  out["house"] = position.house;
  out["magnitude"] = position.star->magnitude;
  out["symbolic_degree"] = position.symbolic_degree;
  return out;
}

}  // namespace quorvane
