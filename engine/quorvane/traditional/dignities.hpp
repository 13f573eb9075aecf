// Essential dignities: domiciles, exaltations, triplicities, bounds and
// faces of the zodiac under the two schemes, and the score of a planet.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/traditional/chaldean_order.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

class DignityScheme {
 public:
  enum Value { Lilly, Dorothean };
  constexpr DignityScheme(Value value) : value_(value) {}
  constexpr operator Value() const { return value_; }

  // "dorothean", "dorotheus" and "egyptian" (trimmed, any case) are
  // Dorothean; every other text is Lilly.
  static DignityScheme from_code(std::string_view code);
  // "lilly" or "dorothean", as charts show it.
  std::string_view name() const { return value_ == Dorothean ? "dorothean" : "lilly"; }

 private:
  Value value_;
};

// The seven traditional planets, the only bodies that hold dignities.
inline constexpr bool is_traditional_planet(std::string_view name) {
  for (std::string_view planet : kChaldeanOrder) {
    if (planet == name) return true;
  }
  return false;
}

struct SignRulers {
  std::string_view domicile;
  std::string_view exaltation;  // empty for the five signs without one
};

// Indexed by sign, Aries first (the element is kSigns[s].element).
inline constexpr std::array<SignRulers, 12> kSignRulers{{
    {"Mars", "Sun"},         // Aries
    {"Venus", "Moon"},       // Taurus
    {"Mercury", ""},         // Gemini
    {"Moon", "Jupiter"},     // Cancer
    {"Sun", ""},             // Leo
    {"Mercury", "Mercury"},  // Virgo
    {"Venus", "Saturn"},     // Libra
    {"Mars", ""},            // Scorpio
    {"Jupiter", ""},         // Sagittarius
    {"Saturn", "Mars"},      // Capricorn
    {"Saturn", ""},          // Aquarius
    {"Jupiter", "Venus"},    // Pisces
}};

// Triplicity lords of one element: day, night, then (Dorothean only) the
// participating lord.
struct TriplicityRow {
  std::string_view element;
  std::array<std::string_view, 3> lords;
};

inline constexpr std::array<TriplicityRow, 4> kLillyTriplicities{{
    {"Fire", {"Sun", "Jupiter", ""}},
    {"Earth", {"Venus", "Moon", ""}},
    {"Air", {"Saturn", "Mercury", ""}},
    {"Water", {"Mars", "Mars", ""}},  // Lilly gives Mars both by day and by night
}};

inline constexpr std::array<TriplicityRow, 4> kDorotheanTriplicities{{
    {"Fire", {"Sun", "Jupiter", "Saturn"}},
    {"Earth", {"Venus", "Moon", "Mars"}},
    {"Air", {"Saturn", "Mercury", "Jupiter"}},
    {"Water", {"Venus", "Mars", "Moon"}},
}};

// One bound: its lord and the degree within the sign where it ends.
struct Bound {
  std::string_view lord;
  int end;
};
using BoundRow = std::array<Bound, 5>;

inline constexpr std::array<BoundRow, 12> kLillyBounds{{
    {{{"Jupiter", 6}, {"Venus", 14}, {"Mercury", 21}, {"Mars", 26}, {"Saturn", 30}}},
    {{{"Venus", 8}, {"Mercury", 15}, {"Jupiter", 22}, {"Saturn", 26}, {"Mars", 30}}},
    {{{"Mercury", 7}, {"Jupiter", 14}, {"Venus", 21}, {"Saturn", 25}, {"Mars", 30}}},
    {{{"Mars", 6}, {"Jupiter", 13}, {"Mercury", 20}, {"Venus", 27}, {"Saturn", 30}}},
    {{{"Saturn", 6}, {"Mercury", 13}, {"Venus", 19}, {"Jupiter", 25}, {"Mars", 30}}},
    {{{"Mercury", 7}, {"Venus", 13}, {"Jupiter", 18}, {"Saturn", 24}, {"Mars", 30}}},
    {{{"Saturn", 6}, {"Venus", 11}, {"Jupiter", 19}, {"Mercury", 24}, {"Mars", 30}}},
    {{{"Mars", 6}, {"Jupiter", 14}, {"Venus", 21}, {"Mercury", 27}, {"Saturn", 30}}},
    {{{"Jupiter", 8}, {"Venus", 14}, {"Mercury", 19}, {"Saturn", 25}, {"Mars", 30}}},
    {{{"Venus", 6}, {"Mercury", 12}, {"Jupiter", 19}, {"Mars", 25}, {"Saturn", 30}}},
    {{{"Saturn", 6}, {"Mercury", 12}, {"Venus", 20}, {"Jupiter", 25}, {"Mars", 30}}},
    {{{"Venus", 8}, {"Jupiter", 14}, {"Mercury", 20}, {"Mars", 25}, {"Saturn", 30}}},
}};

