#include "quorvane/zodiac/aspects.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "support.hpp"

namespace {

using quorvane::Aspect;
using quorvane::CrossAspect;
using quorvane::Json;
using quorvane::OrbSettings;
using quorvane::Point;

std::string message_of(const quorvane::EngineError& error) {
  const auto* invalid = std::get_if<quorvane::InvalidInput>(&error.kind);
  return invalid ? invalid->message : "<not InvalidInput: " + error.text() + ">";
}

OrbSettings merged(const Json& user) {
  auto settings = OrbSettings::merge(&user);
  EXPECT_TRUE(settings.has_value()) << message_of(settings.error());
  return settings ? *settings : quorvane::default_orb_settings();
}

std::vector<Aspect> natal(const std::vector<Point>& points,
                          const OrbSettings& settings = quorvane::default_orb_settings()) {
  auto aspects = quorvane::natal_aspects(points, settings);
  EXPECT_TRUE(aspects.has_value()) << message_of(aspects.error());
  return aspects ? *aspects : std::vector<Aspect>{};
}

// ---------------------------------------------------------------------------
// Worked examples with the default settings.

TEST(NatalAspects, DefaultOrbsTakeTheSmallerOfAspectAndMoiety) {
  auto sun_moon = natal({{"Sun", 10.0}, {"Moon", 17.0}});
  ASSERT_EQ(sun_moon.size(), 1u);
  EXPECT_EQ(sun_moon[0].aspect_type, "Conjunction");
  EXPECT_EQ(sun_moon[0].orb, 7.0);
  EXPECT_EQ(sun_moon[0].max_orb, 8.0);  // not the moiety 13.5

  auto outer = natal({{"Uranus", 300.0}, {"Neptune", 64.0}});  // 124 apart across 0
  ASSERT_EQ(outer.size(), 1u);
  EXPECT_EQ(outer[0].aspect_type, "Trine");
  EXPECT_EQ(outer[0].orb, 4.0);
  EXPECT_EQ(outer[0].max_orb, 5.0);

  auto square = natal({{"Saturn", 0.0}, {"Mars", 97.0}});
  ASSERT_EQ(square.size(), 1u);
  EXPECT_EQ(square[0].aspect_type, "Square");
  EXPECT_EQ(square[0].max_orb, 7.0);  // not the moiety 8.5
  EXPECT_TRUE(natal({{"Saturn", 0.0}, {"Mars", 98.0}}).empty());

  auto trine = natal({{"Sun", 0.0}, {"Jupiter", 117.3}});
  ASSERT_EQ(trine.size(), 1u);
  EXPECT_EQ(trine[0].angle, 120.0);
  EXPECT_EQ(trine[0].orb, 2.7);
}

TEST(NatalAspects, MinorAspectsCountWhateverIncludeFlagsSay) {
  const auto defaults = quorvane::default_orb_settings();
  ASSERT_EQ(defaults.json()["include_minor_aspects"], false);
  auto semi = natal({{"Venus", 200.0}, {"Mars", 230.0}});
  ASSERT_EQ(semi.size(), 1u);
  EXPECT_EQ(semi[0].aspect_type, "Semi-Sextile");
  EXPECT_EQ(semi[0].symbol, "\u26BA");
  EXPECT_EQ(semi[0].is_major, false);
  EXPECT_EQ(semi[0].max_orb, 2.5);
  // The caller cannot switch them off either.
  auto quincunx = natal({{"Chiron", 0.0}, {"Lilith", 151.0}},
                        merged({{"include_minor_aspects", false}, {"include_chiron", false}}));
  ASSERT_EQ(quincunx.size(), 1u);
  EXPECT_EQ(quincunx[0].aspect_type, "Quincunx");
}

TEST(NatalAspects, LunarNodesNeverAspectEachOtherButAspectOthers) {
  auto aspects = natal({{"South Node", 190.0}, {"North Node", 10.0}, {"Sun", 10.5},
                        {"North Node", 190.0}});
  // South/North pairs are skipped in either order and even when exactly
  // opposite; two points both named North Node are not such a pair.
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& a : aspects) pairs.emplace_back(a.body1, a.body2);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"South Node", "Sun"}, {"North Node", "Sun"}, {"North Node", "North Node"}, {"Sun", "North Node"}};
  EXPECT_EQ(pairs, expected);
  EXPECT_EQ(aspects[0].aspect_type, "Opposition");
  EXPECT_EQ(aspects[1].aspect_type, "Conjunction");
  EXPECT_EQ(aspects[2].aspect_type, "Opposition");
}

TEST(NatalAspects, SeparationWrapsAndIgnoresWholeTurns) {
  // 359 and 1 are 2 apart; 725 is 5 and -355 is 5.
  auto aspects = natal({{"Sun", 359.0}, {"Moon", 1.0}, {"Mars", 725.0}, {"Venus", -355.0}});
  ASSERT_EQ(aspects.size(), 6u);
  EXPECT_EQ(aspects[0].orb, 2.0);
  EXPECT_EQ(aspects[5].body1, "Mars");
  EXPECT_EQ(aspects[5].body2, "Venus");
  EXPECT_EQ(aspects[5].orb, 0.0);
  EXPECT_FALSE(std::signbit(aspects[5].orb));
  EXPECT_EQ(quorvane::angular_separation(0.0, 540.0), 180.0);
  // Non-finite longitudes (py_float accepts "nan") simply match nothing.
  EXPECT_TRUE(natal({{"Sun", std::nan("")}, {"Moon", 0.0}}).empty());
  EXPECT_TRUE(natal({{"Sun", HUGE_VAL}, {"Moon", 0.0}}).empty());
}

