#include "quorvane/traditional/lots.hpp"

#include <array>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// Equal houses from the given Ascendant.
std::array<double, 12> equal_cusps(double ascendant) {
  std::array<double, 12> cusps{};
  for (int i = 0; i < 12; ++i) cusps[i] = normalize_degrees(ascendant + 30.0 * i);
  return cusps;
}

std::map<std::string, double> longitudes(const std::vector<Lot>& lots) {
  std::map<std::string, double> out;
  for (const Lot& lot : lots) out[std::string(lot.definition->name)] = lot.ecliptic_longitude;
  return out;
}

TEST(Lots, FortuneAndSpiritByDayAndNight) {
  const auto cusps = equal_cusps(0.0);
  // Sun at 200 is in house 7: a day chart.
  auto day = longitudes(arabic_parts({{"Sun", 200}, {"Moon", 40}, {"Ascendant", 0}}, cusps));
  EXPECT_EQ(day["Fortune"], 200.0);
  EXPECT_EQ(day["Spirit"], 160.0);
  // Sun at 100 is in house 4: a night chart.
  auto night = longitudes(arabic_parts({{"Sun", 100}, {"Moon", 40}, {"Ascendant", 0}}, cusps));
  EXPECT_EQ(night["Fortune"], 60.0);
  EXPECT_EQ(night["Spirit"], 300.0);
  // The cusp of house 7 (180 here) divides night from day.
  EXPECT_FALSE(arabic_parts({{"Sun", 179.9}, {"Ascendant", 0}}, cusps)[0].is_diurnal);
  EXPECT_TRUE(arabic_parts({{"Sun", 180.0}, {"Ascendant", 0}}, cusps)[0].is_diurnal);
}

// All eleven lots against hand-computed values, Ascendant at 15 with equal houses.
TEST(Lots, WholeTableByDayAndNight) {
  const auto cusps = equal_cusps(15.0);  // cusp of house 8 at 225
  std::vector<Point> points{{"Sun", 200},  {"Moon", 40},    {"Mercury", 190}, {"Venus", 230},
                            {"Mars", 100}, {"Jupiter", 70}, {"Saturn", 330},  {"Ascendant", 15},
                            {"Midheaven", 285}};
  const std::vector<Lot> day = arabic_parts(points, cusps);
  const std::vector<std::pair<std::string, double>> day_expected{
      {"Fortune", 215},  {"Spirit", 175},   {"Eros", 70},      {"Necessity", 40},
      {"Courage", 130},  {"Victory", 230},  {"Nemesis", 260},  {"Marriage", 275},
      {"Commerce", 5},   {"Sickness", 145}, {"Death", 200}};
  ASSERT_EQ(day.size(), day_expected.size());
  for (std::size_t i = 0; i < day.size(); ++i) {
    EXPECT_EQ(day[i].definition->name, day_expected[i].first);
    EXPECT_EQ(day[i].ecliptic_longitude, day_expected[i].second) << day_expected[i].first;
    EXPECT_TRUE(day[i].is_diurnal);
  }

  points[0].longitude = 100;  // house 3: night
  const std::vector<Lot> night = arabic_parts(points, cusps);
  const std::vector<std::pair<std::string, double>> night_expected{
      {"Fortune", 75},   {"Spirit", 315},   {"Eros", 100},     {"Necessity", 130},
      {"Courage", 40},   {"Victory", 20},   {"Nemesis", 270},  {"Marriage", 115},
      {"Commerce", 285}, {"Sickness", 245}, {"Death", 190}};
  ASSERT_EQ(night.size(), night_expected.size());
  for (std::size_t i = 0; i < night.size(); ++i) {
    EXPECT_EQ(night[i].ecliptic_longitude, night_expected[i].second) << night_expected[i].first;
    EXPECT_FALSE(night[i].is_diurnal);
  }
}

