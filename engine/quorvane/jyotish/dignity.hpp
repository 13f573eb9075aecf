// The grahas' dignities by sign: exaltation, debilitation, moolatrikona and
// own signs, and the natural, temporary and compound (panchadha)
// friendships. Source: Brihat Parashara Hora Shastra, chapter 3.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvane::jyotish {

// The nine grahas in the order the chart lists them.
enum Graha : uint8_t { Sun, Moon, Mars, Mercury, Jupiter, Venus, Saturn, Rahu, Ketu };
inline constexpr std::array<std::string_view, 9> kGrahaNames{
    "Sun", "Moon", "Mars", "Mercury", "Jupiter", "Venus", "Saturn", "Rahu", "Ketu"};

// The lord of each sign, Aries first.
inline constexpr std::array<Graha, 12> kSignLords{
    Mars, Venus, Mercury, Moon, Sun, Mercury, Venus, Mars, Jupiter, Saturn, Saturn, Jupiter};

struct SignDignity {
  uint8_t exaltation_sign = 0;
  double exaltation_degree = 0.0;  // the deepest point
  uint8_t moolatrikona_sign = 0;
  double moolatrikona_from = 0.0;  // degrees within the sign
  double moolatrikona_to = 0.0;
  uint8_t own_signs[2] = {0, 0};   // the same twice for the luminaries
};

// BPHS 3: exaltation Sun 10° Aries, Moon 3° Taurus, Mars 28° Capricorn,
// Mercury 15° Virgo, Jupiter 5° Cancer, Venus 27° Pisces, Saturn 20° Libra;
// debilitation the opposite sign. Moolatrikona Sun Leo 0-20, Moon Taurus
// 3-30, Mars Aries 0-12, Mercury Virgo 15-20, Jupiter Sagittarius 0-10,
// Venus Libra 0-15, Saturn Aquarius 0-20.
inline constexpr std::array<SignDignity, 7> kSignDignities{{
    {0, 10, 4, 0, 20, {4, 4}},
    {1, 3, 1, 3, 30, {3, 3}},
    {9, 28, 0, 0, 12, {0, 7}},
    {5, 15, 5, 15, 20, {2, 5}},
    {3, 5, 8, 0, 10, {8, 11}},
    {11, 27, 6, 0, 15, {1, 6}},
    {6, 20, 10, 0, 20, {9, 10}},
}};

// The nodes, by a common reading of BPHS 3 (whole signs): Rahu exalted in
// Taurus, moolatrikona Gemini, own Aquarius; Ketu exalted in Scorpio,
// moolatrikona Sagittarius, own Scorpio. No friendships are given for them,
// so in other signs their dignity is "none".
struct NodeDignity {
  uint8_t exaltation_sign;
  uint8_t moolatrikona_sign;
  uint8_t own_sign;
};
inline constexpr std::array<NodeDignity, 2> kNodeDignities{{{1, 2, 10}, {7, 8, 7}}};

// Natural friendship, BPHS 3: 1 friend, 0 neutral, -1 enemy; row the
// planet judging, column the other (the diagonal unused).
inline constexpr std::array<std::array<int8_t, 7>, 7> kNaturalFriendship{{
    //  Su  Mo  Ma  Me  Ju  Ve  Sa
    {0, 1, 1, 0, 1, -1, -1},   // Sun
    {1, 0, 0, 1, 0, 0, 0},     // Moon
    {1, 1, 0, -1, 1, 0, 0},    // Mars
    {1, -1, 0, 0, 0, 1, 0},    // Mercury
    {1, 1, 1, -1, 0, -1, 0},   // Jupiter
    {-1, -1, 0, 1, 0, 0, 1},   // Venus
    {-1, -1, -1, 1, 0, 1, 0},  // Saturn
}};

// Temporary friendship: the planets in the 2nd, 3rd, 4th, 10th, 11th and
// 12th signs from a planet are its friends, the rest its enemies.
int8_t temporary_friendship(uint8_t from_sign, uint8_t to_sign);

// Compound friendship (natural plus temporary): -2 great enemy .. 2 great friend.
int8_t compound_friendship(Graha planet, Graha other, uint8_t planet_sign, uint8_t other_sign);

// A graha's dignity in the sign and degree it stands in: "exalted",
// "debilitated", "moolatrikona", "own", then by its relation to the sign's
// lord "friend", "neutral", "enemy" (natural) or, with the compound
// friendship, also "great_friend" and "great_enemy"; "none" for a node
// outside its own signs. `lord_sign` is the sign the sign's lord stands in.
std::string_view natural_dignity(Graha planet, uint8_t sign, double degree);
std::string_view compound_dignity(Graha planet, uint8_t sign, double degree, uint8_t lord_sign);

}  // namespace quorvane::jyotish
