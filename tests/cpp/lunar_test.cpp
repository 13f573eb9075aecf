#include "quorvane/traditional/lunar.hpp"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quorvane/chart/chart.hpp"

namespace quorvane {
namespace {

// Equal houses from 0 degrees Aries.
constexpr std::array<double, 12> kCusps{0, 30, 60, 90, 120, 150, 180, 210, 240, 270, 300, 330};

struct Body {
  std::string name;
  double longitude;
  double speed = 13.0;
};

std::vector<Placement> chart_of(std::vector<Body> bodies) {
  std::vector<BodyView> placed;
  for (const Body& b : bodies) placed.push_back({b.name, b.longitude, b.speed, false});
  return placements(std::move(placed), kCusps, 0.0, 270.0);
}

LunarStatus status_of(double sun, double moon, double speed = 13.0) {
  auto status = lunar_status(chart_of({{"Sun", sun, 1.0}, {"Moon", moon, speed}}));
  EXPECT_TRUE(status.has_value());
  return status.value_or(LunarStatus{});
}

TEST(LunarPhase, NewAndFullMoon) {
  const LunarStatus new_moon = status_of(10.0, 10.0);
  EXPECT_EQ(new_moon.phase->key, "new_moon");
  EXPECT_EQ(new_moon.phase->name, "New Moon");
  EXPECT_EQ(new_moon.phase->quarter, 1);
  EXPECT_EQ(new_moon.phase->glyph, "\U0001F311");
  EXPECT_EQ(new_moon.elongation, 0.0);
  EXPECT_EQ(new_moon.illumination_percentage, 0.0);
  EXPECT_EQ(new_moon.moon_age_days, 0.0);
  EXPECT_TRUE(new_moon.is_waxing);

  const LunarStatus full = status_of(0.0, 180.0);
  EXPECT_EQ(full.phase->key, "full_moon");
  EXPECT_EQ(full.phase->quarter, 3);
  EXPECT_EQ(full.illumination_percentage, 100.0);
  EXPECT_EQ(full.moon_age_days, 14.8);
  EXPECT_FALSE(full.is_waxing);
}

TEST(LunarPhase, EachPhaseStartsAtItsLowerBound) {
  const char* keys[] = {"waxing_crescent", "first_quarter", "waxing_gibbous", "full_moon",
                        "waning_gibbous", "third_quarter", "waning_crescent", "new_moon"};
  const char* before[] = {"new_moon",       "waxing_crescent", "first_quarter",  "waxing_gibbous",
                          "full_moon",      "waning_gibbous",  "third_quarter", "waning_crescent"};
  for (int i = 0; i < 8; ++i) {
    const double bound = 22.5 + 45.0 * i;
    EXPECT_EQ(lunar_phase(bound).key, keys[i]) << bound;
    EXPECT_EQ(lunar_phase(std::nextafter(bound, 0.0)).key, before[i]) << bound;
  }
  EXPECT_EQ(lunar_phase(359.999).key, "new_moon");
  EXPECT_EQ(lunar_phase(std::nan("")).key, "new_moon");
}

TEST(LunarPhase, ElongationWrapsBehindTheSun) {
  // The Moon 30 degrees behind the Sun across 0 Aries: E = 330, waning.
  const LunarStatus s = status_of(10.0, 340.0);
  EXPECT_EQ(s.elongation, 330.0);
  EXPECT_EQ(s.phase->key, "waning_crescent");
  EXPECT_EQ(s.phase->quarter, 4);
  EXPECT_FALSE(s.is_waxing);
  EXPECT_EQ(s.illumination_percentage, 6.7);  // (1 - cos 330) / 2 = 0.0670
  EXPECT_EQ(s.moon_age_days, 27.1);           // 330 / 360 * 29.5306 = 27.07
}

TEST(LunarPhase, WithoutSunTheElongationIsTheMoonsLongitude) {
  auto s = lunar_status(chart_of({{"Moon", 200.5}}));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->elongation, 200.5);
  EXPECT_EQ(s->phase->key, "full_moon");
}

TEST(LunarPhase, NoMoonNoStatus) {
  EXPECT_FALSE(lunar_status(chart_of({{"Sun", 10.0}})));
  EXPECT_FALSE(lunar_status({}));
}

TEST(LunarMansions, BoundariesFollowTheExactDivision) {
  struct Case {
    double longitude;
    int number;
  };
  // The rounded display bounds are not the rule: 38.57 is still short of
  // 3 * 360 / 28 = 38.5714, and 12.86 is already past 360 / 28.
  const Case cases[] = {
      {0.0, 1},    {12.85, 1},  {12.86, 2},  {38.57, 3}, {38.572, 4},
      {90.0, 8},   {180.0, 15}, {270.0, 22}, {347.14, 27}, {347.15, 28},
      {359.9, 28}, {360.0, 1},  {-0.1, 28},  {720.5, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kLunarMansions[mansion_index(c.longitude)].number, c.number) << c.longitude;
  }
  EXPECT_EQ(mansion_index(std::nan("")), 0u);
  // Out-of-range quotients saturate to the 64-bit limits before the modulo.
  EXPECT_EQ(mansion_index(std::numeric_limits<double>::infinity()), 7u);
  EXPECT_EQ(mansion_index(-std::numeric_limits<double>::infinity()), 20u);
}

TEST(LunarMansions, StatusCarriesTheMansionRecord) {
  const LunarStatus s = status_of(0.0, 359.9);
  ASSERT_NE(s.lunar_mansion, nullptr);
  EXPECT_EQ(s.lunar_mansion->number, 28);
  EXPECT_EQ(s.lunar_mansion->arabic, "Batn al-Hut");
  const Json json = quorvane::to_json_tree(*s.lunar_mansion);
  EXPECT_EQ(json.dump(),
            R"({"number":28,"arabic":"Batn al-Hut","name":"The Belly of the Fish",)"
            R"("sign":"Pisces - Aries","degree_start":347.14,"degree_end":360.0})");
}

TEST(LunarStatusFields, SpeedClassesAtTheirLimits) {
  EXPECT_EQ(status_of(0, 50, 12.5).speed_status, "average");
  EXPECT_EQ(status_of(0, 50, 13.5).speed_status, "average");
  EXPECT_EQ(status_of(0, 50, 13.51).speed_status, "swift");
  EXPECT_EQ(status_of(0, 50, 12.49).speed_status, "slow");
  EXPECT_EQ(status_of(0, 50, 12.49).moon_speed, 12.49);
  EXPECT_EQ(status_of(0, 50, 13.4567).moon_speed, 13.46);
}

TEST(LunarStatusFields, DignityBySign) {
  EXPECT_EQ(status_of(0, 95).essential_dignity, "Domicile");     // Cancer
  EXPECT_EQ(status_of(0, 33).essential_dignity, "Exaltation");   // Taurus
  EXPECT_EQ(status_of(0, 215).essential_dignity, "Fall");        // Scorpio
  EXPECT_EQ(status_of(0, 275).essential_dignity, "Detriment");   // Capricorn
  EXPECT_EQ(status_of(0, 125).essential_dignity, "Peregrine");   // Leo
}

TEST(LunarStatusFields, MoonPlacementFields) {
  const LunarStatus s = status_of(10.0, 95.5);
  EXPECT_EQ(kSigns[s.moon_sign].name, "Cancer");
  EXPECT_EQ(s.moon_degree, 5);
  EXPECT_EQ(s.moon_minute, 30);
  EXPECT_EQ(s.moon_house, 4);
  const Json json = quorvane::to_json_tree(s);
  EXPECT_EQ(json["moon_sign"], "Cancer");
  EXPECT_EQ(json["lunar_mansion"]["number"], 8);
}

}  // namespace
}  // namespace quorvane
