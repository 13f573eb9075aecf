// The zodiac: tropical or sidereal, the ayanamsa table and its value at a
// moment, the twelve signs, the split of a longitude into sign, degree and
// minute, and the house a longitude falls in.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quorvane {

// The angle in degrees mod 360, plus 360 when negative: in [0, 360], where
// a hair below zero gives 360 itself (the very end of the circle).
double remainder_degrees(double degrees);

// Reduces an angle in degrees into [0, 360): floating remainder, plus 360
// when negative; an exact (or negative) zero gives +0 and NaN stays NaN.
// A tiny negative remainder whose sum with 360 rounds up to 360 gives 0, so
// the result never leaves [0, 360).
double normalize_degrees(double degrees);

// Option texts arrive as free text: strip leading and trailing Unicode
// white space and lower-case. Only the lower-casing that can turn a
// character into ASCII matters for the option keys, so ASCII letters and the
// Kelvin sign (which lower-cases to 'k') are folded; everything else is kept.
std::string normalize_option_text(std::string_view text);

enum class ZodiacType : uint8_t { Tropical, Sidereal };

// Sidereal only for "sidereal" after normalisation; anything else is tropical.
ZodiacType zodiac_type_from_text(std::string_view text);
// "tropical" or "sidereal".
std::string_view zodiac_word(ZodiacType type);

struct SignInfo {
  std::string_view name;
  std::string_view glyph;  // one 3-byte UTF-8 character
  std::string_view element;
  std::string_view modality;
};

inline constexpr std::array<SignInfo, 12> kSigns{{
    {"Aries", "\u2648", "Fire", "Cardinal"},
    {"Taurus", "\u2649", "Earth", "Fixed"},
    {"Gemini", "\u264A", "Air", "Mutable"},
    {"Cancer", "\u264B", "Water", "Cardinal"},
    {"Leo", "\u264C", "Fire", "Fixed"},
    {"Virgo", "\u264D", "Earth", "Mutable"},
    {"Libra", "\u264E", "Air", "Cardinal"},
    {"Scorpio", "\u264F", "Water", "Fixed"},
    {"Sagittarius", "\u2650", "Fire", "Mutable"},
    {"Capricorn", "\u2651", "Earth", "Cardinal"},
    {"Aquarius", "\u2652", "Air", "Fixed"},
    {"Pisces", "\u2653", "Water", "Mutable"},
}};

struct Ayanamsa {
  std::string_view code;
  std::string_view name;
  double value_j2000;  // degrees at JD 2451545.0
  double rate;         // arcsec per Julian century added to the general precession
};

inline constexpr std::array<Ayanamsa, 14> kAyanamsas{{
    {"lahiri", "Lahiri (Chitra Paksha)", 23.857092, -0.0016},
    {"fagan_bradley", "Fagan-Bradley", 24.7403, -0.0015},
    {"krishnamurti", "Krishnamurti (KP)", 23.76024, -0.0007},
    {"raman", "B.V. Raman", 22.410791, -0.0007},
    {"true_citra", "True Chitra", 23.840017, -4.5046},
    {"yukteshwar", "Sri Yukteswar", 22.478803, -0.0007},
    {"deluce", "De Luce", 27.815753, -0.0189},
    {"ushashashi", "Usha-Shashi", 20.057541, -0.0007},
    {"jn_bhasin", "J.N. Bhasin", 22.762137, -0.0007},
    {"aldebaran_15tau", "Aldebaran 15\u00B0 Taurus", 24.758924, -0.0226},
    {"hipparchos", "Hipparchos", 20.247788, -0.0236},
    {"sassanian", "Sassanian", 19.992959, -0.0032},
    {"galcent_0sag", "Galactic Center 0\u00B0 Sagittarius", 26.846048, -0.2407},
    {"j2000", "J2000.0 Epoch", 0.0, 0.0},
}};

inline constexpr std::string_view kDefaultAyanamsa = "galcent_0sag";

// Annual general precession at J2000.0; reports carry it rounded to 4 decimals.
inline constexpr double kPrecessionArcsecPerYear = 50.290966;

struct AyanamsaInfo {
  std::string formatted;  // unrounded value as D° MM' SS"
  std::string_view code;  // points into kAyanamsas
  std::string_view name;
  double value;  // degrees in [0, 360), rounded to 6 decimals
  double precession_rate_arcsec_yr;
};

// Looks a code up after normalisation; unknown codes give "galcent_0sag".
const Ayanamsa& ayanamsa(std::string_view code);
// The unrounded value in [0, 360) at a Julian day.
double ayanamsa_degrees(const Ayanamsa& entry, double jd);
// D° MM' SS" of an angle, seconds rounded half to even with carries.
std::string format_dms(double degrees);
AyanamsaInfo ayanamsa_info(std::string_view code, double jd);

struct LongitudeSplit {
  uint8_t sign;  // 0 = Aries
  int64_t degree;  // 0-29
  int64_t minute;  // 0-59
  int64_t symbolic_degree;  // 1-30

  const SignInfo& info() const { return kSigns[sign]; }
};

// The sign index 0-11 of a longitude (reduced first), from the exact
// remainder modulo 30 rather than a division that can round up across a
// boundary. No minute carry; a non-finite longitude gives 0.
uint8_t sign_index(double longitude);

// A non-finite longitude splits as 0° 00' Aries.
LongitudeSplit split_longitude(double longitude);

// The house (1-12) holding `longitude` among twelve cusps in house order;
// house 1 when the cusps are not twelve or nothing matches.
uint8_t determine_house(std::span<const double> cusps, double longitude);

}  // namespace quorvane