// The Egyptian bounds.
inline constexpr std::array<BoundRow, 12> kDorotheanBounds{{
    {{{"Jupiter", 6}, {"Venus", 12}, {"Mercury", 20}, {"Mars", 25}, {"Saturn", 30}}},
    {{{"Venus", 8}, {"Mercury", 14}, {"Jupiter", 22}, {"Saturn", 27}, {"Mars", 30}}},
    {{{"Mercury", 6}, {"Jupiter", 12}, {"Venus", 17}, {"Mars", 24}, {"Saturn", 30}}},
    {{{"Mars", 7}, {"Venus", 13}, {"Mercury", 19}, {"Jupiter", 26}, {"Saturn", 30}}},
    {{{"Jupiter", 6}, {"Venus", 11}, {"Saturn", 18}, {"Mercury", 24}, {"Mars", 30}}},
    {{{"Mercury", 7}, {"Venus", 17}, {"Jupiter", 21}, {"Mars", 28}, {"Saturn", 30}}},
    {{{"Saturn", 6}, {"Mercury", 14}, {"Jupiter", 21}, {"Venus", 28}, {"Mars", 30}}},
    {{{"Mars", 7}, {"Venus", 11}, {"Mercury", 19}, {"Jupiter", 24}, {"Saturn", 30}}},
    {{{"Jupiter", 12}, {"Venus", 17}, {"Mercury", 21}, {"Saturn", 26}, {"Mars", 30}}},
    {{{"Mercury", 7}, {"Jupiter", 14}, {"Venus", 22}, {"Saturn", 26}, {"Mars", 30}}},
    {{{"Mercury", 7}, {"Venus", 13}, {"Jupiter", 20}, {"Mars", 25}, {"Saturn", 30}}},
    {{{"Venus", 12}, {"Jupiter", 16}, {"Mercury", 19}, {"Mars", 28}, {"Saturn", 30}}},
}};

// Points of each essential dignity and debility.
struct DignityScores {
  int domicile;
  int exaltation;
  int triplicity;
  int bound;
  int face;
  int detriment;
  int fall;
  int peregrine;
};
inline constexpr DignityScores kDignityScores{5, 4, 3, 2, 1, -5, -4, -5};

// The faces run through the Chaldean order without a break, starting with
// Mars in the first ten degrees of Aries.
constexpr std::string_view face_lord(int sign, int decan) {
  return kChaldeanOrder[(3 * sign + decan + 2) % 7];
}

constexpr const std::array<TriplicityRow, 4>& triplicities(DignityScheme scheme) {
  return scheme == DignityScheme::Dorothean ? kDorotheanTriplicities : kLillyTriplicities;
}
constexpr const std::array<BoundRow, 12>& bounds(DignityScheme scheme) {
  return scheme == DignityScheme::Dorothean ? kDorotheanBounds : kLillyBounds;
}
// How many triplicity lords a scheme names: 2 (day, night) or 3.
constexpr int triplicity_count(DignityScheme scheme) {
  return scheme == DignityScheme::Dorothean ? 3 : 2;
}

// The domicile ruler of sign index 0-11 (Aries first), taken modulo 12.
constexpr std::string_view domicile_ruler(int sign) {
  return kSignRulers[static_cast<size_t>(((sign % 12) + 12) % 12)].domicile;
}

// The index 0-11 of an exact sign name, or none.
std::optional<int> sign_from_name(std::string_view sign);

// Lookups by exact sign name; an unknown name gives none.
std::optional<std::string_view> traditional_ruler(std::string_view sign);
std::optional<std::string_view> exaltation(std::string_view sign);
std::optional<std::string_view> element(std::string_view sign);

// The planet rules or is exalted in the sign opposite `sign` (detriment or
// fall there); false for an unknown sign name.
bool is_debilitated(std::string_view planet, std::string_view sign);

// A longitude as a place of the zodiac: its sign, degree within the sign and
// decan. A non-finite longitude is 0° Aries with a NaN degree (last bound,
// first face).
struct ZodiacPlace {
  int sign;       // 0-11
  double degree;  // [0, 30)
  int decan;      // 0-2
};
ZodiacPlace place_of(double longitude);

// The lords of one place.
struct DignityLords {
  std::string_view domicile;
  std::optional<std::string_view> exaltation;
  std::span<const std::string_view> triplicity;  // into the scheme's table
  std::string_view bound;
  std::string_view face;
};

DignityLords lords_at(DignityScheme scheme, double longitude);

// The names of the dignities `planet` holds at `longitude`, in the order
// domicile, exaltation, triplicity, bound, face; triplicity counts any of the
// place's triplicity lords whatever the sect.
std::vector<std::string_view> dignities_of(std::string_view planet, DignityScheme scheme,
                                           double longitude);

// A planet's essential state at its place, with the triplicity judged by the
// chart's sect.
struct EssentialDignity {
  bool domicile = false;
  bool exaltation = false;
  bool triplicity = false;
  bool bound = false;
  bool face = false;
  bool detriment = false;
  bool fall = false;
  bool peregrine = false;
  int score = 0;
  DignityLords lords;
};

EssentialDignity essential_dignity(std::string_view planet, DignityScheme scheme, double longitude,
                                   bool diurnal);

void write(RecordWriter& out, const DignityLords& lords);
void write(RecordWriter& out, const EssentialDignity& dignity);

}  // namespace quorvane
