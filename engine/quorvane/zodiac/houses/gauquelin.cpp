// Gauquelin's sectors.
#include <algorithm>
#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/houses.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// The ecliptic point whose hour angle is -fraction of its diurnal semi-arc
// (1 the Ascendant, 0 the Midheaven, -1 the Descendant), within the polar
// circles, between the longitudes `low` and `high` of the Placidus cusps
// about it, from `guess` of the way between them: the root of RA - RAMC - fraction (90 + AD), AD the ascensional
// difference asin(tan latitude tan declination), which grows with the
// longitude there. Newton's method kept within the bracket (bisecting when
// a step would leave it) takes a few rounds where the chart's fixed-point
// iteration takes dozens.
double semi_arc_point(double ramc, double latitude, double obliquity, double fraction, double low,
                      double high, double guess) {
  const double e = obliquity * kRadiansPerDegree, tan_phi = std::tan(latitude * kRadiansPerDegree);
  const double sin_e = std::sin(e), cos_e = std::cos(e);
  const double t = ramc * kRadiansPerDegree;
  double a = low * kRadiansPerDegree;
  double b = a + normalize_degrees(high - low) * kRadiansPerDegree;
  double lambda = a + guess * (b - a);
  for (int round = 0; round < 100 && b - a > 1e-13; ++round) {
    const double sin_l = std::sin(lambda), cos_l = std::cos(lambda);
    const double dec = std::asin(sin_e * sin_l);
    const double cos_d = std::cos(dec);
    const double x = std::clamp(tan_phi * std::tan(dec), -1.0, 1.0);
    const double ra = std::atan2(sin_l * cos_e, cos_l);
    const double f = std::remainder(ra - t, kTwoPi) - fraction * (kPi / 2.0 + std::asin(x));
    if (f == 0.0) break;
    (f > 0.0 ? b : a) = lambda;
    const double slope = cos_e / (cos_d * cos_d) -
                         fraction * tan_phi * sin_e * cos_l /
                             (cos_d * cos_d * cos_d * std::sqrt(std::max(1e-300, 1.0 - x * x)));
    const double next = lambda - f / slope;
    if (!(next >= a && next <= b)) {
      lambda = 0.5 * (a + b);
    } else {
      const bool done = std::fabs(next - lambda) < 1e-13;
      lambda = next;
      if (done) break;
    }
  }
  return normalize_degrees(lambda * kDegreesPerRadian);
}

}  // namespace

// G: each diurnal and nocturnal semi-arc in 18 equal parts, 36 sectors numbered with the diurnal motion from the Ascendant (M. Gauquelin, Méthodes pour étudier la répartition des astres dans le mouvement diurne, 1957).
std::vector<double> gauquelin_sectors(double ramc, double latitude, double obliquity,
                                      const std::array<double, 12>& placidus) {
  std::vector<double> b(36);
  const bool polar = beyond_polar_circle(latitude, obliquity);
  // Boundary 1 + 3j is the cusp of house 12 - j (mod 12): the sectors run
  // against the order of the houses.
  for (int j = 0; j < 12; ++j) {
    const double start = placidus[(12 - j) % 12];
    const double next = placidus[(11 - j + 12) % 12];
    b[3 * j] = start;
    for (int k = 1; k < 3; ++k) {
      const int sector = 3 * j + k + 1;
      if (polar) {
        // Porphyry's quadrants, in nine parts of longitude each.
        b[sector - 1] = normalize_degrees(start - k * normalize_degrees(start - next) / 3.0);
      } else if (sector < 19) {
        // Above the horizon: hour angle (sector - 10) / 9 of the diurnal semi-arc.
        b[sector - 1] =
            semi_arc_point(ramc, latitude, obliquity, (10 - sector) / 9.0, next, start, 1.0 - k / 3.0);
      }
    }
  }
  if (!polar) {
    // Below the horizon each boundary is opposite one above: the opposite
    // point's nocturnal semi-arc is the other's diurnal one.
    for (int sector = 20; sector <= 36; ++sector) {
      if ((sector - 1) % 3 != 0) b[sector - 1] = normalize_degrees(b[sector - 19] + 180.0);
    }
  }
  return b;
}

}  // namespace quorvane
