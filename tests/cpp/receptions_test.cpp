#include "quorvane/traditional/receptions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "quorvane/traditional/chart_dignities.hpp"

namespace {

using namespace quorvane;
using Names = std::vector<std::string_view>;

Aspect aspect(std::string body1, std::string body2, std::string type) {
  Aspect a;
  a.body1 = std::move(body1);
  a.body2 = std::move(body2);
  a.aspect_type = std::move(type);
  return a;
}

const Reception* find(const std::vector<Reception>& list, std::string_view planet,
                      std::string_view receiver) {
  for (const Reception& r : list) {
    if (r.planet == planet && r.receiver == receiver) return &r;
  }
  return nullptr;
}

TEST(Receptions, LightsInEachOthersSigns) {
  // Sun at 10° Leo and Moon at 10° Cancer: each at home, no reception.
  std::vector<BodyView> bodies = {{"Sun", 130.0, 1.0}, {"Moon", 100.0, 13.0}};
  EXPECT_TRUE(receptions(bodies, {}, DignityScheme::Lilly).empty());

  // Swapped: mutual by domicile, listed from each side, the Sun first.
  bodies = {{"Moon", 130.0, 13.0}, {"Sun", 100.0, 1.0}};
  const std::vector<Aspect> aspects = {aspect("Moon", "Sun", "Semi-Sextile")};
  const auto list = receptions(bodies, aspects, DignityScheme::Lilly);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].planet, "Sun");
  EXPECT_EQ(list[0].receiver, "Moon");
  EXPECT_EQ(list[0].dignities, (Names{"domicile"}));
  EXPECT_TRUE(list[0].mutual);
  EXPECT_EQ(list[0].aspect, "Semi-Sextile");  // found with the names in either order
  EXPECT_EQ(list[1].planet, "Moon");
  EXPECT_EQ(list[1].dignities, (Names{"domicile", "triplicity"}));
  EXPECT_TRUE(list[1].mutual);
  EXPECT_EQ(quorvane::to_json_tree(list[1]).dump(),
            R"({"planet":"Moon","receiver":"Sun","dignities":["domicile","triplicity"],)"
            R"("mutual":true,"aspect":"Semi-Sextile"})");
}

TEST(Receptions, OnlyDomicileAndExaltationMakeItMutual) {
  // Mars at 5° Sagittarius (Jupiter's sign) and Jupiter at 5° Aries (Mars'
  // sign): mutual by domicile.
  auto list = receptions(std::vector<BodyView>{{"Mars", 245.0, 0.5}, {"Jupiter", 5.0, 0.1}}, {},
                         DignityScheme::Lilly);
  ASSERT_NE(find(list, "Mars", "Jupiter"), nullptr);
  EXPECT_TRUE(find(list, "Mars", "Jupiter")->mutual);

  // Domicile one way, exaltation the other: the Moon at 15° Capricorn
  // (Saturn's sign), Saturn at 5° Taurus (the Moon's exaltation).
  list = receptions(std::vector<BodyView>{{"Moon", 285.0, 13.0}, {"Saturn", 35.0, 0.03}}, {},
                    DignityScheme::Lilly);
  ASSERT_NE(find(list, "Moon", "Saturn"), nullptr);
  ASSERT_NE(find(list, "Saturn", "Moon"), nullptr);
  EXPECT_EQ(find(list, "Moon", "Saturn")->dignities, (Names{"domicile"}));
  EXPECT_EQ(find(list, "Saturn", "Moon")->dignities, (Names{"exaltation", "triplicity"}));
  EXPECT_TRUE(find(list, "Moon", "Saturn")->mutual);

  // Triplicity both ways is never mutual: Venus at 25° Capricorn and the
  // Moon at 25° Virgo, earth signs ruled by neither.
  list = receptions(std::vector<BodyView>{{"Venus", 295.0, 1.0}, {"Moon", 175.0, 13.0}}, {},
                    DignityScheme::Lilly);
  ASSERT_NE(find(list, "Venus", "Moon"), nullptr);
  ASSERT_NE(find(list, "Moon", "Venus"), nullptr);
  EXPECT_EQ(find(list, "Venus", "Moon")->dignities, (Names{"triplicity"}));
  EXPECT_EQ(find(list, "Moon", "Venus")->dignities, (Names{"triplicity"}));
  EXPECT_FALSE(find(list, "Venus", "Moon")->mutual);
  EXPECT_FALSE(find(list, "Moon", "Venus")->mutual);
  EXPECT_EQ(find(list, "Moon", "Venus")->aspect, std::nullopt);
}

