// The spherical astronomy of primary directions: equatorial places of
// ecliptic points, ascensional differences, semi-arcs, hour angles and
// oblique ascensions under a pole. Every angle is in degrees; `latitude` is
// the birthplace's (north positive), `obliquity` the ecliptic's.
#pragma once

#include <optional>

namespace quorvane::directions {

// A point of the sky in the true equator and equinox of date.
struct EquatorialPoint {
  double right_ascension = 0.0;  // [0, 360)
  double declination = 0.0;
};

// Meeus, Astronomical Algorithms (2nd ed.), eq. 13.3.
double right_ascension(double longitude, double ecliptic_latitude, double obliquity);
// Meeus, Astronomical Algorithms (2nd ed.), eq. 13.4.
double declination(double longitude, double ecliptic_latitude, double obliquity);
EquatorialPoint equatorial_point(double longitude, double ecliptic_latitude, double obliquity);

// The hour angle, west of the upper meridian, in (-180, 180].
double hour_angle(double ramc, double right_ascension);

// sin AD = tan(latitude) tan(declination) (Ptolemy, Almagest II.7; Meeus
// eq. 15.1 for the hour angle of rising); none when the point never rises
// or never sets.
std::optional<double> ascensional_difference(double declination, double latitude);
// The diurnal semi-arc 90 + AD and the nocturnal 90 - AD (Placidus,
// Primum Mobile, canon I).
std::optional<double> diurnal_semi_arc(double declination, double latitude);
std::optional<double> nocturnal_semi_arc(double declination, double latitude);

// The oblique ascension under the pole `pole`: RA - asin(tan pole tan dec)
// (Ptolemy, Almagest II.9); a negative pole gives the oblique descension of
// the opposite pole. None when the point does not cross that circle.
std::optional<double> oblique_ascension_under_pole(const EquatorialPoint& point, double pole);

}  // namespace quorvane::directions
