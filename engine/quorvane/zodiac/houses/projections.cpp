// Houses made by equal steps along one great circle (the equator, the
// horizon, the circle through the Ascendant and the zenith) carried to the
// ecliptic along meridians or vertical circles.
#include <cmath>

#include "quorvane/zodiac/houses/sphere.hpp"
#include "quorvane/zodiac/houses/systems.hpp"

namespace quorvane {
namespace {

using namespace house_sphere;

// The ecliptic point on the hour circle of right ascension `ra` (degrees).
double on_hour_circle(double ra, double obliquity) {
  const double a = ra * kRadiansPerDegree;
  return normalize_degrees(
      std::atan2(std::sin(a), std::cos(a) * std::cos(obliquity * kRadiansPerDegree)) *
      kDegreesPerRadian);
}

double right_ascension(double longitude, double obliquity) {
  const double l = longitude * kRadiansPerDegree;
  return std::atan2(std::sin(l) * std::cos(obliquity * kRadiansPerDegree), std::cos(l)) *
         kDegreesPerRadian;
}

void fill_opposites(Cusps& c) {
  for (int h = 3; h < 9; ++h) c[h] = normalize_degrees(c[(h + 6) % 12] + 180.0);
}

}  // namespace

// X: the equator divided in 30-degree steps of right ascension from the RAMC, carried to the ecliptic along hour circles (axial rotation, Zariel; Holden 1996).
void meridian(Cusps& c, const HouseSky& s) {
  for (int h = 0; h < 12; ++h) c[h] = on_hour_circle(s.ramc + 30.0 * (h + 3), s.obliquity);
}

// F: the equator divided in 30-degree steps of right ascension from the Ascendant's, carried along hour circles (C. E. O. Carter, Essays on the Foundations of Astrology, 1947).
void carter_poli_equatorial(Cusps& c, const HouseSky& s) {
  const double start = right_ascension(s.ascendant, s.obliquity);
  for (int h = 0; h < 12; ++h) c[h] = on_hour_circle(start + 30.0 * h, s.obliquity);
  c[0] = s.ascendant;
}

// H: the horizon divided in 30-degree steps of azimuth from the East point by vertical circles; cusp 10 the MC, cusp 1 the Antivertex (Makransky, Primary Directions, 1988, ch. V).
void horizontal(Cusps& c, const HouseSky& s) {
  const Frame f(s.ramc, s.latitude, s.obliquity);
  // Cusps 11 and 12 lie between the East point and the side of the
  // horizon under the Midheaven (south, or north where the MC culminates
  // north of the zenith).
  const Vec mc = f.ecliptic_point(s.midheaven);
  const Vec toward_mc = dot(mc, f.north) > 0.0 ? f.north : -1.0 * f.north;
  for (int h : {0, 1, 2, 9, 10, 11}) {
    const double t = (30.0 * (13 - h - 1)) * kRadiansPerDegree;  // cusp 1 at 0, cusp 12 at 30
    const Vec dir = std::cos(t) * f.east + std::sin(t) * toward_mc;
    c[h] = f.cut(cross(f.zenith, dir), dir);
  }
  c[9] = s.midheaven;
  fill_opposites(c);
}

// U: the great circle through the Ascendant and the zenith divided in 30-degree steps from the Ascendant, carried to the ecliptic along meridians (B. Krusinski, astrologia.pl, 1995).
void krusinski(Cusps& c, const HouseSky& s) {
  const Frame f(s.ramc, s.latitude, s.obliquity);
  const Vec asc = f.ecliptic_point(s.ascendant);
  const Vec pole{0.0, 0.0, 1.0};
  for (int h : {1, 2, 10, 11}) {
    const double t = (30.0 * ((12 - h) % 12)) * kRadiansPerDegree;  // cusp 12 at 30, cusp 2 at 330
    const Vec p = std::cos(t) * asc + std::sin(t) * f.zenith;
    c[h] = f.cut(cross(pole, p), p + (-p.z) * pole);
  }
  c[0] = s.ascendant;
  c[9] = s.midheaven;
  fill_opposites(c);
}

}  // namespace quorvane