TEST(Receptions, ChaldeanOrderFirstBodyOfEachName) {
  const std::vector<BodyView> bodies = {
      {"Moon", 10.0, 13.0},  {"Ascendant", 130.0, 0.0}, {"Sun", 250.0, 1.0},
      {"Saturn", 100.0, 0.03}, {"Mars", 130.0, 0.5},     {"Saturn", 280.0, 0.03},
      {"Uranus", 5.0, 0.01}};
  const std::vector<Aspect> aspects = {aspect("Sun", "Mars", "Trine"),
                                       aspect("Mars", "Sun", "Square"),
                                       aspect("Ascendant", "Mars", "Conjunction")};
  const auto list = receptions(bodies, aspects, DignityScheme::Lilly);
  ASSERT_FALSE(list.empty());
  // Outer loop in Chaldean order whatever the input order.
  const Names order = {"Saturn", "Jupiter", "Mars", "Sun", "Venus", "Mercury", "Moon"};
  size_t last = 0;
  for (const Reception& r : list) {
    const size_t at = std::find(order.begin(), order.end(), r.planet) - order.begin();
    EXPECT_GE(at, last);
    last = at;
    EXPECT_NE(r.planet, r.receiver);
    EXPECT_NE(r.receiver, "Uranus");
    EXPECT_FALSE(r.dignities.empty());
  }
  // Saturn is judged at its first place, 10° Cancer: the Moon's domicile.
  const Reception* moon_has_saturn = find(list, "Saturn", "Moon");
  ASSERT_NE(moon_has_saturn, nullptr);
  EXPECT_EQ(moon_has_saturn->dignities, (Names{"domicile"}));
  // Mars at 10° Leo is received by the Sun; the first matching aspect wins.
  const Reception* sun_has_mars = find(list, "Mars", "Sun");
  ASSERT_NE(sun_has_mars, nullptr);
  EXPECT_EQ(sun_has_mars->aspect, "Trine");
}

TEST(Antiscia, MirrorsOverTheSolsticesAndEquinoxes) {
  // Sun at 10° Cancer mirrors onto 20° Gemini.
  auto contacts = antiscia(std::vector<Point>{{"Sun", 100.0}, {"Saturn", 80.0}});
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].kind, "antiscion");
  EXPECT_EQ(contacts[0].orb, 0.0);
  EXPECT_EQ(quorvane::to_json_tree(contacts[0]).dump(),
            R"({"body1":"Sun","body2":"Saturn","kind":"antiscion","orb":0.0})");

  // Mars at 359.5: its contra point is 0.5, 0.3 from Venus.
  contacts = antiscia(std::vector<Point>{{"Mars", 359.5}, {"Venus", 0.8}});
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].body1, "Mars");
  EXPECT_EQ(contacts[0].kind, "contra_antiscion");
  EXPECT_EQ(contacts[0].orb, 0.3);

  // 0° Aries mirrors onto 0° Libra.
  contacts = antiscia(std::vector<Point>{{"Ascendant", 0.0}, {"Moon", 180.4}});
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].orb, 0.4);
  // A point on a solstice is its own antiscion.
  contacts = antiscia(std::vector<Point>{{"Sun", 90.0}, {"Moon", 90.5}});
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].kind, "antiscion");
  EXPECT_EQ(contacts[0].orb, 0.5);
}

TEST(Antiscia, OrbLimitAndKeptPoints) {
  // The antiscion of 10° is 170°: exactly 1° away still counts.
  EXPECT_EQ(antiscia(std::vector<Point>{{"Sun", 10.0}, {"Moon", 171.0}}).size(), 1u);
  EXPECT_TRUE(antiscia(std::vector<Point>{{"Sun", 10.0}, {"Moon", 171.01}}).empty());
  // Outer planets, nodes and unknown names take no part; pairs keep chart order.
  const auto contacts = antiscia(std::vector<Point>{{"Midheaven", 100.0},
                                                    {"Uranus", 80.0},
                                                    {"North Node", 80.0},
                                                    {"Mercury", 80.2},
                                                    {"Jupiter", std::nan("")}});
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0].body1, "Midheaven");
  EXPECT_EQ(contacts[0].body2, "Mercury");
  EXPECT_EQ(contacts[0].orb, 0.2);
}

