// The twelve house cusps, Ascendant and Midheaven of a moment and place
// under eleven house systems. Pure spherical trigonometry; no kernels.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvane {

class HouseSystem {
 public:
  enum Value : uint8_t {
    Placidus,
    Koch,
    Regiomontanus,
    Campanus,
    Topocentric,
    Alcabitius,
    Morinus,
    Porphyry,
    Equal,
    Vehlow,
    WholeSign,
  };

  constexpr HouseSystem(Value value) : value_(value) {}
  constexpr operator Value() const { return value_; }

  // Only the first character counts (so whole words work); ASCII letters
  // are upper-cased; anything unknown, the empty text included, is Placidus.
  static HouseSystem from_code(std::string_view code);
  // The one-letter code: 'P', 'K', 'R', 'C', 'T', 'B', 'M', 'O', 'E', 'V', 'W'.
  char code() const;

 private:
  Value value_;
};

// All values in degrees in [0, 360).
struct HouseResult {
  std::array<double, 12> cusps;  // house 1 first
  double ascendant;
  double midheaven;
};

// The IAU 1980 mean obliquity of the ecliptic (Lieske's polynomial,
// rounded) in degrees at a Julian day. Houses use this mean value, not the
// true obliquity nor the IAU 2006 one of the frames.
double mean_obliquity_iau1980(double jd);

// Right ascension of the Midheaven in degrees from Greenwich apparent
// sidereal time (hours) and east longitude (degrees).
double ramc_degrees(double sidereal_time_hours, double longitude);

// Porphyry's rule: each quadrant between the angles trisected in longitude.
void porphyry(std::array<double, 12>& cusps, double ascendant, double midheaven);

// The Ascendant in degrees: the eastern (rising) intersection of the
// ecliptic and the horizon, at every latitude.
double ascendant_degrees(double ramc, double latitude, double obliquity);

// Placidus, Koch, Regiomontanus, Campanus, Topocentric, Alcabitius and
// Porphyry divide the quadrants between the Ascendant and the meridian.
// Beyond the polar circles (|latitude| >= 90 - obliquity) they are all
// built as Porphyry: cusp 1 on the Ascendant, cusp 10 on the Midheaven,
// each quadrant trisected, the cusps in zodiac order.
bool is_quadrant_system(HouseSystem system);

// Tropical houses from the RAMC, the geographic latitude and the obliquity
// (all degrees).
HouseResult houses_at_ramc(HouseSystem system, double ramc, double latitude, double obliquity);

// The chart's houses: RAMC from the sidereal time and longitude, the mean
// obliquity of `jd` (a UT Julian day), then every cusp and both angles
// reduced by `ayanamsa` (0 for a tropical chart).
HouseResult houses_at_sidereal_time(HouseSystem system, double jd, double sidereal_time_hours,
                                    double latitude, double longitude, double ayanamsa);

}  // namespace quorvane
