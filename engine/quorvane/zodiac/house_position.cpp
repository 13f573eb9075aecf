#include "quorvane/zodiac/house_position.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/zodiac/houses/sphere.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

using namespace house_sphere;

double degrees_of(double y, double x) { return std::atan2(y, x) * kDegreesPerRadian; }

// Into [1, 13) (or [1, 37) for `turn` 36).
double fold(double position, double turn = 12.0) {
  position = std::fmod(position - 1.0, turn);
  if (position < 0.0) position += turn;
  return position + 1.0 >= turn + 1.0 ? 1.0 : position + 1.0;
}

// Into (-180, 180].
double signed_degrees(double x) {
  const double r = normalize_degrees(x);
  return r > 180.0 ? r - 360.0 : r;
}

// The direction of ecliptic longitude and latitude `beta` (degrees).
Vec on_sphere(const Frame& f, double lambda, double beta) {
  const double l = lambda * kRadiansPerDegree, b = beta * kRadiansPerDegree;
  const double e = f.obliquity * kRadiansPerDegree;
  return {std::cos(b) * std::cos(l),
          std::cos(b) * std::sin(l) * std::cos(e) - std::sin(b) * std::sin(e),
          std::cos(b) * std::sin(l) * std::sin(e) + std::sin(b) * std::cos(e)};
}

double right_ascension(Vec v) { return degrees_of(v.y, v.x); }
double declination(Vec v) { return std::asin(std::clamp(v.z, -1.0, 1.0)) * kDegreesPerRadian; }

// The Placidus position from the hour angle's share of the point's semi-arc.
double placidus_position(const HouseFrame& s, Vec v) {
  const double h = signed_degrees(s.ramc - right_ascension(v));
  const double x = std::tan(s.latitude * kRadiansPerDegree) * std::tan(declination(v) * kRadiansPerDegree);
  // A point that never sets is above the horizon all round, one that never
  // rises below it: its semi-arc is the whole circle.
  const double dsa = std::acos(std::clamp(-x, -1.0, 1.0)) * kDegreesPerRadian;
  if (dsa > 0.0 && std::fabs(h) <= dsa) return fold(10.0 - 3.0 * h / dsa);
  return fold(4.0 - 3.0 * signed_degrees(h - 180.0) / (180.0 - dsa));
}

// The part s (0 at the meridian, 3 at the horizon, 6 at the other
// meridian) of the eastern half-circle of pole atan(g(s) tan latitude),
// g(s) = (3 - |s - 3|) / 3, through the point `m` degrees of right
// ascension east of the meridian (m in [0, 180)), x = tan(latitude)
// tan(declination): its oblique ascension under that pole is 30 s from
// the meridian.
double topocentric_part(double m, double x) {
  auto excess = [&](double s) {
    const double g = (3.0 - std::fabs(s - 3.0)) / 3.0;
    return m - 30.0 * s - std::asin(std::clamp(g * x, -1.0, 1.0)) * kDegreesPerRadian;
  };
  double low = 0.0, high = 6.0;  // excess(low) >= 0 > excess(high)
  for (int round = 0; round < 60; ++round) {
    const double mid = 0.5 * (low + high);
    (excess(mid) >= 0.0 ? low : high) = mid;
  }
  return 0.5 * (low + high);
}

// Only while |x| < 0.8436 does the oblique ascension of every circle's
// point grow with s (the asin term then changes by less than 30 degrees a
// part), so that one circle passes through the point; beyond (ecliptic
// points from latitude 62.8), the circles overlap as Koch's do.
bool one_topocentric_circle(double x) { return std::fabs(x) < 0.8436; }

double tan_product(double a, double b) {
  return std::tan(a * kRadiansPerDegree) * std::tan(b * kRadiansPerDegree);
}

double topocentric_position(const HouseFrame& s, Vec v) {
  const double m = normalize_degrees(right_ascension(v) - s.ramc);
  const double x = tan_product(s.latitude, declination(v));
  // The western houses are the eastern ones of the opposite point.
  if (m < 180.0) return fold(10.0 + topocentric_part(m, x));
  return fold(4.0 + topocentric_part(m - 180.0, -x));
}

// The angle, growing with the houses, that a system divides: the point's
// own house circle named by where it stands in the system's frame.
struct Measure {
  HouseSystem system;
  Frame f;
  Vec toward_mc;  // Horizontal: the side of the horizon under the Midheaven
  Vec ascendant;  // Krusinski

  Measure(HouseSystem system, const HouseFrame& s, const HouseResult& h)
      : system(system), f(s.ramc, s.latitude, s.obliquity) {
    const Vec mc = f.ecliptic_point(h.midheaven);
    toward_mc = dot(mc, f.north) > 0.0 ? f.north : -1.0 * f.north;
    ascendant = f.ecliptic_point(h.ascendant);
  }

