// Gauquelin's sectors.
#include "quorvane/zodiac/houses.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

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
        b[sector - 1] = semi_arc_point(ramc, latitude, obliquity, (10 - sector) / 9.0);
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