TEST(NatalAspects, WideOrbsLetEarlierAspectsWin) {
  // 30 apart with a 40-degree conjunction orb is a Conjunction, not a
  // Semi-Sextile.
  auto aspects = natal({{"A", 0.0}, {"B", 30.0}},
                       merged({{"method", "aspect"}, {"aspect_orbs", {{"Conjunction", 40}}}}));
  ASSERT_EQ(aspects.size(), 1u);
  EXPECT_EQ(aspects[0].aspect_type, "Conjunction");
  EXPECT_EQ(aspects[0].max_orb, 40.0);
}

// ---------------------------------------------------------------------------
// Methods.

TEST(OrbMethods, AspectMethodUsesTheAspectOrbWhateverThePlanets) {
  const auto settings = merged({{"method", "aspect"}});
  // Uranus/Neptune have a moiety of 5: 127 apart is a Trine only here.
  auto aspects = natal({{"Uranus", 0.0}, {"Neptune", 127.0}}, settings);
  ASSERT_EQ(aspects.size(), 1u);
  EXPECT_EQ(aspects[0].max_orb, 8.0);
  EXPECT_TRUE(natal({{"Uranus", 0.0}, {"Neptune", 127.0}}).empty());
  // An unknown or non-text method falls back to the same rule.
  for (const Json& method : {Json("MOIETY_HYBRID"), Json(3), Json(nullptr)}) {
    auto match = quorvane::find_aspect(merged({{"method", method}}), "Uranus", "Neptune", 127.0);
    ASSERT_TRUE(match.has_value());
    ASSERT_TRUE(match->has_value()) << method.dump();
    EXPECT_EQ((*match)->allowed, 8.0);
  }
}

TEST(OrbMethods, AspectWeightedScalesTheMoiety) {
  const Json user = {{"method", "moiety_aspect_weighted"}, {"planet_orbs", {{"A", 10}, {"B", 10}}}};
  auto match = quorvane::find_aspect(merged(user), "A", "B", 98.75);
  ASSERT_TRUE(match.has_value());
  ASSERT_TRUE(match->has_value());
  EXPECT_EQ((*match)->aspect->name, "Square");
  EXPECT_EQ((*match)->allowed, 8.75);  // 10 x 7/8
  auto outside = quorvane::find_aspect(merged(user), "A", "B", 98.76);
  ASSERT_TRUE(outside.has_value());
  EXPECT_FALSE(outside->has_value());

  // Without "Square" in aspect_orbs the static weight 0.875 gives the same.
  Json no_square = merged(user).json();
  no_square["aspect_orbs"].erase("Square");
  match = quorvane::find_aspect(*OrbSettings::read(no_square), "A", "B", 98.75);
  ASSERT_TRUE(match.has_value() && match->has_value());
  EXPECT_EQ((*match)->allowed, 8.75);

  // The caller's ratio replaces the static weight: Sextile 3 of Conjunction 8.
  match = quorvane::find_aspect(merged({{"method", "moiety_aspect_weighted"},
                                        {"aspect_orbs", {{"Sextile", 3}}},
                                        {"planet_orbs", {{"A", 10}, {"B", 10}}}}),
                                "A", "B", 63.76);
  ASSERT_TRUE(match.has_value() && !match->has_value());  // 3.75 allowed
  match = quorvane::find_aspect(merged({{"method", "moiety_aspect_weighted"},
                                        {"aspect_orbs", {{"Sextile", 3}}},
                                        {"planet_orbs", {{"A", 10}, {"B", 10}}}}),
                                "A", "B", 63.75);
  ASSERT_TRUE(match.has_value() && match->has_value());
  EXPECT_EQ((*match)->allowed, 3.75);

  // A conjunction orb of zero cannot be divided by: static weights apply.
  match = quorvane::find_aspect(merged({{"method", "moiety_aspect_weighted"},
                                        {"aspect_orbs", {{"Conjunction", 0}, {"Sextile", 3}}},
                                        {"planet_orbs", {{"A", 10}, {"B", 10}}}}),
                                "A", "B", 67.5);
  ASSERT_TRUE(match.has_value() && match->has_value());
  EXPECT_EQ((*match)->allowed, 7.5);
}

