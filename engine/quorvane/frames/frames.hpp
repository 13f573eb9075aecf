// Earth orientation of a moment: frame bias, IAU 2006 precession, nutation,
// obliquity and Greenwich sidereal time.
#pragma once

#include <array>

#include "quorvane/base/vector.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {

struct Orientation {
  double dpsi = 0.0;            // nutation in longitude, radians
  double deps = 0.0;            // nutation in obliquity, radians
  double mean_obliquity = 0.0;  // epsilon_A, radians
  Mat3 precession{};            // J2000 mean equator -> mean equator of date
  Mat3 nutation{};              // mean -> true equator and equinox of date
  Mat3 true_equator{};          // GCRS -> true equator and equinox of date (N P B)
  Mat3 true_ecliptic{};         // GCRS -> true ecliptic and equinox of date
  double gmst = 0.0;            // hours in [0, 24)
  double gast = 0.0;            // hours in [0, 24)

  // `dpsi` and `deps` in radians.
  static Orientation with_nutation(const Time& time, double dpsi, double deps);

  // GCRS -> Earth-fixed axes: the true equator of date turned by the
  // apparent sidereal time (polar motion neglected).
  Mat3 to_earth_fixed() const;
};

// The orientation with the full IAU 2000A nutation (678 luni-solar and 687
// planetary terms), as the chart bodies use it.
Orientation orientation_2000a(const Time& time);
// The same at two moments (a moment and the one its speeds are taken at)
// with one pass of the series: each as `orientation_2000a` gives it.
std::array<Orientation, 2> orientation_2000a(const Time& time, const Time& other);

// The orientation with the IAU 2000B nutation (77 luni-solar terms and fixed
// offsets for the planetary ones): about 1 mas from 2000A and many times
// cheaper, for the searches that need many evaluations.
Orientation orientation_2000b(const Time& time);

// Either series by its arguments (see nutation::series), without offsets.
Orientation orientation_at(const Time& time, int lunisolar_terms, bool planetary);

// The Earth rotation angle in turns, [0, 1), at the moment's UT1 (IERS
// Conventions 2003); the large Julian day never multiplies the rate.
double earth_rotation_angle(double whole, double ut1_fraction);

// The IERS 2003 frame bias matrix B (GCRS -> J2000 mean equator).
const Mat3& frame_bias();

}  // namespace quorvane
