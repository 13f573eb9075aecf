#include "quorvane/predictive/transit_synastry.hpp"
#include "quorvane/traditional/derived_chart.hpp"
#include "quorvane/traditional/derived_topics.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

#include "quorvane/zodiac/zodiac.hpp"

namespace {

using quorvane::calculate_derived_chart;
using quorvane::Json;

std::string message_of(const quorvane::EngineError& error) {
  const auto* invalid = std::get_if<quorvane::InvalidInput>(&error.kind);
  return invalid ? invalid->message : "<not InvalidInput: " + error.text() + ">";
}

std::vector<std::string> keys_of(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

Json place(const std::string& name, double longitude, int house) {
  const auto split = quorvane::split_longitude(longitude);
  Json p = Json::object();
  p["name"] = name;
  p["sign"] = split.info().name;
  p["sign_symbol"] = split.info().glyph;
  p["degree"] = split.degree;
  p["minute"] = split.minute;
  p["ecliptic_longitude"] = longitude;
  p["house"] = house;
  p["symbolic_degree"] = split.symbolic_degree;
  return p;
}

// Equal houses from an Ascendant at 100°, a planet in every house, the two
// angles, a star and a lot.
Json base_chart() {
  Json chart = Json::object();
  chart["id"] = 42;
  chart["user_name"] = "Ada";
  chart["house_system"] = "E";
  Json houses = Json::array();
  for (int i = 0; i < 12; ++i) {
    const double cusp = std::fmod(100.0 + 30.0 * i, 360.0);
    Json house = place("", cusp, 0);
    house.erase("name");
    house.erase("house");
    house["house_number"] = i + 1;
    houses.push_back(house);
  }
  chart["houses"] = houses;
  Json planets = Json::array();
  for (int i = 0; i < 12; ++i) {
    planets.push_back(place("Body" + std::to_string(i + 1), std::fmod(115.0 + 30.0 * i, 360.0), i + 1));
  }
  planets.push_back(place("Ascendant", 100.0, 1));
  planets.push_back(place("Midheaven", 10.0, 9));
  chart["planets"] = planets;
  chart["fixed_stars"] = Json::array({{{"name", "Regulus"}, {"house", 2}}});
  chart["arabic_parts"] = Json::array({{{"name", "Part of Fortune"}, {"house", 11}}});
  return chart;
}

Json derived(const Json& base, int64_t root, std::optional<std::string> name = std::nullopt) {
  auto result = calculate_derived_chart(base, root, name);
  EXPECT_TRUE(result.has_value()) << message_of(result.error());
  return result ? *result : Json::object();
}

std::string error_of(const Json& base, int64_t root = 1) {
  auto result = calculate_derived_chart(base, root, std::nullopt);
  return result ? "<no error>" : message_of(result.error());
}

TEST(DerivedTopics, EveryCellHasBothLanguages) {
  std::set<std::string_view> english;
  for (int root = 1; root <= 12; ++root) {
    const auto theme = quorvane::root_theme(root);
    EXPECT_FALSE(theme.en.empty() || theme.it.empty()) << root;
    for (int house = 1; house <= 12; ++house) {
      const auto topic = quorvane::derived_topic(root, house);
      EXPECT_FALSE(topic.en.empty() || topic.it.empty()) << root << "/" << house;
      EXPECT_NE(topic.en, topic.it) << root << "/" << house;
      english.insert(topic.en);
    }
  }
  EXPECT_EQ(english.size(), 144u);  // no row or cell pasted twice
}

TEST(DerivedHouses, NumberingInverses) {
  for (int root = 1; root <= 12; ++root) {
    for (int k = 1; k <= 12; ++k) {
      EXPECT_EQ(quorvane::derived_house_number(quorvane::radix_house_of(k, root), root), k);
    }
    EXPECT_EQ(quorvane::derived_house_number(root, root), 1);
    EXPECT_EQ(quorvane::derived_house_number(root + 12 * 1000, root), 1);
    EXPECT_EQ(quorvane::derived_house_number(root - 12 * 1000, root), 1);
  }
  EXPECT_EQ(quorvane::derived_house_number(INT64_MIN, 12), 5);  // -2^63 is house 4
}

// Turning by r and then by s is turning once by the radix house that the
// s-th house of the first turn stands on.
TEST(DerivedChart, TurningTwiceComposes) {
  const Json base = base_chart();
  for (int r = 1; r <= 12; ++r) {
    const Json once = derived(base, r);
    for (int s = 1; s <= 12; ++s) {
      SCOPED_TRACE(std::to_string(r) + " then " + std::to_string(s));
      const Json twice = derived(once, s);
      const Json direct = derived(base, quorvane::radix_house_of(s, r));
      for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(twice["houses"][k]["ecliptic_longitude"], direct["houses"][k]["ecliptic_longitude"]);
        EXPECT_EQ(twice["houses"][k]["sign"], direct["houses"][k]["sign"]);
      }
      ASSERT_EQ(twice["planets"].size(), direct["planets"].size());
      for (size_t i = 0; i < direct["planets"].size(); ++i) {
        EXPECT_EQ(twice["planets"][i]["house"], direct["planets"][i]["house"]) << i;
        EXPECT_EQ(twice["planets"][i]["ecliptic_longitude"],
                  direct["planets"][i]["ecliptic_longitude"]) << i;
      }
      EXPECT_EQ(twice["fixed_stars"][0]["house"], direct["fixed_stars"][0]["house"]);
      EXPECT_EQ(twice["arabic_parts"][0]["house"], direct["arabic_parts"][0]["house"]);
    }
  }
}

TEST(DerivedChart, RootOneKeepsTheHouses) {
  const Json base = base_chart();
  const Json chart = derived(base, 1);
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(chart["houses"][k]["house_number"], k + 1);
    EXPECT_EQ(chart["houses"][k]["radix_house_number"], k + 1);
    EXPECT_EQ(chart["houses"][k]["ecliptic_longitude"], base["houses"][k]["ecliptic_longitude"]);
  }
  for (size_t i = 0; i < base["planets"].size(); ++i) {
    const Json& p = chart["planets"][i];
    EXPECT_EQ(p["radix_house"], base["planets"][i]["house"]);
    EXPECT_EQ(p["house"], p["name"] == "Midheaven" ? Json(10) : base["planets"][i]["house"]);
  }
  for (int64_t outside : {int64_t{0}, int64_t{13}, int64_t{-5}, INT64_MAX}) {
    EXPECT_EQ(derived(base, outside), chart) << outside;
  }
}

