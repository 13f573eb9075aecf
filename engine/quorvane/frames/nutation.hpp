// IAU 2000A nutation (full or truncated) and the complementary terms of the
// equation of the equinoxes.
#pragma once

#include <array>
#include <utility>

namespace quorvane::nutation {

// (delta psi, delta epsilon) in units of 1e-7 arcsec at a TT Julian day:
// the first `lunisolar_terms` (0 to 678) luni-solar terms, plus the 687
// planetary terms when `planetary` is set. With `planetary` off the
// Delaunay arguments are linear in time (the cheap truncated model).
std::pair<double, double> series(int lunisolar_terms, bool planetary, double jd_tt);

// The full series (678 and 687 terms) at two TT Julian days in one pass,
// each to the bit what `series` gives for it alone.
std::array<std::pair<double, double>, 2> series_2000a(double jd_tt, double other_jd_tt);

// IAU 2000B: the first 77 luni-solar terms plus fixed offsets standing in
// for the planetary terms (McCarthy & Luzum 2003), same units.
std::pair<double, double> iau2000b(double jd_tt);

// Equation of the equinoxes minus delta psi cos(epsilon), in radians.
double equation_of_the_equinoxes_complementary_terms(double jd_tt);

}  // namespace quorvane::nutation
