// The house systems beyond the eleven of the chart's first release, one
// function each, every one filling all twelve cusps (house 1 first) from the
// place and its angles. Ascendant and Midheaven stay the chart's angles even
// where a system's cusp 1 or 10 is another point.
#pragma once

#include <array>

namespace quorvane {

using Cusps = std::array<double, 12>;

// What every system is cast from, in degrees.
struct HouseSky {
  double ramc;
  double latitude;
  double obliquity;
  double ascendant;
  double midheaven;
};

void equal_from_midheaven(Cusps& c, const HouseSky& s);
void equal_from_aries(Cusps& c, const HouseSky& s);
void sripati(Cusps& c, const HouseSky& s);
void meridian(Cusps& c, const HouseSky& s);
void carter_poli_equatorial(Cusps& c, const HouseSky& s);
void horizontal(Cusps& c, const HouseSky& s);
void krusinski(Cusps& c, const HouseSky& s);
void apc(Cusps& c, const HouseSky& s);
// `sun_declination` in degrees; the Sun must rise and set at the place.
void sunshine(Cusps& c, const HouseSky& s, double sun_declination);
void pullen_sinusoidal_delta(Cusps& c, const HouseSky& s);
void pullen_sinusoidal_ratio(Cusps& c, const HouseSky& s);

}  // namespace quorvane
