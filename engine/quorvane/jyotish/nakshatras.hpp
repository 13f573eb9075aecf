// The twenty-seven lunar mansions (nakshatras) of 13°20' each from sidereal
// 0° Aries, their quarters (padas) of 3°20', and the Vimshottari lord of
// each mansion (the nine lords repeated three times from Ashwini).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvane::jyotish {

inline constexpr double kNakshatraSpan = 360.0 / 27.0;  // 13°20'
inline constexpr double kPadaSpan = kNakshatraSpan / 4.0;  // 3°20'

// Usual romanised spellings, Ashwini first.
inline constexpr std::array<std::string_view, 27> kNakshatraNames{
    "Ashwini",       "Bharani",          "Krittika",          "Rohini",      "Mrigashira",
    "Ardra",         "Punarvasu",        "Pushya",            "Ashlesha",    "Magha",
    "Purva Phalguni", "Uttara Phalguni", "Hasta",             "Chitra",      "Swati",
    "Vishakha",      "Anuradha",         "Jyeshtha",          "Mula",        "Purva Ashadha",
    "Uttara Ashadha", "Shravana",        "Dhanishta",         "Shatabhisha", "Purva Bhadrapada",
    "Uttara Bhadrapada", "Revati"};

// A longitude's mansion: index 0-26, pada 1-4, the fraction of the mansion
// already traversed (0 <= passed < 1) and the mansion's Vimshottari lord.
struct NakshatraPlace {
  uint8_t index = 0;
  uint8_t pada = 1;
  double passed = 0.0;
  std::string_view name;
  std::string_view lord;
};

// A sidereal longitude (any real number of degrees, reduced first).
NakshatraPlace nakshatra_of(double longitude);

// [0, 360) of any real number of degrees.
double reduced_degrees(double longitude);

}  // namespace quorvane::jyotish
