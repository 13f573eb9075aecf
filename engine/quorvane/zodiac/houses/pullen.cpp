// Walter Pullen's sinusoidal houses: each quadrant between the angles split
// into three houses whose sizes change around the circle in equal steps
// (delta) or equal ratios (ratio), the middle house of the smaller quadrant
// the smallest and that of the larger the largest.
#include <algorithm>
#include <cmath>

#include "quorvane/zodiac/houses/systems.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

struct Split {
  double outer, middle;
};

// Cusps 10 to 3 from the sizes of the houses of the two eastern quadrants.
void place(Cusps& c, const HouseSky& s, Split upper, Split lower) {
  c[9] = s.midheaven;
  c[10] = normalize_degrees(s.midheaven + upper.outer);
  c[11] = normalize_degrees(s.midheaven + upper.outer + upper.middle);
  c[0] = s.ascendant;
  c[1] = normalize_degrees(s.ascendant + lower.outer);
  c[2] = normalize_degrees(s.ascendant + lower.outer + lower.middle);
  for (int h = 3; h < 9; ++h) c[h] = normalize_degrees(c[(h + 6) % 12] + 180.0);
}

// Sizes x + d, x, x + d here and x + 2d, x + 3d, x + 2d in the other
// quadrant of the half circle: 3x + 2d = q and 3x + 7d = 180 - q. Below a
// quadrant of 40 degrees the middle house would be negative; it is empty.
Split by_delta(double q) {
  const double d = (180.0 - 2.0 * q) / 5.0;
  const double middle = std::max(0.0, (q - 2.0 * d) / 3.0);
  return {(q - middle) / 2.0, middle};
}

// Sizes x r, x, x r here and x r^2, x r^3, x r^2 in the other quadrant:
// r^3 + 2 r^2 = k (2 r + 1) with k = (180 - q) / q, whose one positive root
// Newton's method reaches from above (the cubic is convex there).
Split by_ratio(double q) {
  if (q <= 0.0) return {0.0, 0.0};
  const double k = (180.0 - q) / q;
  double r = 2.0 + k;
  for (int round = 0; round < 100; ++round) {
    const double f = r * r * r + 2.0 * r * r - k * (2.0 * r + 1.0);
    const double step = f / (3.0 * r * r + 4.0 * r - 2.0 * k);
    r -= step;
    if (std::fabs(step) < 1e-15 * r) break;
  }
  const double x = q / (2.0 * r + 1.0);
  return {x * r, x};
}

}  // namespace

// L: house sizes in equal steps around the circle, fitted to the quadrants (W. Pullen, "Sinusoidal Delta", formerly Neo-Porphyry, Astrolog, astrolog.org/astrolog/astsine.htm).
void pullen_sinusoidal_delta(Cusps& c, const HouseSky& s) {
  place(c, s, by_delta(normalize_degrees(s.ascendant - s.midheaven)),
        by_delta(normalize_degrees(s.midheaven + 180.0 - s.ascendant)));
}

// Q: house sizes in equal ratios around the circle, fitted to the quadrants (W. Pullen, "Sinusoidal Ratio", Astrolog, astrolog.org/astrolog/astsine.htm).
void pullen_sinusoidal_ratio(Cusps& c, const HouseSky& s) {
  place(c, s, by_ratio(normalize_degrees(s.ascendant - s.midheaven)),
        by_ratio(normalize_degrees(s.midheaven + 180.0 - s.ascendant)));
}

}  // namespace quorvane