TEST(OrbMethods, TraditionalUsesTheMoietyRoundedToHundredths) {
  const Json user = {{"method", "moiety_traditional"}, {"planet_orbs", {{"A", 1.0049}, {"B", 1}}}};
  auto match = quorvane::find_aspect(merged(user), "A", "B", 30.0);
  ASSERT_TRUE(match.has_value() && match->has_value());
  EXPECT_EQ((*match)->aspect->name, "Semi-Sextile");
  EXPECT_EQ((*match)->allowed, 1.0);  // 1.00245 rounded
  // The rounded orb decides: 1.001 off lies within 1.00245 but not within 1.
  match = quorvane::find_aspect(merged(user), "A", "B", 31.001);
  ASSERT_TRUE(match.has_value());
  EXPECT_FALSE(match->has_value());
  // Rounding up widens the orb: (2.012 + 2) / 2 = 2.006 becomes 2.01.
  match = quorvane::find_aspect(
      merged({{"method", "moiety_traditional"}, {"planet_orbs", {{"A", 2.012}, {"B", 2}}}}), "A",
      "B", 32.0075);
  ASSERT_TRUE(match.has_value() && match->has_value());
  EXPECT_EQ((*match)->allowed, 2.01);
  // Unknown names get 5, so the moiety of two strangers is 5 for every aspect.
  match = quorvane::find_aspect(merged({{"method", "moiety_traditional"}}), "X", "Y", 155.0);
  ASSERT_TRUE(match.has_value() && match->has_value());
  EXPECT_EQ((*match)->aspect->name, "Quincunx");
  EXPECT_EQ((*match)->allowed, 5.0);
}

// ---------------------------------------------------------------------------
// Merging settings.

TEST(OrbSettingsMerge, NonObjectOrEmptyLeavesTheDefaults) {
  const Json defaults = quorvane::default_orb_settings().json();
  EXPECT_EQ(defaults.dump(),
            R"({"method":"moiety_hybrid","include_minor_aspects":false,"include_chiron":false,)"
            R"("include_lilith":false,"aspect_orbs":{"Conjunction":8.0,"Sextile":6.0,"Square":7.0,)"
            R"("Trine":8.0,"Opposition":8.0,"Semi-Sextile":2.5,"Quincunx":3.0},"planet_orbs":)"
            R"({"Sun":15.0,"Moon":12.0,"Mercury":7.0,"Venus":7.0,"Mars":8.0,"Jupiter":9.0,)"
            R"("Saturn":9.0,"Uranus":5.0,"Neptune":5.0,"Pluto":5.0,"North Node":5.0,)"
            R"("South Node":5.0,"Chiron":5.0,"Lilith":5.0,"Ascendant":5.0,"Midheaven":5.0},)"
            R"("fixed_star_orb":1.5})");
  for (const Json& user : {Json::array({1, 2}), Json::object(), Json("moiety"), Json(4), Json()}) {
    EXPECT_EQ(merged(user).json(), defaults) << user.dump();
  }
  auto absent = OrbSettings::merge(nullptr);
  ASSERT_TRUE(absent.has_value());
  EXPECT_EQ(absent->json(), defaults);
}

TEST(OrbSettingsMerge, ExistingKeysKeepTheirPlaceAndNewKeysAreAppended) {
  const Json user = Json::parse(R"({"planet_orbs": {"Vesta": 2, "Sun": 10},
                                     "ignored": 1, "include_chiron": true,
                                     "aspect_orbs": {"Square": "6", "Quintile": 2},
                                     "method": ["odd"]})");
  const Json settings = merged(user).json();
  std::vector<std::string> keys;
  for (const auto& [key, value] : settings.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"method", "include_minor_aspects", "include_chiron",
                                            "include_lilith", "aspect_orbs", "planet_orbs",
                                            "fixed_star_orb"}));
  EXPECT_EQ(settings["method"], Json::array({"odd"}));  // copied whatever its type
  EXPECT_EQ(settings["include_chiron"], false);
  EXPECT_EQ(settings["fixed_star_orb"], 1.5);
  EXPECT_EQ(settings["aspect_orbs"].dump(),
            R"({"Conjunction":8.0,"Sextile":6.0,"Square":"6","Trine":8.0,"Opposition":8.0,)"
            R"("Semi-Sextile":2.5,"Quincunx":3.0,"Quintile":2})");
  const Json& planets = settings["planet_orbs"];
  EXPECT_EQ(planets.begin().key(), "Sun");
  EXPECT_EQ(planets["Sun"], 10);
  EXPECT_EQ(std::prev(planets.end()).key(), "Vesta");
  EXPECT_EQ(planets.size(), 17u);
}

TEST(OrbSettingsMerge, OrbTablesMustBeObjects) {
  const std::vector<std::pair<Json, std::string>> cases = {
      {{{"aspect_orbs", 5}}, "aspect_orbs must be an object, got 5"},
      {{{"aspect_orbs", {1, 2}}}, "aspect_orbs must be an object, got [1,2]"},
      {{{"planet_orbs", "Sun"}}, "planet_orbs must be an object, got \"Sun\""},
      {{{"planet_orbs", nullptr}}, "planet_orbs must be an object, got null"},
      {{{"aspect_orbs", {{"Square", 6}}}, {"planet_orbs", 2.5}},
       "planet_orbs must be an object, got 2.5"},
  };
  for (const auto& [user, message] : cases) {
    auto result = OrbSettings::merge(&user);
    ASSERT_FALSE(result.has_value()) << user.dump();
    EXPECT_EQ(message_of(result.error()), message);
  }
}