TEST(Lots, FormulaTextsNameTheOperandsInTheOrderUsed) {
  const auto cusps = equal_cusps(0.0);
  const std::vector<Point> day_points{{"Sun", 200}, {"Moon", 40}, {"Ascendant", 0}};
  const auto day = arabic_parts(day_points, cusps);
  EXPECT_EQ(day[0].formula_used, "ASC + Moon - Sun (Day)");
  EXPECT_EQ(day[2].formula_used, "ASC + Venus - Spirit (Day)");
  EXPECT_EQ(day[10].formula_used, "ASC + House 8 - Moon (Day)");
  const std::vector<Point> night_points{{"Sun", 100}, {"Moon", 40}, {"Ascendant", 0}};
  const auto night = arabic_parts(night_points, cusps);
  EXPECT_EQ(night[0].formula_used, "ASC + Sun - Moon (Night)");
  EXPECT_EQ(night[5].formula_used, "ASC + Fortune - Jupiter (Night)");
}

TEST(Lots, EarlierLotsShadowPointsOfTheSameName) {
  const auto cusps = equal_cusps(0.0);
  // A point called "Spirit" must not replace the lot Eros is built on.
  auto lots = longitudes(arabic_parts(
      {{"Spirit", 10}, {"Fortune", 20}, {"Sun", 200}, {"Moon", 40}, {"Venus", 50}, {"Ascendant", 0}},
      cusps));
  EXPECT_EQ(lots["Eros"], 250.0);       // 0 + 50 - 160
  EXPECT_EQ(lots["Necessity"], 200.0);  // 0 + 200 - Mercury, absent and so 0
}

TEST(Lots, MissingOperandsCountAsZero) {
  // Without twelve cusps the Sun is in house 1, so the chart is nocturnal;
  // with fewer than eight, House 8 is 0. Mercury is missing and so 0.
  const std::vector<double> seven{0, 30, 60, 90, 120, 150, 180};
  auto lots = arabic_parts({{"Sun", 200}, {"Moon", 40}, {"Ascendant", 0}}, seven);
  ASSERT_EQ(lots.size(), 11u);
  EXPECT_FALSE(lots[0].is_diurnal);
  auto values = longitudes(lots);
  EXPECT_EQ(values["Fortune"], 160.0);    // 0 + 200 - 40
  EXPECT_EQ(values["Necessity"], 200.0);  // 0 + Mercury - Fortune = 0 - 160
  EXPECT_EQ(values["Death"], 40.0);       // 0 + Moon - House 8
  // No cusps at all: night, and every lot sits in house 1.
  for (const Lot& lot : arabic_parts({{"Sun", 200}, {"Ascendant", 0}}, {})) {
    EXPECT_FALSE(lot.is_diurnal);
    EXPECT_EQ(lot.house, 1);
  }
}

TEST(Lots, NoSunOrNoAscendantNoLots) {
  const auto cusps = equal_cusps(0.0);
  EXPECT_TRUE(arabic_parts({{"Moon", 40}, {"Ascendant", 0}}, cusps).empty());
  EXPECT_TRUE(arabic_parts({{"Sun", 40}, {"Moon", 10}}, cusps).empty());
}

TEST(Lots, RecordFieldsAndKeyOrder) {
  const auto cusps = equal_cusps(15.0);
  const auto lots = arabic_parts({{"Sun", 200}, {"Moon", 40.5}, {"Ascendant", 15}}, cusps);
  // Fortune: 15 + 40.5 - 200 = 215.5, 5 Scorpio 30 in house 7.
  EXPECT_EQ(to_json_tree(lots[0]).dump(),
            R"({"name":"Fortune","symbol":"⊗","sign":"Scorpio","sign_symbol":"♏","degree":5,)"
            R"("minute":30,"ecliptic_longitude":215.5,"house":7,)"
            R"j("formula_used":"ASC + Moon - Sun (Day)","is_diurnal":true,"symbolic_degree":6})j");
  EXPECT_EQ(to_json_tree(lots[1])["symbol"], "\U0001F715");
}

}  // namespace
}  // namespace quorvane