TEST(DerivedChart, SeventhHouseAsFirst) {
  const Json chart = derived(base_chart(), 7);
  const Json& first = chart["houses"][0];
  EXPECT_EQ(first["radix_house_number"], 7);
  EXPECT_EQ(first["ecliptic_longitude"], 280.0);
  EXPECT_EQ(first["meaning_en"], "Partner, Spouse or Business Associate");
  EXPECT_EQ(first["meaning_it"], "Partner, Coniuge o Socio");
  EXPECT_EQ(first["derived_label"], "House 1 (Radix 7)");
  EXPECT_EQ(chart["houses"][11]["radix_house_number"], 6);
  EXPECT_EQ(chart["planets"][0]["house"], 7);   // radix house 1
  EXPECT_EQ(chart["planets"][6]["house"], 1);   // radix house 7
  EXPECT_EQ(chart["planets"][5]["house"], 12);  // radix house 6

  const Json& asc = chart["planets"][12];
  EXPECT_EQ(asc["name"], "Ascendant");
  EXPECT_EQ(asc["house"], 1);
  EXPECT_EQ(asc["radix_house"], 1);
  EXPECT_EQ(asc["ecliptic_longitude"], 280.0);
  EXPECT_EQ(asc["sign"], "Capricorn");
  const Json& mc = chart["planets"][13];
  EXPECT_EQ(mc["house"], 10);
  EXPECT_EQ(mc["ecliptic_longitude"], chart["houses"][9]["ecliptic_longitude"]);
  EXPECT_EQ(mc["degree_symbol"], nullptr);  // appended with the cusp's (absent) value

  EXPECT_EQ(chart["fixed_stars"][0]["radix_house"], 2);
  EXPECT_EQ(chart["fixed_stars"][0]["house"], 8);
  EXPECT_EQ(chart["arabic_parts"][0]["house"], 5);
  EXPECT_EQ(chart["user_name"], "Ada [Derived H7 - Partner, Spouse & Associates]");

  const Json& data = chart["derived_data"];
  EXPECT_EQ(data["root_cusp"].dump(),
            R"({"house_number":7,"sign":"Capricorn","degree":10,"minute":0,"ecliptic_longitude":280.0})");
  EXPECT_EQ(data["meanings"]["1"]["en"], first["meaning_en"]);
  EXPECT_EQ(data["meanings"]["12"]["it"], chart["houses"][11]["meaning_it"]);
}

