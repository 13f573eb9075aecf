// The twelve house cusps, Ascendant and Midheaven of a moment and place
// under twenty-three house systems (the newer ones in houses/). Pure
// spherical trigonometry; no kernels.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

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
    EqualMidheaven,
    EqualAries,
    Meridian,
    Horizontal,
    Carter,
    Krusinski,
    Apc,
    Sripati,
    Sunshine,
    PullenDelta,
    PullenRatio,
    // Gauquelin's 36 sectors; its twelve houses are every third sector
    // boundary, which are the Placidus cusps.
    Gauquelin,
  };

  constexpr HouseSystem(Value value) : value_(value) {}
  constexpr operator Value() const { return value_; }

  // A name of one of the systems after Whole Sign, or four letters or more
  // beginning only one of them and not the name of the system of its first
  // letter ("Meridian", "sunsh"; case, spaces and hyphens ignored), is that
  // system. Otherwise only the first character counts (so whole words
  // work); ASCII letters are upper-cased (so Makransky's `i` is Treindl's
  // `I`); anything unknown, the empty text included, is Placidus.
  static HouseSystem from_code(std::string_view code);
  // The one-letter code, as in kHouseSystemCodes.
  char code() const;

 private:
  Value value_;
};

// All values in degrees in [0, 360).
struct HouseResult {
  std::array<double, 12> cusps;  // house 1 first
  double ascendant;
  double midheaven;
  // Gauquelin's 36 sector boundaries, sector 1 first; empty for the other
  // systems. `cusps` then holds the Placidus cusps, every third boundary.
  std::vector<double> sectors;
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

// The longitude of the ecliptic point on the upper meridian (Meeus,
// Astronomical Algorithms, eq. 13.3 inverted for latitude 0).
double midheaven_degrees(double ramc, double obliquity);

// The Ascendant in degrees: the eastern (rising) intersection of the
// ecliptic and the horizon, at every latitude.
double ascendant_degrees(double ramc, double latitude, double obliquity);

// Placidus, Koch, Regiomontanus, Campanus, Topocentric, Alcabitius and
// Porphyry divide the quadrants between the Ascendant and the meridian, and
// Sunshine and Gauquelin divide semi-arcs that vanish there. Beyond the
// polar circles (|latitude| >= 90 - obliquity) they are all built as
// Porphyry: cusp 1 on the Ascendant, cusp 10 on the Midheaven,
// each quadrant trisected, the cusps in zodiac order.
bool is_quadrant_system(HouseSystem system);
// Beyond the polar circles part of the ecliptic never rises or sets, and the
// quadrant systems give way to Porphyry's.
bool beyond_polar_circle(double latitude, double obliquity);

// Whether |latitude| >= 90 - obliquity, where those systems fall back.
bool beyond_polar_circle(double latitude, double obliquity);

// Gauquelin's 36 sector boundaries (ecliptic longitudes, sector 1 first)
// from the Placidus cusps of the same sky (houses/gauquelin.cpp).
std::vector<double> gauquelin_sectors(double ramc, double latitude, double obliquity,
                                      const std::array<double, 12>& placidus);

inline constexpr double kNoSun = std::numeric_limits<double>::quiet_NaN();

// Tropical houses from the RAMC, the geographic latitude and the obliquity
// (all degrees).
// Sunshine needs the Sun's declination (degrees); without one (NaN) it is
// cast for a Sun on the equator.
HouseResult houses_at_ramc(HouseSystem system, double ramc, double latitude, double obliquity,
                           double sun_declination = kNoSun);

// The chart's houses: RAMC from the sidereal time and longitude, the mean
// obliquity of `jd` (a UT Julian day), then every cusp and both angles
// reduced by `ayanamsa` (0 for a tropical chart).
// `sun_longitude` is the Sun's tropical longitude, for Sunshine;
// `obliquity_nutation` (degrees) is added to the mean obliquity: the
// nutation in obliquity casts the houses with the true obliquity, as much
// of the field does (at most about 10 arcseconds of obliquity, moving
// intermediate cusps by up to about half an arcminute at mid latitudes).
HouseResult houses_at_sidereal_time(HouseSystem system, double jd, double sidereal_time_hours,
                                    double latitude, double longitude, double ayanamsa,
                                    double sun_longitude = kNoSun,
                                    double obliquity_nutation = 0.0);

}  // namespace quorvane
