// The panchanga of a moment and place: tithi, vara, nakshatra, yoga and
// karana, each with the moment it ends, and the Hindu day (sunrise to
// sunrise) the moment belongs to.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/record_writer.hpp"

namespace quorvane::jyotish {

inline constexpr std::array<std::string_view, 15> kTithiNames{
    "Pratipada", "Dwitiya", "Tritiya", "Chaturthi", "Panchami", "Shashthi", "Saptami", "Ashtami",
    "Navami", "Dashami", "Ekadashi", "Dwadashi", "Trayodashi", "Chaturdashi", "Purnima"};
inline constexpr std::string_view kNewMoonTithi = "Amavasya";  // the thirtieth

inline constexpr std::array<std::string_view, 27> kYogaNames{
    "Vishkambha", "Priti",   "Ayushman",  "Saubhagya", "Shobhana", "Atiganda", "Sukarma",
    "Dhriti",     "Shula",   "Ganda",     "Vriddhi",   "Dhruva",   "Vyaghata", "Harshana",
    "Vajra",      "Siddhi",  "Vyatipata", "Variyana",  "Parigha",  "Shiva",    "Siddha",
    "Sadhya",     "Shubha",  "Shukla",    "Brahma",    "Indra",    "Vaidhriti"};

// Karana 1 is Kimstughna, 2-57 the seven movable ones in turn, 58-60
// Shakuni, Chatushpada, Naga.
inline constexpr std::array<std::string_view, 7> kMovableKaranas{
    "Bava", "Balava", "Kaulava", "Taitila", "Gara", "Vanija", "Vishti"};
std::string_view karana_name(int number);  // 1-60

// Sunday first, with the day's lord.
inline constexpr std::array<std::string_view, 7> kVaraNames{
    "Ravivara", "Somavara", "Mangalavara", "Budhavara", "Guruvara", "Shukravara", "Shanivara"};
inline constexpr std::array<std::string_view, 7> kVaraLords{
    "Sun", "Moon", "Mars", "Mercury", "Jupiter", "Venus", "Saturn"};

// When the Sun counts as risen: its disc's centre on the true horizon
// without refraction (the Surya Siddhanta's convention, the default), or
// its upper limb with the standard refraction (altitude of the centre
// -0°50', as the almanac uses).
struct SunriseConvention {
  std::string_view name;
  double altitude = 0.0;  // of the Sun's centre, degrees, geometric
};
inline constexpr std::array<SunriseConvention, 2> kSunriseConventions{{
    {"disc_centre", 0.0},
    {"upper_limb", -0.8333},
}};
std::optional<SunriseConvention> sunrise_convention(std::string_view name);

// An element that lasts until `end` (UT Julian day).
struct Element {
  int number = 1;  // 1-based
  std::string_view name;
  double end = 0.0;
};

struct Panchanga {
  Element tithi;  // 1-30
  std::string_view paksha;  // "shukla" (waxing, 1-15) or "krishna"
  Element nakshatra;        // 1-27, of the Moon
  uint8_t nakshatra_pada = 1;
  std::string_view nakshatra_lord;
  Element yoga;    // 1-27
  Element karana;  // 1-60
  int vara = 0;    // 0 Sunday
  std::string_view sunrise_convention;
  // UT Julian days of the Hindu day; none where the Sun neither rises nor
  // sets (the vara then changes at local mean midnight instead).
  std::optional<double> sunrise;
  std::optional<double> sunset;
  std::optional<double> next_sunrise;
  bool day = false;  // the Sun above the horizon by the convention
};

// The panchanga at UT Julian day `jd`, with longitudes from the sidereal
// zodiac of `ayanamsa` (only the yoga depends on it).
Expected<Panchanga, EngineError> panchanga(const KernelSet& kernels, double jd, double latitude,
                                           double longitude, std::string_view ayanamsa,
                                           const SunriseConvention& convention);

void write(RecordWriter& out, const Panchanga& panchanga);

}  // namespace quorvane::jyotish