TEST(OrbSettingsMerge, FixedStarOrb) {
  EXPECT_EQ(quorvane::default_orb_settings().fixed_star_orb(), 1.5);
  auto settings = merged({{"fixed_star_orb", " 2_5 "}});
  EXPECT_EQ(settings.json()["fixed_star_orb"], 25.0);  // stored as a number
  EXPECT_EQ(settings.fixed_star_orb(), 25.0);
  EXPECT_EQ(merged({{"fixed_star_orb", true}}).fixed_star_orb(), 1.0);

  const Json bad = {{"fixed_star_orb", "wide"}};
  auto failed = OrbSettings::merge(&bad);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(message_of(failed.error()), "not a number: \"wide\"");

  // Settings read without the defaults fail on the same value.
  auto unread = OrbSettings::read(Json{{"fixed_star_orb", {1}}});
  ASSERT_FALSE(unread.has_value());
  EXPECT_EQ(message_of(unread.error()), "not a number: [1]");
  EXPECT_EQ(OrbSettings::read(Json::object())->fixed_star_orb(), 1.5);
  EXPECT_EQ(OrbSettings::read(Json{{"fixed_star_orb", "3"}})->fixed_star_orb(), 3.0);
}

TEST(OrbSettingsMerge, TextOrbsAreReadLeniently) {
  auto match = quorvane::find_aspect(merged({{"method", "aspect"}, {"aspect_orbs", {{"Trine", "7_5"}}}}),
                                     "Sun", "Moon", 45.5);
  ASSERT_TRUE(match.has_value() && match->has_value());
  EXPECT_EQ((*match)->allowed, 75.0);
  match = quorvane::find_aspect(merged({{"planet_orbs", {{"Sun", " 8 "}, {"Moon", "8"}}}}),
                                "Sun", "Moon", 7.9);
  ASSERT_TRUE(match.has_value() && match->has_value());
  EXPECT_EQ((*match)->allowed, 8.0);
}

TEST(OrbSettingsMerge, BadOrbsFailOnlyWhenTheSearchNeedsThem) {
  const Json user = {{"aspect_orbs", {{"Quincunx", "abc"}}}, {"planet_orbs", {{"Vesta", "x"}}}};
  auto settings = OrbSettings::merge(&user);
  ASSERT_TRUE(settings.has_value());  // the merge never checks orb values

  // A conjunction is found before the Quincunx entry is reached.
  EXPECT_EQ(natal({{"Sun", 0.0}, {"Moon", 3.0}}, *settings).size(), 1u);
  // No aspect up to Semi-Sextile: the search reaches Quincunx and fails.
  auto failed = quorvane::natal_aspects({{"Sun", 0.0}, {"Moon", 45.0}}, *settings);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(message_of(failed.error()), "not a number: \"abc\"");
  // The bad planet orb only matters once that planet takes part.
  failed = quorvane::natal_aspects({{"Sun", 0.0}, {"Moon", 3.0}, {"Vesta", 200.0}}, *settings);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(message_of(failed.error()), "not a number: \"x\"");
  failed = quorvane::natal_aspects({{"Sun", 0.0}, {"Moon", 3.0}, {"Vesta", 182.0}}, *settings);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(message_of(failed.error()), "not a number: \"x\"");
  // ... and not at all under a method that ignores planet orbs.
  Json aspect_method = settings->json();
  aspect_method["method"] = "aspect";
  EXPECT_EQ(
      natal({{"Sun", 0.0}, {"Moon", 3.0}, {"Vesta", 182.0}}, *OrbSettings::read(aspect_method)).size(),
      3u);
  // Cross aspects report the same errors.
  auto cross = quorvane::cross_aspects({{"Sun", 0.0}}, {{"Vesta", 0.0}}, &user);
  ASSERT_FALSE(cross.has_value());
  EXPECT_EQ(message_of(cross.error()), "not a number: \"x\"");
}

// ---------------------------------------------------------------------------
// Records and point lists.

TEST(AspectRecords, KeyOrderAndOptionalMajorFlag) {
  auto aspects = natal({{"Sun", 10.0}, {"Moon", 17.0}});
  ASSERT_EQ(aspects.size(), 1u);
  EXPECT_EQ(to_json_tree(aspects[0]).dump(),
            "{\"body1\":\"Sun\",\"body2\":\"Moon\",\"aspect_type\":\"Conjunction\",\"symbol\":\""
            "\u260C\",\"angle\":0.0,\"orb\":7.0,\"max_orb\":8.0,\"is_major\":true,"
            "\"is_applying\":false}");

  Aspect star{"Regulus", "Sun", "Conjunction", "\u260C", 0.0, 0.25, 1.5, std::nullopt, true};
  EXPECT_EQ(to_json_tree(star).dump(),
            "{\"body1\":\"Regulus\",\"body2\":\"Sun\",\"aspect_type\":\"Conjunction\",\"symbol\":"
            "\"\u260C\",\"angle\":0.0,\"orb\":0.25,\"max_orb\":1.5,\"is_applying\":true}");

  auto cross = quorvane::cross_aspects({{"Mars", 100.0}}, {{"Venus", 10.0}}, nullptr);
  ASSERT_TRUE(cross.has_value());
  ASSERT_EQ(cross->size(), 1u);
  EXPECT_EQ(to_json_tree(*cross).dump(),
            "[{\"body1\":\"Venus\",\"body1_source\":\"overlay\",\"body2\":\"Mars\",\"body2_source\":"
            "\"base\",\"aspect_type\":\"Square\",\"symbol\":\"\u25A1\",\"angle\":90.0,\"orb\":0.0,"
            "\"max_orb\":7.0,\"is_major\":true,\"is_applying\":false}]");
}