  double operator()(Vec v, double lambda) const {
    switch (system) {
      case HouseSystem::Regiomontanus: {
        // Where the half-circle from the north point through v cuts the equator.
        const Vec w = v + (-dot(v, f.north)) * f.north;
        Vec d = cross(Vec{0.0, 0.0, 1.0}, cross(f.north, v));
        if (dot(d, w) < 0.0) d = -1.0 * d;
        return right_ascension(d);
      }
      case HouseSystem::Campanus:
      case HouseSystem::Apc:
      case HouseSystem::Sunshine:
        return degrees_of(dot(v, f.east), dot(v, f.zenith));
      case HouseSystem::Meridian:
      case HouseSystem::Carter:
      case HouseSystem::Alcabitius:
        return right_ascension(v);
      case HouseSystem::Krusinski: {
        // Where the point's hour circle, on its side of the pole, cuts the
        // circle through the Ascendant and the zenith.
        Vec q = cross(cross(Vec{0.0, 0.0, 1.0}, v), cross(ascendant, f.zenith));
        if (q.x * v.x + q.y * v.y < 0.0) q = -1.0 * q;
        return -degrees_of(dot(q, f.zenith), dot(q, ascendant));
      }
      case HouseSystem::Morinus: {
        const double l = lambda * kRadiansPerDegree;
        return degrees_of(std::sin(l), std::cos(l) * std::cos(f.obliquity * kRadiansPerDegree));
      }
      case HouseSystem::Horizontal:
        return -degrees_of(dot(v, toward_mc), dot(v, f.east));
      default:
        return lambda;
    }
  }
};

// House h + fraction when `at` lies `fraction` of the way from marks[h - 1]
// to marks[h] (marks in degrees, growing with the houses; a house of no
// width holds nothing).
double between_marks(const std::array<double, 12>& marks, double at) {
  int nearest = 0;
  double nearest_offset = 360.0;
  for (int h = 0; h < 12; ++h) {
    const double span = normalize_degrees(marks[(h + 1) % 12] - marks[h]);
    const double offset = normalize_degrees(at - marks[h]);
    if (offset < span) return fold(h + 1.0 + offset / span);
    if (offset < nearest_offset) {
      nearest_offset = offset;
      nearest = h;
    }
  }
  // Rounding at a cusp can leave the point just outside every house.
  return nearest + 1.0;
}

bool once_round(const std::array<double, 12>& marks) {
  double total = 0.0;
  for (int h = 0; h < 12; ++h) total += normalize_degrees(marks[(h + 1) % 12] - marks[h]);
  return total < 360.0 + 1e-6;
}

double twelve_house_position(HouseSystem system, const HouseFrame& s, double longitude,
                             double latitude) {
  const Frame frame(s.ramc, s.latitude, s.obliquity);
  const Vec v = on_sphere(frame, longitude, latitude);
  if (is_quadrant_system(system) && beyond_polar_circle(s.latitude, s.obliquity)) {
    system = HouseSystem::Porphyry;
  } else if (system == HouseSystem::Placidus || system == HouseSystem::Gauquelin) {
    return placidus_position(s, v);
  } else if (system == HouseSystem::Topocentric &&
             one_topocentric_circle(tan_product(s.latitude, s.obliquity)) &&
             one_topocentric_circle(tan_product(s.latitude, declination(v)))) {
    return topocentric_position(s, v);
  }
  HouseResult houses = houses_at_ramc(system, s.ramc, s.latitude, s.obliquity, s.sun_declination);
  if (system == HouseSystem::WholeSign) {
    // The signs of the chart's own zodiac.
    const int first = sign_index(normalize_degrees(houses.ascendant - s.ayanamsa));
    for (int h = 0; h < 12; ++h) houses.cusps[h] = normalize_degrees(30.0 * (first + h) + s.ayanamsa);
  }
  Measure measure(system, s, houses);
  std::array<double, 12> marks;
  for (int h = 0; h < 12; ++h) {
    marks[h] = measure(frame.ecliptic_point(houses.cusps[h]), houses.cusps[h]);
  }
  if (!once_round(marks)) {
    // Where a system's circles no longer take its cusps once round its
    // frame (APC and Sunshine of a circumpolar parallel), the longitude.
    measure.system = HouseSystem::Porphyry;
    marks = houses.cusps;
  }
  return between_marks(marks, measure(v, longitude));
}

}  // namespace

double house_position(HouseSystem system, const HouseFrame& frame, double longitude,
                      double latitude) {
  const double p = twelve_house_position(system, frame, longitude, latitude);
  if (system != HouseSystem::Gauquelin) return p;
  return fold(40.0 - 3.0 * p, 36.0);
}

}  // namespace quorvane