TEST(DerivedChart, KeyOrders) {
  const Json chart = derived(base_chart(), 4);
  EXPECT_EQ(keys_of(chart),
            (std::vector<std::string>{
                "id", "chart_type", "user_name", "birth_datetime", "local_datetime", "timezone",
                "timezone_offset", "timezone_abbr", "is_dst", "dst_offset", "raw_offset",
                "house_system", "zodiac_type", "zodiac_type_label", "ayanamsa", "ayanamsa_name",
                "ayanamsa_value", "ayanamsa_formatted", "orb_settings", "coordinates", "planets",
                "houses", "aspects", "fixed_stars", "arabic_parts", "temperament", "lunar_status",
                "derived_from_id", "derived_from_name", "derived_house", "derived_data"}));
  EXPECT_EQ(keys_of(chart["houses"][0]),
            (std::vector<std::string>{"house_number", "radix_house_number", "sign", "sign_symbol",
                                      "degree", "minute", "ecliptic_longitude", "symbolic_degree",
                                      "degree_symbol", "degree_symbols", "meaning_en", "meaning_it",
                                      "derived_label"}));
  EXPECT_EQ(keys_of(chart["derived_data"]),
            (std::vector<std::string>{"derived_root_house", "derived_from_id", "derived_from_name",
                                      "root_house_theme", "root_cusp", "meanings"}));
  // A turned planet keeps its keys in place and gains radix_house at the end.
  auto planet_keys = keys_of(base_chart()["planets"][0]);
  planet_keys.push_back("radix_house");
  EXPECT_EQ(keys_of(chart["planets"][0]), planet_keys);
  EXPECT_EQ(chart["id"], nullptr);
  EXPECT_EQ(chart["chart_type"], "DERIVED");
  EXPECT_EQ(chart["derived_from_id"], 42);
  EXPECT_EQ(chart["house_system"], "E");
  EXPECT_EQ(chart["timezone"], "UTC");
  EXPECT_EQ(chart["ayanamsa_formatted"], "");
  EXPECT_EQ(chart["aspects"], Json::array());
}

TEST(DerivedChart, BaseNameAndCustomName) {
  Json base = base_chart();
  base.erase("user_name");
  base.erase("id");
  const Json plain = derived(base, 10);
  EXPECT_EQ(plain["user_name"], "Radix Chart [Derived H10 - Mother, Career & Honors]");
  EXPECT_EQ(plain["derived_from_name"], "Radix Chart");
  EXPECT_EQ(plain["derived_from_id"], nullptr);
  EXPECT_EQ(derived(base, 10, "Mum")["user_name"], "Mum");
  EXPECT_EQ(derived(base, 10, "")["user_name"], plain["user_name"]);

  // The name is taken when Python would call it true, as compact JSON.
  const std::pair<Json, std::string> names[] = {
      {Json(""), "Radix Chart"}, {Json(0), "Radix Chart"},     {Json(0.0), "Radix Chart"},
      {Json(false), "Radix Chart"}, {Json::array(), "Radix Chart"}, {Json(nullptr), "Radix Chart"},
      {Json(true), "true"},       {Json(2.5), "2.5"},           {Json::array({"a", 1}), R"(["a",1])"},
  };
  for (const auto& [value, expected] : names) {
    base["user_name"] = value;
    EXPECT_EQ(derived(base, 2)["derived_from_name"], expected) << value.dump();
  }
}

TEST(DerivedChart, ShortHouseListFallsBackToSignCusps) {
  Json base = base_chart();
  base["houses"].erase(11);
  const Json chart = derived(base, 4);
  const Json& first = chart["houses"][0];
  EXPECT_EQ(first["sign"], "Cancer");
  EXPECT_EQ(first["ecliptic_longitude"], 90.0);
  EXPECT_EQ(first["symbolic_degree"], nullptr);
  EXPECT_EQ(chart["planets"][12]["ecliptic_longitude"], 90.0);  // the Ascendant follows
  EXPECT_EQ(chart["derived_data"]["root_cusp"]["sign"], "Cancer");

  // Houses are matched by number, not position; non-objects read as empty.
  Json shuffled = base_chart();
  std::reverse(shuffled["houses"].begin(), shuffled["houses"].end());
  EXPECT_EQ(derived(shuffled, 3)["houses"], derived(base_chart(), 3)["houses"]);
  Json broken = base_chart();
  broken["houses"][4] = "x";
  const Json fifth = derived(broken, 1)["houses"][4];
  EXPECT_EQ(fifth["sign"], "");
  EXPECT_EQ(fifth["ecliptic_longitude"], 0.0);
}