TEST(PointsFromJson, ReadsNamesAndLongitudes) {
  auto points = quorvane::points_from_json(Json::parse(
      R"([{"name": "Sun", "ecliptic_longitude": 12.5, "house": 3},
          {"ecliptic_longitude": "7_0", "name": "Moon"},
          {"name": "Mars", "ecliptic_longitude": true}])"));
  ASSERT_TRUE(points.has_value());
  ASSERT_EQ(points->size(), 3u);
  EXPECT_EQ((*points)[0].name, "Sun");
  EXPECT_EQ((*points)[0].longitude, 12.5);
  EXPECT_EQ((*points)[1].name, "Moon");
  EXPECT_EQ((*points)[1].longitude, 70.0);
  EXPECT_EQ((*points)[2].longitude, 1.0);
  EXPECT_TRUE(quorvane::points_from_json(Json::array())->empty());
}

TEST(PointsFromJson, Errors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({})", "planets must be a list"},
      {R"("Sun")", "planets must be a list"},
      {R"(null)", "planets must be a list"},
      {R"([3])", "every planet needs a name"},
      {R"([{"ecliptic_longitude": 3}])", "every planet needs a name"},
      {R"([{"name": 7, "ecliptic_longitude": 3}])", "every planet needs a name"},
      {R"([{"name": "Sun", "ecliptic_longitude": 3}, {"name": "Pholus"}])",
       "Pholus has no ecliptic_longitude"},
      {R"([{"name": "Sun", "ecliptic_longitude": null}])", "not a number: null"},
      {R"([{"name": "Sun", "ecliptic_longitude": {"deg": 1}}])", "not a number: {\"deg\":1}"},
      {R"([{"name": "Sun", "ecliptic_longitude": "twelve"}])", "not a number: \"twelve\""},
  };
  for (const auto& [text, message] : cases) {
    auto points = quorvane::points_from_json(Json::parse(text));
    ASSERT_FALSE(points.has_value()) << text;
    EXPECT_EQ(message_of(points.error()), message) << text;
  }
}

// ---------------------------------------------------------------------------
// py_float.

double read(const Json& value) {
  auto number = quorvane::py_float(value);
  EXPECT_TRUE(number.has_value()) << value.dump() << ": " << message_of(number.error());
  return number ? *number : -12345.0;
}

std::string failure(const Json& value) {
  auto number = quorvane::py_float(value);
  EXPECT_FALSE(number.has_value()) << value.dump();
  return number ? "<read " + std::to_string(*number) + ">" : message_of(number.error());
}

TEST(PyFloat, BooleansAndNumbers) {
  EXPECT_EQ(read(true), 1.0);
  EXPECT_EQ(read(false), 0.0);
  EXPECT_EQ(read(Json::parse("-17")), -17.0);
  EXPECT_EQ(read(Json::parse("9223372036854775807")), 9223372036854775807.0);
  EXPECT_EQ(read(Json::parse("18446744073709551615")), 18446744073709551615.0);
  EXPECT_EQ(read(Json::parse("-0.0")), 0.0);
  EXPECT_TRUE(std::signbit(read(Json::parse("-0.0"))));
  EXPECT_EQ(read(Json::parse("0.1")), 0.1);
  EXPECT_TRUE(std::isnan(read(std::nan(""))));
}

TEST(PyFloat, Texts) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const char* text : {"inf", "+inf", "infinity", "+Infinity", " INF ", "in_f", "INFINITY\n"}) {
    EXPECT_EQ(read(text), inf) << text;
  }
  for (const char* text : {"-inf", "-Infinity", "\t-INF"}) EXPECT_EQ(read(text), -inf) << text;
  for (const char* text : {"nan", "NaN", "+nan", "-nan", " n_a_n "}) {
    EXPECT_TRUE(std::isnan(read(text))) << text;
  }
  EXPECT_EQ(read("7_5"), 75.0);
  EXPECT_EQ(read(" 8 "), 8.0);
  EXPECT_EQ(read("2.5E-1"), 0.25);
  EXPECT_EQ(read("\u00a0\u30006\u2003"), 6.0);  // Unicode white space is trimmed

  EXPECT_EQ(failure("abc"), "not a number: \"abc\"");
  EXPECT_EQ(failure(""), "not a number: \"\"");
  EXPECT_EQ(failure(" 1 2 "), "not a number: \" 1 2 \"");  // the text as given
  EXPECT_EQ(failure("0x1p3"), "not a number: \"0x1p3\"");
  EXPECT_EQ(failure("\u200b1"), "not a number: \"\u200b1\"");  // zero-width space is not white
  EXPECT_EQ(failure("say \"hi\"\\\n"), "not a number: \"say \\\"hi\\\"\\\\\\n\"");
}

