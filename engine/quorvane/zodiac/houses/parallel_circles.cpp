// Houses whose circles pass through the north and south points of the
// horizon and through the points dividing one parallel of declination in
// equal hour angles: the Ascendant's (APC) or the Sun's (Sunshine).
#include <algorithm>
#include <cmath>

#include "quorvane/zodiac/houses/sphere.hpp"
#include "quorvane/zodiac/houses/systems.hpp"

namespace quorvane {
namespace {

using namespace house_sphere;

// Cusps 11, 12, 2 and 3 on the circles through the horizon's north point
// and the thirds of the diurnal and nocturnal semi-arcs of the parallel of
// declination `dec`, which must rise and set.
void through_parallel(Cusps& c, const HouseSky& s, double dec) {
  const Frame f(s.ramc, s.latitude, s.obliquity);
  const double x = std::tan(s.latitude * kRadiansPerDegree) * std::tan(dec * kRadiansPerDegree);
  const double dsa = std::acos(std::clamp(-x, -1.0, 1.0)) * kDegreesPerRadian;
  const double nsa = 180.0 - dsa;
  // Hour angles (west positive) of the points of cusps 11, 12, 2, 3.
  const std::pair<int, double> points[] = {
      {10, -dsa / 3.0}, {11, -2.0 * dsa / 3.0}, {1, -dsa - nsa / 3.0}, {2, -dsa - 2.0 * nsa / 3.0}};
  for (const auto& [index, hour_angle] : points) {
    const Vec p = at_hour_angle(s.ramc, hour_angle, dec);
    c[index] = f.cut(cross(f.north, p), f.east);
  }
  c[0] = s.ascendant;
  c[9] = s.midheaven;
  for (int h = 3; h < 9; ++h) c[h] = normalize_degrees(c[(h + 6) % 12] + 180.0);
}

}  // namespace

// Y: the Ascendant's parallel divided in six equal parts above and six below the horizon, each point joined to the horizon's north and south points (L. Knegt, Werkgemeenschap van Astrologen, 1947; I. de Boer, "APC Houses").
void apc(Cusps& c, const HouseSky& s) {
  const double e = s.obliquity * kRadiansPerDegree;
  const double dec = std::asin(std::sin(s.ascendant * kRadiansPerDegree) * std::sin(e)) * kDegreesPerRadian;
  through_parallel(c, s, dec);
}

// I: the Sun's diurnal and nocturnal semi-arcs trisected, each point joined to the horizon's north and south points (B. Makransky, Primary Directions, 1988; as cast by W. Treindl).
void sunshine(Cusps& c, const HouseSky& s, double sun_declination) {
  through_parallel(c, s, sun_declination);
}

}  // namespace quorvane
