#include "quorvane/jyotish/dignity.hpp"

namespace quorvane::jyotish {
namespace {

// The dignities that need no friendship, or none.
std::optional<std::string_view> fixed_dignity(Graha planet, uint8_t sign, double degree) {
  if (planet == Rahu || planet == Ketu) {
    const NodeDignity& node = kNodeDignities[planet - Rahu];
    if (sign == node.exaltation_sign) return "exalted";
    if (sign == (node.exaltation_sign + 6) % 12) return "debilitated";
    if (sign == node.moolatrikona_sign) return "moolatrikona";
    if (sign == node.own_sign) return "own";
    return "none";
  }
  const SignDignity& d = kSignDignities[planet];
  const bool in_moolatrikona = sign == d.moolatrikona_sign && degree >= d.moolatrikona_from &&
                               degree < d.moolatrikona_to;
  // Where the exaltation sign holds the moolatrikona too (Moon, Mercury),
  // exaltation runs only to the moolatrikona's start.
  if (sign == d.exaltation_sign && !in_moolatrikona &&
      (d.moolatrikona_sign != sign || degree < d.moolatrikona_from)) {
    return "exalted";
  }
  if (sign == (d.exaltation_sign + 6) % 12) return "debilitated";
  if (in_moolatrikona) return "moolatrikona";
  if (sign == d.own_signs[0] || sign == d.own_signs[1]) return "own";
  return std::nullopt;
}

}  // namespace

int8_t temporary_friendship(uint8_t from_sign, uint8_t to_sign) {
  const int house = (to_sign - from_sign + 12) % 12 + 1;
  return (house == 2 || house == 3 || house == 4 || house >= 10) ? 1 : -1;
}

int8_t compound_friendship(Graha planet, Graha other, uint8_t planet_sign, uint8_t other_sign) {
  return static_cast<int8_t>(kNaturalFriendship[planet][other] +
                             temporary_friendship(planet_sign, other_sign));
}

std::string_view natural_dignity(Graha planet, uint8_t sign, double degree) {
  if (auto fixed = fixed_dignity(planet, sign, degree)) return *fixed;
  switch (kNaturalFriendship[planet][kSignLords[sign]]) {
    case 1: return "friend";
    case -1: return "enemy";
    default: return "neutral";
  }
}

std::string_view compound_dignity(Graha planet, uint8_t sign, double degree, uint8_t lord_sign) {
  if (auto fixed = fixed_dignity(planet, sign, degree)) return *fixed;
  static constexpr std::array<std::string_view, 5> kNames{"great_enemy", "enemy", "neutral",
                                                          "friend", "great_friend"};
  return kNames[compound_friendship(planet, kSignLords[sign], sign, lord_sign) + 2];
}

}  // namespace quorvane::jyotish