TEST(PyFloat, NullListsAndObjectsAreRejectedWithTheirJson) {
  EXPECT_EQ(failure(nullptr), "not a number: null");
  EXPECT_EQ(failure(Json::array()), "not a number: []");
  EXPECT_EQ(failure(Json::parse(R"([1, "2", 3.5])")), "not a number: [1,\"2\",3.5]");
  EXPECT_EQ(failure(Json::parse(R"({"a": [true]})")), "not a number: {\"a\":[true]}");
}

// Texts built from digits, signs, points, exponents, underscores, white space
// and letters; Python decides what each one reads as.
TEST(PyFloat, AgreesWithPythonOnGeneratedTexts) {
  const std::string vectors =
      quorvane::testing::run_python("tests/cpp/reference/py_float_vectors.py", {"20000"});
  ASSERT_FALSE(vectors.empty()) << "reference script failed";
  std::istringstream lines(vectors);
  std::string line, seed;
  size_t checked = 0, numbers = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("#", 0) == 0) {
      seed = line;
      continue;
    }
    const Json entry = Json::parse(line);
    const Json& text = entry[0];
    auto got = quorvane::py_float(text);
    if (entry[1].is_null()) {
      ASSERT_FALSE(got.has_value()) << seed << ": " << line << " read as " << *got;
      ASSERT_EQ(message_of(got.error()), "not a number: " + text.dump()) << seed;
    } else {
      ASSERT_TRUE(got.has_value()) << seed << ": " << line;
      const double expected = std::strtod(entry[1].get<std::string>().c_str(), nullptr);
      if (std::isnan(expected)) {
        ASSERT_TRUE(std::isnan(*got)) << seed << ": " << line;
      } else {
        ASSERT_EQ(std::bit_cast<uint64_t>(*got), std::bit_cast<uint64_t>(expected))
            << seed << ": " << line << " read as " << *got;
      }
      ++numbers;
    }
    ++checked;
  }
  EXPECT_GE(checked, 20000u);
  EXPECT_GE(numbers, 5000u);
}

// ---------------------------------------------------------------------------
// Properties over random charts and settings, against a search written
// straight from the method definitions.

const char* const kAspectNames[] = {"Conjunction", "Sextile",      "Square",  "Trine",
                                    "Opposition",  "Semi-Sextile", "Quincunx"};
const double kAspectAngles[] = {0, 60, 90, 120, 180, 30, 150};
const char* const kNames[] = {"Sun",    "Moon",      "Mercury",    "Venus",      "Mars",
                              "Jupiter", "Saturn",   "Uranus",     "Neptune",    "Pluto",
                              "North Node", "South Node", "Chiron", "Lilith", "Ascendant",
                              "Midheaven", "Vesta",  "Part of Fortune"};

struct Model {
  std::string method;  // "" for a non-text method
  std::map<std::string, double> aspect_orbs;
  std::map<std::string, double> planet_orbs;
};

Model default_model() {
  Model model{"moiety_hybrid", {}, {}};
  const double aspect_defaults[] = {8, 6, 7, 8, 8, 2.5, 3};
  for (int k = 0; k < 7; ++k) model.aspect_orbs[kAspectNames[k]] = aspect_defaults[k];
  const double planet_defaults[] = {15, 12, 7, 7, 8, 9, 9, 5, 5, 5, 5, 5, 5, 5, 5, 5};
  for (int k = 0; k < 16; ++k) model.planet_orbs[kNames[k]] = planet_defaults[k];
  return model;
}

// An orb value in one of the spellings callers use, and what it means.
std::pair<Json, double> random_orb(std::mt19937_64& rng) {
  std::uniform_int_distribution<int> pick(0, 9);
  const double value = std::uniform_int_distribution<int>(0, 2000)(rng) / 100.0;
  switch (pick(rng)) {
    case 0:
      return {Json(static_cast<int>(value)), static_cast<double>(static_cast<int>(value))};
    case 1: {
      std::ostringstream text;
      text.precision(17);
      text << " " << value << "\t";
      return {Json(text.str()), value};
    }
    case 2:
      return {Json(true), 1.0};
    case 3:
      return {Json(-value), -value};
    default:
      return {Json(value), value};
  }
}

std::pair<Json, Model> random_settings(std::mt19937_64& rng) {
  Model model = default_model();
  Json user = Json::object();
  const char* methods[] = {"moiety_hybrid", "moiety_aspect_weighted", "moiety_traditional",
                           "aspect", "unknown"};
  const int m = std::uniform_int_distribution<int>(0, 5)(rng);
  if (m < 5) {
    user["method"] = methods[m];
    model.method = methods[m];
  } else if (rng() % 2) {
    user["method"] = 42;
    model.method = "";
  }
  if (rng() % 4 != 0) {
    Json orbs = Json::object();
    for (int k = 0; k < 7; ++k) {
      if (rng() % 3 == 0) continue;
      auto [json, value] = random_orb(rng);
      orbs[kAspectNames[k]] = json;
      model.aspect_orbs[kAspectNames[k]] = value;
    }
    if (rng() % 4 == 0) orbs["Quintile"] = 2;
    user["aspect_orbs"] = orbs;
  }
  if (rng() % 4 != 0) {
    Json orbs = Json::object();
    for (const char* name : kNames) {
      if (rng() % 3 != 0) continue;
      auto [json, value] = random_orb(rng);
      orbs[name] = json;
      model.planet_orbs[name] = value;
    }
    user["planet_orbs"] = orbs;
  }
  return {user, model};
}

