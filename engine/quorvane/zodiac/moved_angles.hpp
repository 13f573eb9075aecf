// Houses cast from angles that belong to no moment and place: a Midheaven
// or an RAMC moved by a progression, or the midpoint Midheaven of a
// composite chart.
#pragma once

#include "quorvane/zodiac/houses.hpp"

namespace quorvane {

// Right ascension (degrees) of the ecliptic point at tropical longitude
// `longitude`, under the houses' mean obliquity of UT Julian day `jd` plus
// `obliquity_nutation` (degrees; see houses_at_sidereal_time).
double ecliptic_right_ascension(double longitude, double jd, double obliquity_nutation = 0.0);

// The houses whose RAMC is `ramc` (degrees) at `latitude`, with the mean
// obliquity of `jd` (plus `obliquity_nutation`), every cusp and angle
// reduced by `ayanamsa`; `sun_longitude` (tropical) for Sunshine.
HouseResult houses_for_ramc(HouseSystem system, double ramc, double jd, double latitude,
                            double ayanamsa, double obliquity_nutation = 0.0,
                            double sun_longitude = kNoSun);

// The same for the Midheaven `midheaven` (degrees, in the zodiac that
// `ayanamsa` reduces to): its RAMC is its right ascension.
HouseResult houses_for_midheaven(HouseSystem system, double midheaven, double jd, double latitude,
                                 double ayanamsa, double obliquity_nutation = 0.0,
                                 double sun_longitude = kNoSun);

}  // namespace quorvane
