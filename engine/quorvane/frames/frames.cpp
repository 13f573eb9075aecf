#include "quorvane/frames/frames.hpp"

#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/frames/nutation.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {

namespace {

// 1e-7 arcsec (the series' unit) in radians.
constexpr double kSeriesUnitToRad = 4.848136811095359e-13;

// Hours reduced to [0, 24); a tiny negative input must not come back as 24.
double hours_mod_24(double hours) {
  double r = std::fmod(hours, 24.0);
  if (r < 0.0) r += 24.0;
  return r >= 24.0 ? 0.0 : r;
}

double frac(double x) { return x - std::floor(x); }

Mat3 make_frame_bias() {
  const double xi0 = -0.0166170 * kRadiansPerArcsecond;
  const double eta0 = -0.0068192 * kRadiansPerArcsecond;
  const double da0 = -0.01460 * kRadiansPerArcsecond;
  const double xx = 1.0 - (da0 * da0 + xi0 * xi0) / 2.0;
  const double yy = 1.0 - (da0 * da0 + eta0 * eta0) / 2.0;
  const double zz = 1.0 - (eta0 * eta0 + xi0 * xi0) / 2.0;
  return {{{xx, da0, -xi0}, {-da0, yy, -eta0}, {xi0, eta0, zz}}};
}

}  // namespace

const Mat3& frame_bias() {
  static const Mat3 bias = make_frame_bias();
  return bias;
}

double earth_rotation_angle(double whole, double ut1_fraction) {
  // The whole day's fraction is taken apart so the large Julian day never
  // multiplies the rate.
  const double du = whole - kJ2000 + ut1_fraction;
  return frac(frac(0.779057273264 + 0.00273781191135448 * du) + frac(whole) + ut1_fraction);
}

Mat3 Orientation::to_earth_fixed() const {
  return rotation_z(gast * kRadiansPerHour) * true_equator;
}

Orientation Orientation::with_nutation(const Time& time, double dpsi, double deps) {
  const double t = (time.whole - kJ2000 + time.tdb_fraction) / 36525.0;

  // IAU 2006 (P03) precession angles, arcsec.
  const double psi_a =
      t * (5038.481507 + t * (-1.0790069 + t * (-0.00114045 + t * (0.000132851 + t * -0.0000000951))));
  const double omega_a =
      84381.406 +
      t * (-0.025754 + t * (0.0512623 + t * (-0.00772503 + t * (-0.000000467 + t * 0.0000003337))));
  const double chi_a =
      t * (10.556403 + t * (-2.3814292 + t * (-0.00121197 + t * (0.000170663 + t * -0.0000000560))));
  const double eps_a =
      (84381.406 +
       t * (-46.836769 + t * (-0.0001831 + t * (0.00200340 + t * (-0.000000576 + t * -0.0000000434))))) *
      kRadiansPerArcsecond;

  // R1(eps0) with the J2000 obliquity 84381.406 arcsec.
  constexpr double cos_eps0 = 0.9174821430652418, sin_eps0 = 0.397776969112606;
  const Mat3 r1_eps0 = {{{1, 0, 0}, {0, cos_eps0, sin_eps0}, {0, -sin_eps0, cos_eps0}}};

  Orientation o;
  o.dpsi = dpsi;
  o.deps = deps;
  o.mean_obliquity = eps_a;
  o.precession = rotation_z(chi_a * kRadiansPerArcsecond) * rotation_x(-omega_a * kRadiansPerArcsecond) *
                 rotation_z(-psi_a * kRadiansPerArcsecond) * r1_eps0;
  o.nutation = rotation_x(-(eps_a + deps)) * rotation_z(-dpsi) * rotation_x(eps_a);
  o.true_equator = o.nutation * o.precession * frame_bias();
  o.true_ecliptic = rotation_x(eps_a + deps) * o.true_equator;

  const double era = earth_rotation_angle(time.whole, time.ut1_fraction);
  const double gmst_poly =
      0.014506 +
      t * (4612.156534 + t * (1.3915817 + t * (-0.00000044 + t * (-0.000029956 + t * -0.0000000368))));
  o.gmst = hours_mod_24(24.0 * era + gmst_poly / 54000.0);

  const double equation_of_equinoxes =
      dpsi * std::cos(eps_a) +
      nutation::equation_of_the_equinoxes_complementary_terms(time.whole + time.tt_fraction);
  o.gast = hours_mod_24(o.gmst + 24.0 * equation_of_equinoxes / kTwoPi);
  return o;
}

Orientation orientation_at(const Time& time, int lunisolar_terms, bool planetary) {
  const auto [dpsi, deps] = nutation::series(lunisolar_terms, planetary, time.whole + time.tt_fraction);
  return Orientation::with_nutation(time, dpsi * kSeriesUnitToRad, deps * kSeriesUnitToRad);
}

Orientation orientation_2000a(const Time& time) { return orientation_at(time, 678, true); }

std::array<Orientation, 2> orientation_2000a(const Time& time, const Time& other) {
  const auto both = nutation::series_2000a(time.whole + time.tt_fraction, other.whole + other.tt_fraction);
  return {Orientation::with_nutation(time, both[0].first * kSeriesUnitToRad, both[0].second * kSeriesUnitToRad),
          Orientation::with_nutation(other, both[1].first * kSeriesUnitToRad, both[1].second * kSeriesUnitToRad)};
}

Orientation orientation_2000b(const Time& time) {
  const auto [dpsi, deps] = nutation::iau2000b(time.whole + time.tt_fraction);
  return Orientation::with_nutation(time, dpsi * kSeriesUnitToRad, deps * kSeriesUnitToRad);
}

}  // namespace quorvane
