#include "quorvane/horary/horary.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "quorvane/zodiac/zodiac.hpp"
#include "support.hpp"

namespace {

using quorvane::Chart;
using quorvane::HoraryData;
using quorvane::KernelSet;
using quorvane::MoonStatus;
using quorvane::BodyView;
using quorvane::Placement;
using quorvane::PlanetaryHours;

// A chart of equal houses from `ascendant` holding `bodies`, built the way
// chart assembly places them.
Chart chart_of(std::vector<BodyView> bodies, double ascendant) {
  std::array<double, 12> cusps{};
  for (int i = 0; i < 12; ++i) cusps[i] = quorvane::normalize_degrees(ascendant + 30.0 * i);
  Chart chart;
  chart.planets = quorvane::placements(std::move(bodies), cusps, ascendant,
                                       quorvane::normalize_degrees(ascendant + 270.0));
  for (int i = 0; i < 12; ++i) {
    const auto split = quorvane::split_longitude(cusps[i]);
    chart.houses.push_back({static_cast<uint8_t>(i + 1), split.sign, split.degree, split.minute,
                            cusps[i], split.symbolic_degree});
  }
  return chart;
}

PlanetaryHours hour_of(std::string_view ruler, bool is_day) {
  PlanetaryHours h;
  h.hour_ruler = ruler;
  h.day_ruler = ruler;
  h.is_day = is_day;
  h.hour_type = is_day ? "Day" : "Night";
  return h;
}

HoraryData read(const Chart& chart, PlanetaryHours hours = hour_of("Saturn", true),
                std::optional<uint8_t> house = std::nullopt) {
  auto data = quorvane::horary_data(KernelSet(), chart, hours, 2451545.0, 0.0, house);
  EXPECT_TRUE(data.has_value());
  return data ? *data : HoraryData{};
}

std::vector<std::string_view> codes(const HoraryData& data) {
  std::vector<std::string_view> out;
  for (const auto& s : data.strictures) out.push_back(s.code);
  return out;
}

// A Moon with an applying aspect keeps MOON_VOC out of the way.
constexpr double kQuietMoon = 100.0;  // 10° Cancer, Sun 15° ahead
const BodyView kSun{"Sun", 115.0, 0.98, false};
const BodyView kMoon{"Moon", kQuietMoon, 13.0, false};

// ---------------------------------------------------------------------------
// The Moon's status

Placement moon_at(double longitude, double speed) {
  Placement p;
  p.name = "Moon";
  p.ecliptic_longitude = longitude;
  p.speed = speed;
  p.sign = quorvane::sign_index(longitude);
  return p;
}

Placement planet(const std::string& name, double longitude, double speed) {
  Placement p;
  p.name = name;
  p.ecliptic_longitude = longitude;
  p.speed = speed;
  return p;
}

TEST(MoonStatus, ApplyingNeedsTheFasterMoonWithinHerSign) {
  const Placement moon = moon_at(10.0, 13.0);
  std::vector<Placement> sky{moon, planet("Mars", 20.0, 0.5)};
  MoonStatus s = quorvane::moon_status(moon, sky);
  ASSERT_EQ(s.applying_aspects.size(), 1u);
  EXPECT_EQ(s.applying_aspects[0].planet, "Mars");
  EXPECT_EQ(s.applying_aspects[0].aspect, "Conjunction");
  EXPECT_EQ(s.applying_aspects[0].degrees_to_exact, 10.0);
  EXPECT_EQ(s.applying_aspects[0].target_sign, "Aries");
  EXPECT_FALSE(s.void_of_course);
  EXPECT_TRUE(s.separating_aspects.empty());

  // Mars faster than the Moon: neither applying nor (not yet perfected)
  // separating.
  sky[1].speed = 14.0;
  s = quorvane::moon_status(moon, sky);
  EXPECT_TRUE(s.applying_aspects.empty());
  EXPECT_TRUE(s.separating_aspects.empty());
  EXPECT_TRUE(s.void_of_course);

  // An aspect that perfects only after she leaves the sign does not count.
  sky[1] = planet("Mars", 45.0, 0.5);  // nearest target ahead: the sextile at 105
  s = quorvane::moon_status(moon, sky);
  EXPECT_TRUE(s.applying_aspects.empty());
}

TEST(MoonStatus, SeparatingSinceSheEnteredHerSign) {
  // Jupiter at 5° Aries: the Moon at 65.004 is 0.004° past the sextile.
  const Placement moon = moon_at(65.004, 13.0);
  std::vector<Placement> sky{moon, planet("Jupiter", 5.0, 0.1)};
  MoonStatus s = quorvane::moon_status(moon, sky);
  ASSERT_EQ(s.separating_aspects.size(), 1u);
  EXPECT_EQ(s.separating_aspects[0].aspect, "Sextile");
  EXPECT_EQ(s.separating_aspects[0].degrees_ago, 0.0);
  EXPECT_EQ(quorvane::to_json_tree(s)["last_aspect"]["planet"], "Jupiter");

  // Exactly on the aspect: neither.
  const Placement exact = moon_at(65.0, 13.0);
  s = quorvane::moon_status(exact, std::vector<Placement>{exact, planet("Jupiter", 5.0, 0.1)});
  EXPECT_TRUE(s.separating_aspects.empty());
  for (const auto& a : s.applying_aspects) EXPECT_NE(a.aspect, "Sextile");

  // A perfection before she entered Gemini is not hers any more.
  const Placement early = moon_at(61.0, 13.0);
  s = quorvane::moon_status(early, std::vector<Placement>{early, planet("Jupiter", 359.0, 0.1)});
  EXPECT_TRUE(s.separating_aspects.empty());
}

TEST(MoonStatus, ListsSortedAndDeduplicated) {
  // Moon 5° Cancer: each planet and aspect name is listed once, nearest first.
  const Placement moon = moon_at(95.0, 13.0);
  std::vector<Placement> sky{moon, planet("Saturn", 12.0, 0.03), planet("Sun", 100.0, 1.0),
                             planet("Uranus", 96.0, 0.01), planet("Saturn", 13.0, 0.03)};
  const MoonStatus s = quorvane::moon_status(moon, sky);
  std::vector<std::pair<std::string_view, std::string_view>> applying;
  for (const auto& a : s.applying_aspects) applying.emplace_back(a.planet, a.aspect);
  // Saturn's square at 102 (7°) and the Sun's conjunction at 100 (5°);
  // the second Saturn's square at 103 repeats planet and aspect. Uranus is
  // not one of her partners.
  const std::vector<std::pair<std::string_view, std::string_view>> expected{
      {"Sun", "Conjunction"}, {"Saturn", "Square"}};
  EXPECT_EQ(applying, expected);
  EXPECT_EQ(s.applying_aspects[1].degrees_to_exact, 7.0);

  // Equal distances keep the candidate order: planets in chart order.
  const Placement m2 = moon_at(0.5, 13.0);
  std::vector<Placement> twins{m2, planet("Venus", 60.5 + 2.0, 1.0), planet("Mars", 2.5, 0.5)};
  const MoonStatus t = quorvane::moon_status(m2, twins);
  ASSERT_GE(t.applying_aspects.size(), 2u);
  EXPECT_EQ(t.applying_aspects[0].planet, "Venus");
  EXPECT_EQ(t.applying_aspects[1].planet, "Mars");
  EXPECT_EQ(t.applying_aspects[0].degrees_to_exact, t.applying_aspects[1].degrees_to_exact);
}

TEST(MoonStatus, TimeAndSpeedToTheNextSign) {
  const Placement moon = moon_at(88.0 + 10.0 / 60.0, 13.2);  // 28°10' Gemini
  const MoonStatus s = quorvane::moon_status(moon, std::vector<Placement>{moon});
  EXPECT_EQ(s.next_sign, "Cancer");
  EXPECT_EQ(s.degrees_to_next_sign, 1.83);
  EXPECT_EQ(s.hours_to_next_sign, 3.3);  // 1.8333 / (13.2 / 24)
  EXPECT_EQ(s.speed_status, "average");

  // A malformed slow speed times her by the mean hourly motion.
  const MoonStatus slow = quorvane::moon_status(moon_at(20.0, 0.5), {});
  EXPECT_EQ(slow.hours_to_next_sign, 18.2);  // 10 / 0.549166...
  EXPECT_EQ(slow.speed_status, "slow");
  EXPECT_EQ(quorvane::moon_status(moon_at(20.0, 13.0), {}).speed_status, "average");
  EXPECT_EQ(quorvane::moon_status(moon_at(20.0, 13.6), {}).speed_status, "swift");
  EXPECT_EQ(quorvane::moon_status(moon_at(20.0, 12.4), {}).speed_status, "slow");
  // Pisces is followed by Aries.
  EXPECT_EQ(quorvane::moon_status(moon_at(359.0, 13.0), {}).next_sign, "Aries");
}

// ---------------------------------------------------------------------------
// Strictures and radicality

TEST(Strictures, AscendantDegree) {
  auto asc_codes = [](double asc) { return codes(read(chart_of({kSun, kMoon}, asc))); };
  const HoraryData early = read(chart_of({kSun, kMoon}, 2.99));
  ASSERT_FALSE(early.strictures.empty());
  EXPECT_EQ(early.strictures[0].code, "EARLY_ASC");
  EXPECT_EQ(early.strictures[0].severity, "warning");
  EXPECT_EQ(early.strictures[0].message,
            "Ascendant is very early (2\u00B0 Aries): The question may be premature, or "
            "circumstances are still developing.");
  EXPECT_EQ(early.ascendant_degree, "2\u00B0 59' Aries");
  EXPECT_TRUE(asc_codes(3.0).empty());
  EXPECT_TRUE(asc_codes(26.99).empty());
  const HoraryData late = read(chart_of({kSun, kMoon}, 147.0));
  ASSERT_EQ(codes(late), std::vector<std::string_view>{"LATE_ASC"});
  EXPECT_EQ(late.strictures[0].message,
            "Ascendant is very late (27\u00B0 Leo): The situation has already been decided or "
            "is out of the querent's control.");
}

TEST(Strictures, SaturnInTheAngles) {
  const double asc = 190.0;  // 10° Libra, equal houses
  auto with_saturn = [&](double longitude) {
    return read(chart_of({kSun, kMoon, {"Saturn", longitude, 0.03, false}}, asc));
  };
  EXPECT_EQ(codes(with_saturn(200.0)), std::vector<std::string_view>{"SATURN_IN_1ST"});
  const HoraryData seventh = with_saturn(20.0);
  ASSERT_EQ(codes(seventh), std::vector<std::string_view>{"SATURN_IN_7TH"});
  EXPECT_EQ(seventh.strictures[0].severity, "info");
  EXPECT_TRUE(codes(with_saturn(290.0)).empty());  // 4th house
}

TEST(Strictures, TheMoon) {
  auto moon_codes = [](double moon) {
    return codes(read(chart_of({{"Sun", 305.0, 1.0, false}, {"Moon", moon, 13.0, false}}, 100.0)));
  };
  // Without partners she is void; Via Combusta from 15° Libra up to but
  // not including 15° Scorpio.
  EXPECT_EQ(moon_codes(195.0), (std::vector<std::string_view>{"MOON_VOC", "MOON_VIA_COMBUSTA"}));
  EXPECT_EQ(moon_codes(224.99), (std::vector<std::string_view>{"MOON_VOC", "MOON_VIA_COMBUSTA"}));
  EXPECT_EQ(moon_codes(225.0), std::vector<std::string_view>{"MOON_VOC"});
  EXPECT_EQ(moon_codes(194.99), std::vector<std::string_view>{"MOON_VOC"});

  const HoraryData late =
      read(chart_of({{"Sun", 305.0, 1.0, false}, {"Moon", 88.0 + 10.0 / 60.0, 13.0, false}}, 100.0));
  ASSERT_EQ(codes(late), (std::vector<std::string_view>{"MOON_VOC", "MOON_LATE_DEGREES"}));
  EXPECT_EQ(late.strictures[1].message,
            "Moon in the last degrees of Gemini (28\u00B0): she has little left to do in her sign.");
  EXPECT_EQ(late.moon_status.next_sign, "Cancer");
  EXPECT_EQ(quorvane::to_json_tree(late.moon_status)["next_applying_aspect"], nullptr);

  // No Moon, no horary chart.
  auto failed = quorvane::horary_data(KernelSet(), chart_of({kSun}, 100.0), hour_of("Sun", true),
                                      2451545.0, 0.0, std::nullopt);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().text(), "invalid input: chart has no Moon");
}