TEST(DerivedChart, ReadingItemHouses) {
  Json base = base_chart();
  base["planets"] = Json::array({{{"name", "A"}, {"house", 7.9}},
                                 {{"name", "B"}, {"house", "3"}},
                                 {{"name", "C"}},
                                 {{"name", "D"}, {"house", -1}},
                                 {{"name", "E"}, {"house", 18446744073709551615ULL}}});
  const Json planets = derived(base, 3)["planets"];
  EXPECT_EQ(planets[0]["house"], 5);   // 7.9 reads as 7
  EXPECT_EQ(planets[1]["house"], 11);  // a text reads as house 1
  EXPECT_EQ(planets[1]["radix_house"], "3");
  EXPECT_EQ(planets[2]["radix_house"], 1);
  EXPECT_EQ(keys_of(planets[2]), (std::vector<std::string>{"name", "radix_house", "house"}));
  EXPECT_EQ(planets[3]["house"], 9);   // -1 is house 11
  EXPECT_EQ(planets[4]["house"], 1);   // 2^64 - 1 is house 3
}

TEST(DerivedChart, Errors) {
  EXPECT_EQ(error_of(Json::array()), "base chart must be an object");
  Json base = base_chart();
  base["planets"].push_back(3);
  EXPECT_EQ(error_of(base), "planets entries must be objects");
  base = base_chart();
  base["fixed_stars"] = "abc";
  EXPECT_EQ(error_of(base), R"(fixed_stars must be a list, got "abc")");
  base = base_chart();
  base["arabic_parts"] = Json::array({Json::array()});
  EXPECT_EQ(error_of(base), "arabic_parts entries must be objects");
  // Not errors: a planets value that is not a list, null stars, no lots.
  base = base_chart();
  base["planets"] = "none";
  base["fixed_stars"] = nullptr;
  base.erase("arabic_parts");
  const Json chart = derived(base, 2);
  EXPECT_EQ(chart["planets"], Json::array());
  EXPECT_EQ(chart["fixed_stars"], Json::array());
  EXPECT_EQ(chart["arabic_parts"], Json::array());
}

Json points(const std::vector<std::pair<std::string, double>>& list) {
  Json out = Json::array();
  for (const auto& [name, longitude] : list) {
    out.push_back({{"name", name}, {"ecliptic_longitude", longitude}, {"house", 3}});
  }
  return out;
}

TEST(Synastry, SwappingChartsSwapsThePairs) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> longitude(0.0, 360.0);
  const char* const names[] = {"Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn",
                               "North Node", "South Node", "Ascendant"};
  std::vector<std::pair<std::string, double>> a, b;
  for (const char* name : names) {
    a.emplace_back(name, longitude(random));
    b.emplace_back(name, longitude(random));
  }
  auto ab = quorvane::calculate_synastry(points(a), points(b), std::nullopt);
  auto ba = quorvane::calculate_synastry(points(b), points(a), std::nullopt);
  ASSERT_TRUE(ab && ba);
  ASSERT_FALSE(ab->cross_aspects.empty());
  using Key = std::tuple<std::string, std::string, std::string, double>;
  std::multiset<Key> forward, backward;
  for (const auto& x : ab->cross_aspects) {
    EXPECT_EQ(x.body1_source, "overlay");
    EXPECT_EQ(x.body2_source, "base");
    forward.insert({x.body1, x.body2, x.aspect_type, x.orb});
  }
  for (const auto& x : ba->cross_aspects) backward.insert({x.body2, x.body1, x.aspect_type, x.orb});
  EXPECT_EQ(forward, backward);
}

TEST(Synastry, NamesakesAspectButNotTheNodePair) {
  const Json same = points({{"Sun", 10.0}, {"North Node", 55.0}, {"South Node", 235.0}});
  auto result = quorvane::calculate_synastry(same, same, std::nullopt);
  ASSERT_TRUE(result);
  std::vector<std::string> pairs;
  for (const auto& x : result->cross_aspects) pairs.push_back(x.body1 + "/" + x.body2);
  // The nodes are 180° apart but never aspect each other.
  EXPECT_EQ(pairs, (std::vector<std::string>{"Sun/Sun", "North Node/North Node",
                                             "South Node/South Node"}));
  EXPECT_EQ(to_json_tree(*result)["cross_aspects"][0]["orb"], 0.0);
  auto empty = quorvane::calculate_synastry(Json::array(), Json::array(), std::nullopt);
  ASSERT_TRUE(empty);
  EXPECT_EQ(to_json_tree(*empty).dump(), R"({"cross_aspects":[]})");
}

}  // namespace
