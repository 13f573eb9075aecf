// Houses counted off the ecliptic in fixed or halved steps.
#include "quorvane/zodiac/houses.hpp"
#include "quorvane/zodiac/houses/systems.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

// D: twelve 30-degree houses with cusp 10 on the Midheaven (the "Equal MC" or "Axial" equal houses; Holden, A History of Horoscopic Astrology, 1996).
void equal_from_midheaven(Cusps& c, const HouseSky& s) {
  for (int h = 0; h < 12; ++h) c[h] = normalize_degrees(s.midheaven + 30.0 * (h - 9) + 360.0);
}

// N: twelve 30-degree houses with cusp 1 at 0 degrees Aries, the "natural" or "Aries" houses (Holden 1996).
void equal_from_aries(Cusps& c, const HouseSky& /*s*/) {
  for (int h = 0; h < 12; ++h) c[h] = 30.0 * h;
}

// S: Porphyry's cusps are the middles of the houses (bhava madhya) and each house begins at the midpoint of the previous middle and its own (Sripati, Jyotisa Ratnamala; Sripati Paddhati, 11th c.).
void sripati(Cusps& c, const HouseSky& s) {
  Cusps middles{};
  porphyry(middles, s.ascendant, s.midheaven);
  for (int h = 0; h < 12; ++h) {
    const double before = middles[(h + 11) % 12];
    c[h] = normalize_degrees(before + normalize_degrees(middles[h] - before) / 2.0);
  }
}

}  // namespace quorvane