TEST(Strictures, LordOfTheAscendantCombust) {
  auto combust = [](double asc, double ruler_offset, const char* ruler) {
    const HoraryData d = read(chart_of({kSun, kMoon, {ruler, 115.0 + ruler_offset, 1.2, false}}, asc));
    for (const auto& s : d.strictures) {
      if (s.code == "ASC_RULER_COMBUST") return s.message;
    }
    return std::string();
  };
  // Gemini rising: Mercury rules.
  EXPECT_EQ(combust(70.0, 8.0, "Mercury"),
            "The lord of the Ascendant (Mercury) is combust: the querent is fearful, "
            "overpowered or without hope.");
  EXPECT_EQ(combust(70.0, 10.0 / 60.0, "Mercury"), "");  // cazimi
  EXPECT_EQ(combust(70.0, 10.0, "Mercury"), "");         // under the beams
  EXPECT_EQ(combust(70.0, 8.0, "Venus"), "");            // not the lord
  // Leo rising: the Sun is the lord and never combust.
  const HoraryData leo = read(chart_of({kSun, kMoon}, 130.0));
  EXPECT_EQ(leo.traditional_asc_ruler, "Sun");
  for (const auto& s : leo.strictures) EXPECT_NE(s.code, "ASC_RULER_COMBUST");
}

