// The option texts the engine understands (house systems, zodiacs,
// ayanamsas, dignity schemes, orb methods) and the note that tells a caller
// when a text it gave was not one of them and what was used instead.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"

namespace quorvane {

struct OptionCode {
  std::string_view code;
  std::string_view name;
};

// In the order of the HouseSystem enumeration.
inline constexpr std::array<OptionCode, 23> kHouseSystemCodes{{
    {"P", "Placidus"},
    {"K", "Koch"},
    {"R", "Regiomontanus"},
    {"C", "Campanus"},
    {"T", "Topocentric"},
    {"B", "Alcabitius"},
    {"M", "Morinus"},
    {"O", "Porphyry"},
    {"E", "Equal"},
    {"V", "Vehlow"},
    {"W", "Whole Sign"},
    {"D", "Equal MC"},
    {"N", "Equal Aries"},
    {"X", "Meridian"},
    {"H", "Horizontal"},
    {"F", "Carter poli-equatorial"},
    {"U", "Krusinski-Pisa-Goelzer"},
    {"Y", "APC"},
    {"S", "Sripati"},
    {"I", "Sunshine"},
    {"L", "Pullen sinusoidal delta"},
    {"Q", "Pullen sinusoidal ratio"},
    {"G", "Gauquelin sectors"},
}};

inline constexpr std::array<OptionCode, 2> kZodiacTypeCodes{{
    {"tropical", "Tropical"},
    {"sidereal", "Sidereal"},
}};

inline constexpr std::array<OptionCode, 2> kDignitySchemeCodes{{
    {"lilly", "Lilly"},
    {"dorothean", "Dorothean, also read from dorotheus and egyptian"},
}};

// Any other method means per-aspect orbs, the code "aspect".
inline constexpr std::array<OptionCode, 4> kOrbMethodCodes{{
    {"moiety_hybrid", "the smaller of the aspect orb and the mean of the planet orbs"},
    {"moiety_aspect_weighted", "the mean of the planet orbs weighted by the aspect"},
    {"moiety_traditional", "the mean of the planet orbs"},
    {"aspect", "the aspect's own orb, also called per_aspect"},
}};

// A note for a text that is not a known code, or nothing. A house system is
// known as its letter in either case or as a beginning of its name (Koch,
// whole, sunsh); the other texts after trimming and lower-casing. The note names
// the text, what is used instead and the accepted codes.
std::optional<std::string> house_system_note(std::string_view text);
std::optional<std::string> zodiac_type_note(std::string_view text);
std::optional<std::string> ayanamsa_note(std::string_view text);
std::optional<std::string> dignity_scheme_note(std::string_view text);
// About the "method" of caller orb settings, when there is one.
std::optional<std::string> orb_method_note(const Json* orb_settings);

// Every list above (ayanamsas with their names), keyed by option.
struct OptionCodes {};
void write(RecordWriter& out, const OptionCode& code);
void write(RecordWriter& out, const OptionCodes& all);
Json option_codes();

}  // namespace quorvane