double angular_distance(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

double planet_orb(const Model& model, const std::string& name) {
  const auto it = model.planet_orbs.find(name);
  return it == model.planet_orbs.end() ? 5.0 : it->second;
}

// The orb a pair is allowed for aspect k.
double allowed_orb(const Model& model, int k, const std::string& a, const std::string& b) {
  const double aspect_orb = model.aspect_orbs.at(kAspectNames[k]);
  const double moiety = (planet_orb(model, a) + planet_orb(model, b)) / 2;
  const double static_weights[] = {1.0, 0.75, 0.875, 1.0, 1.0, 0.35, 0.4};
  double allowed;
  if (model.method == "moiety_hybrid") {
    allowed = aspect_orb < moiety ? aspect_orb : moiety;
  } else if (model.method == "moiety_traditional") {
    allowed = moiety;
  } else if (model.method == "moiety_aspect_weighted") {
    // Every aspect name is in the model's table (defaults survive a merge).
    const double conjunction = model.aspect_orbs.at("Conjunction");
    allowed = moiety * (conjunction > 0 ? aspect_orb / conjunction : static_weights[k]);
  } else {
    return aspect_orb;
  }
  return quorvane::pyfloat::round(allowed, 2);
}

struct Expectation {
  std::string body1, body2, type;
  double orb, max_orb;
  bool operator==(const Expectation&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Expectation& e) {
  return out << e.body1 << "/" << e.body2 << " " << e.type << " " << e.orb << "/" << e.max_orb;
}

std::optional<Expectation> brute_force(const Model& model, const Point& a, const Point& b) {
  const bool nodes = (a.name == "North Node" && b.name == "South Node") ||
                     (a.name == "South Node" && b.name == "North Node");
  if (nodes) return std::nullopt;
  const double distance = angular_distance(a.longitude, b.longitude);
  for (int k = 0; k < 7; ++k) {
    const double allowed = allowed_orb(model, k, a.name, b.name);
    const double off = std::fabs(distance - kAspectAngles[k]);
    if (off <= allowed) {
      return Expectation{a.name, b.name, kAspectNames[k], quorvane::pyfloat::round(off, 2),
                         quorvane::pyfloat::round(allowed, 2)};
    }
  }
  return std::nullopt;
}

std::vector<Point> random_points(std::mt19937_64& rng) {
  const size_t count = std::uniform_int_distribution<size_t>(0, 18)(rng);
  std::vector<Point> points;
  for (size_t i = 0; i < count; ++i) {
    std::string name = kNames[rng() % std::size(kNames)];
    double longitude = std::uniform_real_distribution<double>(0.0, 360.0)(rng);
    if (!points.empty() && rng() % 3 == 0) {
      // Near an exact aspect to an earlier point, to exercise orb edges.
      const Point& other = points[rng() % points.size()];
      const double angle = kAspectAngles[rng() % 7] * (rng() % 2 ? 1 : -1);
      const double off = std::uniform_int_distribution<int>(-1200, 1200)(rng) / 100.0;
      longitude = other.longitude + angle + off;
    }
    if (rng() % 10 == 0) longitude += 360.0 * static_cast<double>(static_cast<int>(rng() % 5) - 2);
    points.push_back({name, longitude});
  }
  return points;
}

Expectation observed(const Aspect& a) { return {a.body1, a.body2, a.aspect_type, a.orb, a.max_orb}; }
Expectation observed(const CrossAspect& a) {
  return {a.body1, a.body2, a.aspect_type, a.orb, a.max_orb};
}

TEST(AspectProperties, NatalAspectsMatchABruteForceSearch) {
  const uint64_t seed = std::random_device{}();
  std::mt19937_64 rng(seed);
  size_t found = 0;
  for (int round = 0; round < 3000; ++round) {
    auto [user, model] = random_settings(rng);
    if (rng() % 8 == 0) {
      user = Json::object();
      model = default_model();
    }
    const auto points = random_points(rng);
    auto settings = OrbSettings::merge(&user);
    ASSERT_TRUE(settings.has_value()) << "seed " << seed;
    auto aspects = quorvane::natal_aspects(points, *settings);
    ASSERT_TRUE(aspects.has_value()) << "seed " << seed << " " << message_of(aspects.error());

    std::vector<Expectation> expected;
    for (size_t i = 0; i < points.size(); ++i) {
      for (size_t j = i + 1; j < points.size(); ++j) {
        if (auto e = brute_force(model, points[i], points[j])) expected.push_back(*e);
      }
    }
    std::vector<Expectation> got;
    for (const auto& aspect : *aspects) {
      got.push_back(observed(aspect));
      ASSERT_TRUE(aspect.is_major.has_value());
      ASSERT_FALSE(aspect.is_applying) << "points without speed stand still";
      ASSERT_LE(aspect.orb, aspect.max_orb) << "seed " << seed;
    }
    ASSERT_EQ(got, expected) << "seed " << seed << " settings " << user.dump();
    found += got.size();
  }
  EXPECT_GT(found, 10000u) << "the random charts hardly form aspects";
}

TEST(AspectProperties, CrossAspectsMatchBruteForceAndMirror) {
  const uint64_t seed = std::random_device{}();
  std::mt19937_64 rng(seed);
  for (int round = 0; round < 2000; ++round) {
    auto [user, model] = random_settings(rng);
    const auto a = random_points(rng);
    const auto b = random_points(rng);
    auto ab = quorvane::cross_aspects(a, b, &user);  // b is the overlay
    auto ba = quorvane::cross_aspects(b, a, &user);
    ASSERT_TRUE(ab.has_value() && ba.has_value()) << "seed " << seed;

    std::vector<Expectation> expected;
    for (const auto& over : b) {
      for (const auto& base : a) {
        if (auto e = brute_force(model, over, base)) expected.push_back(*e);
      }
    }
    std::vector<Expectation> got, mirrored;
    for (const auto& x : *ab) {
      ASSERT_EQ(x.body1_source, "overlay");
      ASSERT_EQ(x.body2_source, "base");
      got.push_back(observed(x));
    }
    for (const auto& x : *ba) {
      mirrored.push_back({x.body2, x.body1, x.aspect_type, x.orb, x.max_orb});
    }
    ASSERT_EQ(got, expected) << "seed " << seed;
    const auto key = [](const Expectation& e) {
      return std::tie(e.body1, e.body2, e.type, e.orb, e.max_orb);
    };
    const auto less = [&](const Expectation& x, const Expectation& y) { return key(x) < key(y); };
    std::sort(got.begin(), got.end(), less);
    std::sort(mirrored.begin(), mirrored.end(), less);
    ASSERT_EQ(got, mirrored) << "seed " << seed;
  }
}

TEST(CrossAspects, MergeTheCallersSettingsAndSkipOnlyTheNodePair) {
  const std::vector<Point> natal_points = {{"Sun", 10.0}, {"North Node", 50.0}, {"South Node", 230.0}};
  const std::vector<Point> transit = {{"Sun", 10.0}, {"South Node", 50.0}, {"North Node", 230.0}};
  auto aspects = quorvane::cross_aspects(natal_points, transit, nullptr);
  ASSERT_TRUE(aspects.has_value());
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& x : *aspects) pairs.emplace_back(x.body1, x.body2);
  // Namesakes aspect each other; the opposite nodes never do.
  EXPECT_EQ(pairs, (std::vector<std::pair<std::string, std::string>>{
                       {"Sun", "Sun"}, {"South Node", "South Node"}, {"North Node", "North Node"}}));
  EXPECT_EQ((*aspects)[1].aspect_type, "Opposition");

  const Json bad = {{"aspect_orbs", Json::array()}};
  auto failed = quorvane::cross_aspects(natal_points, transit, &bad);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(message_of(failed.error()), "aspect_orbs must be an object, got []");
  EXPECT_TRUE(quorvane::cross_aspects({}, {}, nullptr)->empty());
}

// Applying means the deviation from the exact angle shrinks: step both
// points along their speeds a little and see which way it went.
TEST(AspectMotion, ApplyingMatchesTheDeviationAMomentLater) {
  std::mt19937_64 rng(22);
  std::uniform_real_distribution<double> longitude(-400.0, 400.0), speed(-2.0, 15.0);
  const double step = 1e-6;  // days
  int applying = 0, separating = 0;
  for (int i = 0; i < 20000; ++i) {
    const Point a{"A", longitude(rng), speed(rng)};
    Point b{"B", longitude(rng), i % 5 == 0 ? 0.0 : speed(rng)};
    for (const auto& aspect : quorvane::kAspectTable) {
      const double now = std::fabs(quorvane::angular_separation(a.longitude, b.longitude) - aspect.angle);
      const double later = std::fabs(
          quorvane::angular_separation(a.longitude + a.speed * step, b.longitude + b.speed * step) -
          aspect.angle);
      if (std::fabs(later - now) < 1e-9) continue;  // too close to exact or a standstill
      const bool expected = later < now;
      ASSERT_EQ(quorvane::is_applying(a, b, aspect.angle), expected)
          << a.longitude << " " << a.speed << " " << b.longitude << " " << b.speed << " " << aspect.angle;
      // The order of the two points does not matter.
      ASSERT_EQ(quorvane::is_applying(b, a, aspect.angle), expected);
      (expected ? applying : separating) += 1;
    }
  }
  EXPECT_GT(applying, 10000);
  EXPECT_GT(separating, 10000);
  // Exact aspects do not apply.
  EXPECT_FALSE(quorvane::is_applying({"A", 10.0, 1.0}, {"B", 190.0, 0.0}, 180.0));
  EXPECT_FALSE(quorvane::is_applying({"A", 10.0, 1.0}, {"B", 10.0, 0.0}, 0.0));
}

}  // namespace