TEST(Strictures, ComeInTheirFixedOrder) {
  // Early Aries rising with Saturn in the 1st, a void Moon in the Via
  // Combusta's last degree of Libra, and Mars combust.
  const HoraryData d = read(chart_of({{"Sun", 20.0, 1.0, false},
                                      {"Moon", 209.5, 13.0, false},
                                      {"Saturn", 15.0, 0.03, false},
                                      {"Mars", 25.0, 0.7, false}},
                                     1.0));
  EXPECT_EQ(codes(d), (std::vector<std::string_view>{"EARLY_ASC", "SATURN_IN_1ST", "MOON_VOC",
                                                      "MOON_VIA_COMBUSTA", "MOON_LATE_DEGREES",
                                                      "ASC_RULER_COMBUST"}));
  // Half a degree from Scorpio she has nothing left to meet: Mars'
  // opposition (205) lies behind her.
  EXPECT_TRUE(d.moon_status.void_of_course);
}

TEST(Radicality, HourRulerAgreesWithTheAscendant) {
  // The lord of the Ascendant, or the element's lord of the day or night
  // half; the water pair is Venus and Mars whatever the scheme.
  EXPECT_TRUE(quorvane::is_radical("Mars", "Mars", "Aries", true));
  EXPECT_TRUE(quorvane::is_radical("Sun", "Mars", "Aries", true));
  EXPECT_FALSE(quorvane::is_radical("Sun", "Mars", "Aries", false));
  EXPECT_TRUE(quorvane::is_radical("Venus", "Moon", "Cancer", true));
  EXPECT_FALSE(quorvane::is_radical("Mars", "Moon", "Cancer", true));
  EXPECT_FALSE(quorvane::is_radical("Sun", "Mars", "Nowhere", true));

  // Through horary_data: Aries rising in a Jupiter night hour.
  EXPECT_TRUE(read(chart_of({kSun, kMoon}, 10.0), hour_of("Jupiter", false)).is_radical);
  EXPECT_FALSE(read(chart_of({kSun, kMoon}, 10.0), hour_of("Jupiter", true)).is_radical);
}