// A small chart dict as Engine.chart writes it (only what re-judging reads).
Json sample_chart() {
  return Json::parse(R"({
    "planets": [
      {"name": "Sun", "ecliptic_longitude": 100.0, "speed": 0.95},
      {"name": "Moon", "ecliptic_longitude": 130.0, "speed": 12.5},
      {"name": "Mercury", "ecliptic_longitude": 92, "speed": -0.3},
      {"name": "Jupiter", "ecliptic_longitude": 250.0},
      {"name": "Uranus", "ecliptic_longitude": 40.0, "speed": 0.02},
      {"name": "Mars", "ecliptic_longitude": "130", "speed": 0.6},
      "not an object",
      {"name": "Ascendant", "ecliptic_longitude": 10.0, "speed": 0},
      {"name": "Midheaven", "ecliptic_longitude": 280.0, "speed": 0}
    ],
    "aspects": [
      {"body1": "Sun", "body2": "Moon", "aspect_type": "Parallel"},
      {"body1": "Moon", "body2": "Sun", "aspect_type": "Semi-Sextile"},
      {"body1": "Sun", "body2": 3, "aspect_type": "Trine"}
    ]
  })");
}

TEST(ChartDignities, RejudgesConditionsSectAndReceptions) {
  auto result = chart_dignities(sample_chart(), " Egyptian ");
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->dignity_scheme, "dorothean");
  EXPECT_EQ(result->sect, "nocturnal");  // Sun 90° past the Ascendant
  // Planets in chart order; Mars (longitude as text) and Uranus are skipped.
  std::vector<std::string> names;
  for (const PlanetCondition& c : result->conditions) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Sun", "Moon", "Mercury", "Jupiter"}));
  // A missing speed reads as 0, so Jupiter is stationary.
  EXPECT_EQ(result->conditions[3].condition.motion, "stationary");
  EXPECT_EQ(result->conditions[2].condition.solar_phase, "combust");
  EXPECT_EQ(result->conditions[1].condition.essential.lords.triplicity.size(), 3u);
  // The Parallel is ignored, so the lights' reception takes the Semi-Sextile.
  const Reception* r = find(result->receptions, "Sun", "Moon");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->aspect, "Semi-Sextile");

  result = chart_dignities(sample_chart(), "anything");
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->dignity_scheme, "lilly");
  EXPECT_EQ(result->conditions[1].condition.essential.lords.triplicity.size(), 2u);
}

TEST(ChartDignities, AspectOfAnUnlistedTypeLeavesNull) {
  Json chart = sample_chart();
  chart["aspects"].erase(1);
  auto result = chart_dignities(chart, "lilly");
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(find(result->receptions, "Sun", "Moon")->aspect, std::nullopt);
  chart["aspects"] = "none";
  EXPECT_TRUE(chart_dignities(chart, "lilly").has_value());
  chart.erase("aspects");
  EXPECT_TRUE(chart_dignities(chart, "lilly").has_value());
}

std::string failure(const Json& chart) {
  auto result = chart_dignities(chart, "lilly");
  if (result) return "";
  const auto* invalid = std::get_if<InvalidInput>(&result.error().kind);
  return invalid ? invalid->message : "wrong kind";
}

TEST(ChartDignities, Failures) {
  EXPECT_EQ(failure(Json::parse(R"({"aspects": []})")), "the chart has no planets");
  EXPECT_EQ(failure(Json::parse(R"({"planets": {"Sun": 1}})")), "the chart has no planets");
  EXPECT_EQ(failure(Json::parse(R"([1, 2])")), "the chart has no planets");
  EXPECT_EQ(failure(Json(nullptr)), "the chart has no planets");
  EXPECT_EQ(failure(Json::parse(R"({"planets": []})")),
            "the chart needs the Sun and the Ascendant");
  EXPECT_EQ(failure(Json::parse(
                R"({"planets": [{"name": "Sun", "ecliptic_longitude": 1.0},
                                {"name": "Ascendant", "ecliptic_longitude": true}]})")),
            "the chart needs the Sun and the Ascendant");
  EXPECT_EQ(failure(Json::parse(R"({"planets": [{"name": "Sun", "ecliptic_longitude": 1.0},
                                               {"name": "Ascendant", "ecliptic_longitude": 7}]})")),
            "");
}

}  // namespace
