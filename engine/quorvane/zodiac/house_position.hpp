// The house position of a point: its fractional house (1.0 to < 13.0; for
// Gauquelin the sector, 1.0 to < 37.0) from its place on the sphere, found
// in the frame each system divides.
#pragma once

#include "quorvane/zodiac/houses.hpp"

namespace quorvane {

// Where houses are cast, in degrees: the RAMC, the geographic latitude, the
// obliquity of the houses, the Sun's declination (for Sunshine; NaN for a
// Sun on the equator) and the ayanamsa (for whole signs of a sidereal
// chart; 0 tropical).
struct HouseFrame {
  double ramc;
  double latitude;
  double obliquity;
  double sun_declination = kNoSun;
  double ayanamsa = 0.0;
};

// The house position of the point of tropical ecliptic longitude and
// latitude (degrees of date): cusp h is exactly h, the middle of house h is
// near h + 0.5. How each system measures between its cusps:
//  Placidus: 10 - 3 H / DSA above the horizon, 4 - 3 (H - 180) / NSA below
//    (H the hour angle, west positive; DSA and NSA the point's own diurnal
//    and nocturnal semi-arcs; a point that never sets or never rises has a
//    semi-arc of 180 degrees).
//  Gauquelin: the sector 40 - 3 p of the Placidus position p, so sector 1
//    starts at the Ascendant, 10 at the Midheaven, 19 at the Descendant, 28
//    at the Imum Coeli (numbered with the diurnal motion).
//  Topocentric: the part s of the circle of pole atan(s/3 tan latitude)
//    (s from 0 at the meridian to 3 at the horizon) through the point, where
//    one such circle passes through it and through every ecliptic point
//    (|tan latitude tan declination| and |tan latitude tan obliquity| below
//    0.8436, up to latitude 62.8); else, its circles overlapping, as Koch.
//  Regiomontanus: where the point's circle through the north and south
//    points of the horizon cuts the equator; Campanus, APC and Sunshine: the
//    angle of that circle about the north-south line.
//  Meridian, Carter, Alcabitius and Krusinski: the point's hour circle (its
//    right ascension), for Krusinski where that circle cuts the great circle
//    through the Ascendant and the zenith.
//  Morinus: the equator point of the same ecliptic longitude.
//  Horizontal: the azimuth.
//  Koch and the ecliptic systems (Porphyry, Equal, Vehlow, whole signs,
//    D, N, Sripati, Pullen's): the ecliptic longitude. Koch's circles are
//    horizons of different moments, which overlap near the meridian off the
//    ecliptic, so they place no point of the sphere uniquely.
// Between two cusps the position grows linearly with that measure. Beyond
// the polar circles the quadrant systems are Porphyry's, here too; where a
// system's cusps do not go once round its frame (APC and Sunshine of a
// parallel that never sets), the longitude measures.
double house_position(HouseSystem system, const HouseFrame& frame, double longitude,
                      double latitude);

// The twelve-house house of Gauquelin sector `sector` (1 to 36): sectors 1
// to 3 lie in house 12, 4 to 6 in house 11, ..., 34 to 36 in house 1.
inline int house_of_sector(int sector) { return 12 - (sector - 1) / 3; }

}  // namespace quorvane