TEST(Radicality, Rulers) {
  const HoraryData scorpio = read(chart_of({kSun, kMoon}, 215.0));
  EXPECT_EQ(scorpio.ascendant_sign, "Scorpio");
  EXPECT_EQ(scorpio.traditional_asc_ruler, "Mars");
  EXPECT_EQ(scorpio.modern_asc_ruler, "Pluto");
  EXPECT_EQ(read(chart_of({kSun, kMoon}, 280.0)).modern_asc_ruler, "Saturn");

  // Without an Ascendant placement the first cusp stands in.
  Chart chart = chart_of({kSun, kMoon}, 137.25);
  std::erase_if(chart.planets, [](const Placement& p) { return p.name == "Ascendant"; });
  const HoraryData d = read(chart, hour_of("Saturn", true), 7);
  EXPECT_EQ(d.ascendant_degree, "17\u00B0 15' Leo");
  EXPECT_EQ(d.judgment.querent, "Sun");
  EXPECT_EQ(d.judgment.quesited, "Saturn");  // Aquarius on the 7th
  chart.houses.clear();
  EXPECT_EQ(read(chart).ascendant_degree, "0\u00B0 0' Aries");
}

// ---------------------------------------------------------------------------
// The whole horary chart over the real kernel

TEST(HoraryChart, AddsHoursAndHoraryDataToTheChart) {
  const std::string path = quorvane::testing::real_kernel_path();
  if (path.empty()) GTEST_SKIP() << "DE440 not installed";
  auto kernels = KernelSet::load({path});
  ASSERT_TRUE(kernels);
  quorvane::ChartRequest request;
  request.moment = *quorvane::UtcInstant::parse("2024-03-20T03:06:00Z");
  request.latitude = 51.48;
  request.longitude = -0.0;
  auto horary = quorvane::calculate_horary_chart(*kernels, request, 7);
  ASSERT_TRUE(horary) << horary.error().text();
  auto chart = quorvane::calculate_chart(*kernels, request);
  ASSERT_TRUE(chart);

  quorvane::Json out = quorvane::to_json_tree(*horary);
  quorvane::Json data = out["horary_data"];
  out.erase("horary_data");
  EXPECT_EQ(out, quorvane::to_json_tree(*chart));
  EXPECT_EQ(data["planetary_hours"], out["planetary_hours"]);
  std::vector<std::string> keys;
  for (auto it = data.begin(); it != data.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"planetary_hours", "ascendant_sign",
                                            "ascendant_degree", "traditional_asc_ruler",
                                            "modern_asc_ruler", "is_radical", "strictures",
                                            "moon_status", "judgment"}));
  EXPECT_EQ(data["judgment"]["quesited_house"], 7);

  // The Moon's applying aspects must each be met when she is moved on by
  // the degrees given, at her own and the planet's speeds.
  const auto& planets = horary->chart.planets;
  auto find = [&](std::string_view name) -> const Placement& {
    for (const Placement& p : planets) {
      if (p.name == name) return p;
    }
    ADD_FAILURE() << name;
    return planets.front();
  };
  const Placement& moon = find("Moon");
  for (const auto& a : horary->horary_data.moon_status.applying_aspects) {
    const Placement& other = find(a.planet);
    struct Named {
      std::string_view name;
      double angle;
    };
    static constexpr Named kAngles[] = {{"Conjunction", 0.0}, {"Sextile", 60.0}, {"Square", 90.0},
                                        {"Trine", 120.0},     {"Opposition", 180.0}};
    double angle = -1;
    for (const Named& n : kAngles) {
      if (a.aspect == n.name) angle = n.angle;
    }
    const double sep = quorvane::normalize_degrees(moon.ecliptic_longitude + a.degrees_to_exact -
                                                   other.ecliptic_longitude);
    EXPECT_NEAR(std::min(std::fabs(sep - angle), std::fabs(360.0 - sep - angle)), 0.0, 0.006)
        << a.planet << " " << a.aspect;
  }

  // Errors of the chart pass through unchanged.
  auto none = quorvane::calculate_horary_chart(KernelSet(), request, std::nullopt);
  ASSERT_FALSE(none);
  EXPECT_TRUE(std::holds_alternative<quorvane::OutOfRange>(none.error().kind));
}

}  // namespace
