// The Chinese vocabulary shared by the BaZi and Zi Wei charts: stems,
// branches, animals, elements, hidden stems, ten gods, nayin and life
// stages, with the sexagenary arithmetic that joins them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "quorvane/records/record_writer.hpp"

namespace quorvane::chinese {

// x mod m, made non-negative; the one remainder of all cycle arithmetic.
constexpr int wrap(int64_t x, int m) {
  const int64_t r = x % m;
  return static_cast<int>(r < 0 ? r + m : r);
}

inline constexpr std::array<std::string_view, 10> kStems = {
    "jia", "yi", "bing", "ding", "wu", "ji", "geng", "xin", "ren", "gui"};

inline constexpr std::array<std::string_view, 12> kBranches = {
    "zi", "chou", "yin", "mao", "chen", "si", "wu", "wei", "shen", "you", "xu", "hai"};

inline constexpr std::array<std::string_view, 12> kAnimals = {
    "rat",   "ox",    "tiger",  "rabbit",  "dragon", "snake",
    "horse", "goat",  "monkey", "rooster", "dog",    "pig"};

// Production runs wood -> fire -> earth -> metal -> water -> wood.
inline constexpr std::array<std::string_view, 5> kElements = {"wood", "fire", "earth", "metal",
                                                              "water"};

inline constexpr std::array<uint8_t, 12> kBranchElement = {4, 2, 0, 0, 2, 1, 1, 2, 3, 3, 2, 4};

struct HiddenStems {
  uint8_t count;
  std::array<uint8_t, 3> stems;
};

// Stems hidden in each branch, main stem first.
inline constexpr std::array<HiddenStems, 12> kHiddenStems = {{
    {1, {9, 0, 0}},  // zi: gui
    {3, {5, 9, 7}},  // chou: ji, gui, xin
    {3, {0, 2, 4}},  // yin: jia, bing, wu
    {1, {1, 0, 0}},  // mao: yi
    {3, {4, 1, 9}},  // chen: wu, yi, gui
    {3, {2, 6, 4}},  // si: bing, geng, wu
    {2, {3, 5, 0}},  // wu: ding, ji
    {3, {5, 3, 1}},  // wei: ji, ding, yi
    {3, {6, 8, 4}},  // shen: geng, ren, wu
    {1, {7, 0, 0}},  // you: xin
    {3, {4, 7, 3}},  // xu: wu, xin, ding
    {2, {8, 0, 0}},  // hai: ren, jia
}};

// Weights of the hidden stems by their count (row count - 1).
inline constexpr std::array<std::array<double, 3>, 3> kHiddenWeights = {{
    {1.0, 0.0, 0.0},
    {0.7, 0.3, 0.0},
    {0.6, 0.3, 0.1},
}};

// By element relation (other − day master, mod 5): same polarity, other polarity.
inline constexpr std::array<std::array<std::string_view, 2>, 5> kTenGods = {{
    {"friend", "rob_wealth"},
    {"eating_god", "hurting_officer"},
    {"indirect_wealth", "direct_wealth"},
    {"seven_killings", "direct_officer"},
    {"indirect_resource", "direct_resource"},
}};

// By sexagenary cycle / 2.
inline constexpr std::array<std::string_view, 30> kNayin = {
    "sea_metal",      "furnace_fire",  "forest_wood",          "roadside_earth",
    "sword_metal",    "mountain_fire", "stream_water",         "rampart_earth",
    "wax_metal",      "willow_wood",   "spring_water",         "roof_earth",
    "thunder_fire",   "pine_wood",     "river_water",          "sand_metal",
    "foothill_fire",  "plain_wood",    "wall_earth",           "gold_leaf_metal",
    "lamp_fire",      "heavenly_river_water", "highway_earth", "hairpin_metal",
    "mulberry_wood",  "creek_water",   "sand_earth",           "sky_fire",
    "pomegranate_wood", "ocean_water"};

inline constexpr std::array<std::string_view, 12> kLifeStages = {
    "birth", "bath",  "cap_and_belt", "coming_of_age", "prosperity", "decline",
    "sickness", "death", "tomb",      "extinction",    "conception", "nurture"};

// The branch where each day stem's life cycle begins ("birth").
inline constexpr std::array<uint8_t, 10> kLifeStageBirth = {11, 6, 2, 9, 2, 9, 5, 0, 8, 3};

constexpr int stem_element(int stem) { return stem / 2; }
constexpr bool is_yang(int stem) { return stem % 2 == 0; }
constexpr std::string_view polarity(int stem) { return is_yang(stem) ? "yang" : "yin"; }

// The sexagenary index of a stem and a branch of equal parity.
constexpr int cycle_of(int stem, int branch) { return wrap(6 * stem - 5 * branch, 60); }

// The cycle of a Gregorian (or Chinese) year number: 1984 is jia-zi.
constexpr int year_cycle(int64_t year) { return wrap(year - 4, 60); }

// The cycle of a Julian day number: 1949-10-01 (2433191) is jia-zi.
constexpr int day_cycle(int64_t day_number) { return wrap(day_number - 11, 60); }

// The ten god of `stem` seen from the day master `day_stem`.
constexpr std::string_view ten_god(int stem, int day_stem) {
  const int relation = wrap(stem_element(stem) - stem_element(day_stem), 5);
  return kTenGods[static_cast<size_t>(relation)][is_yang(stem) == is_yang(day_stem) ? 0 : 1];
}

// The life stage of the day master in a branch: yang stems run forward
// from their birth branch, yin stems backward.
constexpr int life_stage(int branch, int day_stem) {
  const int birth = kLifeStageBirth[static_cast<size_t>(day_stem)];
  return is_yang(day_stem) ? wrap(branch - birth, 12) : wrap(birth - branch, 12);
}

// A date of the Chinese lunar calendar, with its year's stem, branch and animal.
struct LunarDate {
  int32_t year = 0;
  uint8_t month = 0;
  bool leap = false;
  uint32_t day = 0;
  std::string_view year_stem;
  std::string_view year_branch;
  std::string_view animal;
};

LunarDate lunar_date(int32_t year, uint8_t month, bool leap, uint32_t day);

void write(RecordWriter& out, const LunarDate& date);

}  // namespace quorvane::chinese
