#include "quorvane/election/election.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "quorvane/astronomy/planets.hpp"
#include "quorvane/election/election_search.hpp"
#include "quorvane/time/julian_day.hpp"
#include "support.hpp"

namespace {

using quorvane::ChartRequest;
using quorvane::ElectionCriteria;
using quorvane::ElectionData;
using quorvane::ElectionFactor;
using quorvane::EngineError;
using quorvane::KernelSet;
using quorvane::BodyView;
using quorvane::Placement;
using quorvane::PlanetaryHours;
using quorvane::UtcInstant;
using Resolved = ElectionCriteria::Resolved;

using quorvane::testing::de440;

#define REQUIRE_DE440()               \
  const KernelSet* kernels = de440(); \
  if (!kernels) GTEST_SKIP() << "JPL DE440 is not installed"

UtcInstant at(std::string_view text) { return *UtcInstant::parse(text); }

Resolved criteria(std::string_view text) {
  auto read = ElectionCriteria::from_text(text);
  EXPECT_TRUE(read) << text;
  auto r = read->resolve();
  EXPECT_TRUE(r) << text;
  return *r;
}

// A hand-built chart: equal houses from the Ascendant.
struct HandChart {
  std::array<double, 12> cusps{};
  std::vector<Placement> placements;
};

HandChart hand_chart(std::vector<BodyView> bodies, double ascendant) {
  HandChart chart;
  for (int i = 0; i < 12; ++i) chart.cusps[i] = std::fmod(ascendant + 30.0 * i, 360.0);
  chart.placements = quorvane::placements(std::move(bodies), chart.cusps, ascendant,
                                          std::fmod(ascendant + 270.0, 360.0));
  return chart;
}

PlanetaryHours hours_ruled_by(std::string_view ruler, bool is_day = true) {
  PlanetaryHours h;
  h.is_day = is_day;
  h.day_ruler = "Sun";
  h.hour_ruler = ruler;
  h.hour_number = 1;
  h.hour_type = is_day ? "Day" : "Night";
  return h;
}

ElectionData assessed(const HandChart& chart, const PlanetaryHours& hours, const Resolved& rules,
                      UtcInstant moment = UtcInstant()) {
  auto data = quorvane::assess(chart.placements, chart.cusps, hours, moment, rules);
  EXPECT_TRUE(data) << data.error().text();
  return data ? *data : ElectionData{};
}

// "CODE weight planet target aspect house sign", blanks for nulls.
std::string describe(const ElectionFactor& f) {
  std::ostringstream s;
  s << f.code << ' ' << f.weight << ' ' << f.planet.value_or("-") << ' ' << f.target.value_or("-")
    << ' ' << f.aspect.value_or("-") << ' ' << (f.house ? std::to_string(*f.house) : "-") << ' '
    << f.sign.value_or("-");
  return s.str();
}

std::vector<std::string> describe(const std::vector<ElectionFactor>& factors) {
  std::vector<std::string> out;
  for (const ElectionFactor& f : factors) out.push_back(describe(f));
  return out;
}

TEST(ElectionAssessment, MoonCombustAndApplyingToAMalefic) {
  // The Moon 5° ahead of the Sun in Aries, applying to Mars by conjunction;
  // a Cancer Ascendant whose lord, the Moon, is thus combust.
  const HandChart chart = hand_chart({{"Sun", 0.0, 1.0, false},
                                      {"Moon", 5.0, 13.0, false},
                                      {"Mars", 20.0, 0.5, false}},
                                     100.0);
  const ElectionData data = assessed(chart, hours_ruled_by("Venus"), criteria("null"));
  EXPECT_EQ(describe(data.factors), (std::vector<std::string>{
                                        "MOON_COMBUST -12 Moon - - - -",
                                        "MOON_PITTED_DEGREE -4 Moon - - - Aries",
                                        "MOON_APPLYING_MALEFIC -10 Moon Mars Conjunction - -",
                                        "ASC_AZIMENE_DEGREE -3 - - - - Cancer",
                                        "ASC_LIGHT_DEGREE 2 - - - - Cancer",
                                        "ASC_RULER_COMBUST -6 Moon - - 9 Aries",
                                        "MALEFIC_ANGULAR -5 Mars - - 10 -",
                                        "HOUR_RULER_FAVOURS_PURPOSE 5 Venus - - - -",
                                    }));
  EXPECT_EQ(data.score, 17.0);
  EXPECT_EQ(data.verdict, "unfavourable");
  EXPECT_TRUE(data.excluded_by.empty());
}

// A finance election: Jupiter significator, Venus lord of the 2nd.
HandChart finance_chart(double mercury_speed = -0.5) {
  return hand_chart({{"Sun", 200.0, 1.0, false},
                     {"Moon", 185.0, 14.0, false},
                     {"Mercury", 212.0, mercury_speed, mercury_speed < 0},
                     {"Venus", 350.0, -0.5, true},
                     {"Mars", 285.0, 0.7, false},
                     {"Jupiter", 100.0, 0.2, false}},
                    0.5);
}

TEST(ElectionAssessment, RulersOfTheMatterAndTheSignificator) {
  const ElectionData data =
      assessed(finance_chart(), hours_ruled_by("Mars"), criteria(R"({"purpose": "finance"})"));
  EXPECT_EQ(describe(data.factors), (std::vector<std::string>{
                                        "MOON_SWIFT 2 Moon - - - -",
                                        "MOON_ANGULAR 3 Moon - - 7 -",
                                        "MOON_APPLYING_BENEFIC 4 Moon Jupiter Square - -",
                                        "MOON_APPLYING_SIGNIFICATOR -3 Moon Jupiter Square - -",
                                        "ASC_EARLY -5 - - - - Aries",
                                        "ASC_DARK_DEGREE -2 - - - - Aries",
                                        "ASC_RULER_DIGNIFIED 6 Mars - - 10 Capricorn",
                                        "ASC_RULER_ANGULAR 4 Mars - - 10 Capricorn",
                                        "MALEFIC_ANGULAR -5 Mars - - 10 -",
                                        "BENEFIC_ANGULAR 4 Jupiter - - 4 -",
                                        "MERCURY_RETROGRADE -2 Mercury - - - -",
                                        "VENUS_RETROGRADE -2 Venus - - - -",
                                        "HOUSE_RULER_DIGNIFIED 5 Venus - - 12 Pisces",
                                        "HOUSE_RULER_IN_DARK_HOUSE -4 Venus - - 12 Pisces",
                                        "HOUSE_RULER_RETROGRADE -5 Venus - - 12 Pisces",
                                        "SIGNIFICATOR_DIGNIFIED 4 Jupiter - - 4 Cancer",
                                        "SIGNIFICATOR_ANGULAR 2 Jupiter - - 4 Cancer",
                                        "HOUR_RULER_MALEFIC -3 Mars - - - -",
                                    }));
  EXPECT_EQ(data.score, 53.0);
  EXPECT_EQ(data.verdict, "mixed");
  EXPECT_TRUE(data.excluded_by.empty());

  // Avoiding Venus retrograde makes it weigh -10 and excludes the moment.
  const ElectionData avoiding = assessed(finance_chart(), hours_ruled_by("Mars"),
                                         criteria(R"({"purpose": "finance", "avoid_venus_retrograde": true})"));
  EXPECT_EQ(avoiding.score, 45.0);
  EXPECT_EQ(avoiding.verdict, "mixed");
  EXPECT_EQ(avoiding.excluded_by, (std::vector<std::string_view>{"venus_retrograde"}));
}

TEST(ElectionAssessment, MercuryRetrogradeForAContract) {
  // Contract: Mercury is the significator, so his retrogradation weighs -10
  // whether or not it is avoided, and excludes only when avoided.
  const auto mercury_rule = [](const ElectionData& data) {
    for (const ElectionFactor& f : data.factors) {
      if (f.code == "MERCURY_RETROGRADE") return f.weight;
    }
    return 0.0;
  };
  const ElectionData avoiding = assessed(finance_chart(), hours_ruled_by("Sun"), criteria(R"({"purpose": "contract"})"));
  const ElectionData allowing = assessed(finance_chart(), hours_ruled_by("Sun"),
                                         criteria(R"({"purpose": "contract", "avoid_mercury_retrograde": false})"));
  EXPECT_EQ(mercury_rule(avoiding), -10.0);
  EXPECT_EQ(mercury_rule(allowing), -10.0);
  EXPECT_EQ(avoiding.excluded_by, (std::vector<std::string_view>{"mercury_retrograde"}));
  EXPECT_TRUE(allowing.excluded_by.empty());
  // The significator's own condition leaves retrogradation to that rule.
  for (const ElectionFactor& f : avoiding.factors) EXPECT_NE(f.code, "SIGNIFICATOR_RETROGRADE");
  EXPECT_EQ(mercury_rule(assessed(finance_chart(), hours_ruled_by("Sun"), criteria("{}"))), -2.0);
  EXPECT_EQ(mercury_rule(assessed(finance_chart(0.8), hours_ruled_by("Sun"), criteria("{}"))), 0.0);

  // With a Gemini Ascendant Mercury is lord of the Ascendant too: only the
  // Ascendant-ruler rules judge him (here: retrograde, in the 6th).
  const HandChart gemini = hand_chart({{"Sun", 10.0, 1.0, false},
                                       {"Moon", 300.0, 13.0, false},
                                       {"Mercury", 225.0, -0.5, true}},
                                      65.0);
  const ElectionData data = assessed(gemini, hours_ruled_by("Sun"), criteria(R"({"purpose": "contract"})"));
  std::vector<std::string> mercury_rules;
  for (const ElectionFactor& f : data.factors) {
    if (f.planet == "Mercury") mercury_rules.push_back(f.code);
  }
  EXPECT_EQ(mercury_rules, (std::vector<std::string>{"ASC_RULER_IN_DARK_HOUSE", "ASC_RULER_RETROGRADE",
                                                     "MERCURY_RETROGRADE"}));
}

// A void Moon late in Aries with natal contacts.
HandChart void_moon_chart() {
  return hand_chart({{"Sun", 335.0, 1.0, false},
                     {"Moon", 28.0, 12.0, false},
                     {"Jupiter", 160.0, 0.1, false},
                     {"Saturn", 221.0, 0.05, false}},
                    250.0);
}

constexpr std::string_view kNatal = R"("natal": [
    {"name": "Sun", "ecliptic_longitude": 100}, {"name": "Ascendant", "ecliptic_longitude": 40},
    {"name": "Venus", "ecliptic_longitude": 300}, {"name": "Mars", "ecliptic_longitude": 118},
    {"name": "Jupiter", "ecliptic_longitude": 88}])";

TEST(ElectionAssessment, VoidMoonAndNatalContacts) {
  const ElectionData data = assessed(void_moon_chart(), hours_ruled_by("Sun"),
                                     criteria("{" + std::string(kNatal) + "}"));
  EXPECT_EQ(describe(data.factors), (std::vector<std::string>{
                                        "MOON_VOC -20 Moon - - - -",
                                        "MOON_WAXING 5 Moon - - - -",
                                        "MOON_PITTED_DEGREE -4 Moon - - - Aries",
                                        "MOON_SLOW -2 Moon - - - -",
                                        "ASC_DARK_DEGREE -2 - - - - Sagittarius",
                                        "ASC_RULER_DEBILITATED -6 Jupiter - - 10 Virgo",
                                        "ASC_RULER_ANGULAR 4 Jupiter - - 10 Virgo",
                                        "BENEFIC_ANGULAR 4 Jupiter - - 10 -",
                                        "NATAL_ASC_BADLY_PLACED -6 - - - 8 -",
                                        "NATAL_BENEFIC_CONTACT 4 Jupiter Sun Sextile - -",
                                        "NATAL_BENEFIC_CONTACT 4 Jupiter Ascendant Trine - -",
                                        "NATAL_MALEFIC_CONTACT -6 Saturn Ascendant Opposition - -",
                                        "NATAL_MOON_TO_MALEFIC -4 Moon Mars Square - -",
                                        "NATAL_MOON_TO_BENEFIC 3 Moon Jupiter Sextile - -",
                                    }));
  EXPECT_EQ(data.score, 24.0);
  EXPECT_EQ(data.excluded_by, (std::vector<std::string_view>{"void_moon"}));
  EXPECT_TRUE(data.moon_status.void_of_course);

  // Without natal points the natal rules are silent; not avoiding the void
  // Moon keeps its weight but drops the exclusion.
  const ElectionData plain = assessed(void_moon_chart(), hours_ruled_by("Sun"),
                                      criteria(R"({"avoid_void_moon": false})"));
  EXPECT_EQ(plain.factors.size(), 8u);
  EXPECT_EQ(plain.factors.front().code, "MOON_VOC");
  EXPECT_EQ(plain.score, 29.0);
  EXPECT_TRUE(plain.excluded_by.empty());
}

TEST(ElectionAssessment, ExclusionsComeInTheirOrder) {
  HandChart chart = hand_chart({{"Sun", 335.0, 1.0, false},
                                {"Moon", 28.0, 12.0, false},
                                {"Mercury", 331.0, -0.3, true},
                                {"Venus", 180.0, -0.2, true}},
                               250.0);
  const Resolved rules = criteria(R"({"avoid_mercury_retrograde": true, "avoid_venus_retrograde": true,
                                      "daytime_only": true, "local_hours": [9, 17]})");
  const ElectionData data = assessed(chart, hours_ruled_by("Sun", false), rules, at("2024-01-01T03:00:00Z"));
  EXPECT_EQ(data.excluded_by, (std::vector<std::string_view>{"outside_hours", "night", "void_moon",
                                                             "mercury_retrograde", "venus_retrograde"}));
  const ElectionData day = assessed(chart, hours_ruled_by("Sun", true), rules, at("2024-01-01T12:00:00Z"));
  EXPECT_EQ(day.excluded_by, (std::vector<std::string_view>{"void_moon", "mercury_retrograde",
                                                            "venus_retrograde"}));
}

TEST(ElectionAssessment, ScoreBoundsAndVerdicts) {
  EXPECT_EQ(quorvane::verdict_of(0.0), "unfavourable");
  EXPECT_EQ(quorvane::verdict_of(44.9), "unfavourable");
  EXPECT_EQ(quorvane::verdict_of(45.0), "mixed");
  EXPECT_EQ(quorvane::verdict_of(64.9), "mixed");
  EXPECT_EQ(quorvane::verdict_of(65.0), "favourable");
  EXPECT_EQ(quorvane::verdict_of(100.0), "favourable");

  // A chart without a Moon cannot be assessed.
  const HandChart no_moon = hand_chart({{"Sun", 10.0, 1.0, false}}, 100.0);
  auto failed = quorvane::assess(no_moon.placements, no_moon.cusps, hours_ruled_by("Sun"), UtcInstant(),
                                 criteria("null"));
  ASSERT_FALSE(failed);
  EXPECT_EQ(std::get<quorvane::InvalidInput>(failed.error().kind).message, "chart has no Moon");

  // Many afflictions together clamp at 0; many blessings at 100.
  const HandChart afflicted = hand_chart({{"Sun", 0.0, 1.0, false},
                                          {"Moon", 5.0, 11.0, false},
                                          {"Mars", 20.0, 0.5, false},
                                          {"Saturn", 101.0, 0.1, false},
                                          {"Mercury", 2.0, -0.5, true},
                                          {"Venus", 3.0, -0.5, true}},
                                         100.0);
  const ElectionData worst = assessed(afflicted, hours_ruled_by("Saturn"), criteria(R"({"purpose": "partnership"})"));
  double sum = 0;
  for (const ElectionFactor& f : worst.factors) sum += f.weight;
  EXPECT_LT(sum, -50.0);
  EXPECT_EQ(worst.score, 0.0);
}

// ---- the search on the real ephemeris ----

ChartRequest search_request(std::string_view start, double latitude = 51.5, double longitude = -0.12) {
  ChartRequest request;
  request.moment = at(start);
  request.latitude = latitude;
  request.longitude = longitude;
  return request;
}

const EngineError& search_error(const quorvane::Expected<quorvane::ElectionSearch, EngineError>& r) {
  EXPECT_FALSE(r);
  return r.error();
}

TEST(ElectionSearch, SpanAndCoverageChecks) {
  REQUIRE_DE440();
  const ElectionCriteria none;
  const ChartRequest request = search_request("2024-03-01T00:00:00Z");
  const auto invalid = [](const EngineError& e) { return std::get<quorvane::InvalidInput>(e.kind).message; };
  EXPECT_EQ(invalid(search_error(quorvane::search_elections(*kernels, request, request.moment, none))),
            "the search must end after it starts");
  EXPECT_EQ(invalid(search_error(quorvane::search_elections(*kernels, request, at("2024-02-01T00:00:00Z"), none))),
            "the search must end after it starts");
  EXPECT_EQ(invalid(search_error(quorvane::search_elections(*kernels, request, at("2024-06-01T00:01:00Z"), none))),
            "a search spans at most 92 days");

  KernelSet empty;
  const auto no_kernels = std::get<quorvane::OutOfRange>(
      search_error(quorvane::search_elections(empty, request, at("2024-03-02T00:00:00Z"), none)).kind);
  EXPECT_EQ(no_kernels.jd, request.moment.julian_day());
  EXPECT_FALSE(no_kernels.coverage);

  // The last sample needs three hours of ephemeris after it.
  const double last = kernels->kernels().front().end();
  const UtcInstant end = quorvane::instant_from_julian_day(last - 0.1);
  ChartRequest late = request;
  late.moment = quorvane::instant_from_julian_day(last - 1.0);
  const auto beyond =
      std::get<quorvane::OutOfRange>(search_error(quorvane::search_elections(*kernels, late, end, none)).kind);
  EXPECT_DOUBLE_EQ(beyond.jd, quorvane::julian_day_from_instant(end) + 0.125);
  ASSERT_TRUE(beyond.coverage);
  EXPECT_EQ(beyond.coverage->second, last);
}

TEST(ElectionSearch, CountsSamplesByWhatLeftThemOut) {
  REQUIRE_DE440();
  const ChartRequest request = search_request("2024-03-05T00:00:00Z");
  const UtcInstant end = at("2024-03-06T00:00:00Z");
  auto read = ElectionCriteria::from_text(R"({"avoid_void_moon": false, "local_hours": [9, 17]})");
  auto hours = quorvane::search_elections(*kernels, request, end, *read);
  ASSERT_TRUE(hours) << hours.error().text();
  // 145 samples from 00:00 to 24:00; 48 lie in 09:00-17:00.
  EXPECT_EQ(hours->excluded.outside_hours, 97u);
  EXPECT_EQ(hours->evaluated, 48u);

  read = ElectionCriteria::from_text(R"({"avoid_void_moon": false, "daytime_only": true})");
  auto day = quorvane::search_elections(*kernels, request, end, *read);
  ASSERT_TRUE(day);
  EXPECT_EQ(day->evaluated + day->excluded.night, 145u);
  // London in early March: roughly eleven hours of daylight.
  EXPECT_NEAR(day->evaluated, 66, 3);
  for (const auto& w : day->windows) {
    EXPECT_GE(w.start.civil().hour, 6u);
    EXPECT_LE(w.end.civil().hour, 18u);
  }
}

TEST(ElectionSearch, EverySampleExcludedLeavesNoWindow) {
  REQUIRE_DE440();
  // Mercury was retrograde from 1 to 25 April 2024; a contract avoids it.
  const ChartRequest request = search_request("2024-04-10T00:00:00Z");
  auto read = ElectionCriteria::from_text(R"({"purpose": "contract", "step_minutes": 30})");
  auto result = quorvane::search_elections(*kernels, request, at("2024-04-12T00:00:00Z"), *read);
  ASSERT_TRUE(result) << result.error().text();
  EXPECT_TRUE(result->windows.empty());
  EXPECT_EQ(result->evaluated, 97u);
  // A void Moon counts there, not under Mercury as well.
  EXPECT_EQ(result->excluded.void_moon + result->excluded.mercury_retrograde, 97u);
  EXPECT_GT(result->excluded.void_moon, 0u);
  EXPECT_GT(result->excluded.mercury_retrograde, 0u);
}

TEST(ElectionSampler, InterpolationStaysCloseToTheExactPositions) {
  REQUIRE_DE440();
  const UtcInstant start = at("2024-05-03T00:07:00Z");
  quorvane::Sampler sampler(*kernels, start, "galcent_0sag", false);
  double worst = 0.0, worst_moon = 0.0;
  int samples = 0, anchors = 0;
  // Every 17 minutes over six days: many offsets from the anchors.
  for (int64_t minutes = 0; minutes <= 6 * 1440; minutes += 17) {
    const UtcInstant moment(start.micros() + minutes * 60'000'000);
    auto sampled = sampler.chart(moment, quorvane::HouseSystem::Placidus, 40.0, -74.0);
    ASSERT_TRUE(sampled) << sampled.error().text();
    auto exact = quorvane::planets_and_sidereal_time(*kernels, quorvane::julian_day_from_instant(moment), 0.0);
    ASSERT_TRUE(exact);
    ASSERT_EQ(sampled->placements.size(), exact->bodies.size() + 2);
    const bool at_anchor = minutes % 120 == 0;
    for (size_t i = 0; i < exact->bodies.size(); ++i) {
      const auto& body = exact->bodies[i];
      const Placement& p = sampled->placements[i];
      ASSERT_EQ(p.name, body.name);
      if (at_anchor) {
        EXPECT_EQ(p.ecliptic_longitude, body.longitude) << body.name;
        EXPECT_EQ(p.speed, body.speed) << body.name;
        EXPECT_EQ(p.is_retrograde, body.retrograde) << body.name;
        continue;
      }
      double off = std::fabs(p.ecliptic_longitude - body.longitude);
      off = std::min(off, 360.0 - off) * 60.0;  // arcminutes
      (p.name == "Moon" ? worst_moon : worst) = std::max(p.name == "Moon" ? worst_moon : worst, off);
      // Speeds agree to within a few hours' change of the Moon's speed.
      EXPECT_NEAR(p.speed, body.speed, p.name == "Moon" ? 0.1 : 0.01) << body.name;
    }
    if (at_anchor) {
      EXPECT_EQ(sampled->sidereal_time, exact->sidereal_time);
      ++anchors;
    } else {
      EXPECT_NEAR(sampled->sidereal_time, exact->sidereal_time, 1e-6);
    }
    ++samples;
  }
  EXPECT_GT(anchors, 0);
  EXPECT_GT(samples, 500);
  EXPECT_LT(worst, 1.0);
  EXPECT_LT(worst_moon, 10.0);
}

TEST(ElectionSolarDays, CachedAndPrecomputedDaysGiveEachMomentItsOwnHours) {
  REQUIRE_DE440();
  const double latitude = 51.5, longitude = -0.12;
  const UtcInstant start = at("2024-06-20T00:05:00Z");
  const double jd = quorvane::julian_day_from_instant(start);
  auto events = quorvane::SunEvents::find(*kernels, jd - 1.6, jd + 3.6, latitude, longitude);
  ASSERT_TRUE(events && *events);
  quorvane::SolarDays cached(*kernels, latitude, longitude, std::nullopt);
  quorvane::SolarDays precomputed(*kernels, latitude, longitude, std::move(**events));
  // Every 20 minutes over two days, sunrises (and the 72 minutes before them) included.
  for (int64_t minutes = 0; minutes <= 2 * 1440; minutes += 20) {
    const UtcInstant w(start.micros() + minutes * 60'000'000);
    const PlanetaryHours own = quorvane::hours_in(quorvane::solar_day(*kernels, w, latitude, longitude), w);
    for (quorvane::SolarDays* days : {&cached, &precomputed}) {
      const PlanetaryHours h = days->hours(w);
      EXPECT_EQ(h.is_day, own.is_day) << w.isoformat();
      EXPECT_EQ(h.hour_number, own.hour_number) << w.isoformat();
      EXPECT_EQ(h.hour_ruler, own.hour_ruler) << w.isoformat();
      EXPECT_EQ(h.sunrise.substr(0, 19), own.sunrise.substr(0, 19)) << w.isoformat();
    }
  }
}

TEST(ElectionSearch, AgreesWithExactChartsAtEverySample) {
  REQUIRE_DE440();
  const ChartRequest request = search_request("2024-05-03T00:00:00Z", 48.85, 2.35);
  const UtcInstant end = at("2024-05-06T00:00:00Z");
  const std::string text = R"({"min_score": 52, "max_results": 50})";
  const Resolved rules = criteria(text);
  auto search = quorvane::search_elections(*kernels, request, end, *ElectionCriteria::from_text(text));
  ASSERT_TRUE(search) << search.error().text();

  // Each sample assessed twice: on the sampler's chart and on the exact one.
  quorvane::Sampler sampler(*kernels, request.moment, "galcent_0sag", false);
  const int64_t step = 10 * 60'000'000LL;
  std::vector<UtcInstant> moments;
  std::vector<bool> exact_ok, ambiguous;
  std::vector<double> exact_score;
  for (int64_t t = request.moment.micros(); t <= end.micros(); t += step) {
    const UtcInstant w(t);
    const PlanetaryHours hours = quorvane::hours_in(
        quorvane::solar_day(*kernels, w, request.latitude, request.longitude), w);
    auto sampled = sampler.chart(w, quorvane::HouseSystem::Placidus, request.latitude, request.longitude);
    ASSERT_TRUE(sampled);
    auto approx = quorvane::assess(sampled->placements, sampled->cusps, hours, w, rules);
    ChartRequest at_w = request;
    at_w.moment = w;
    auto sky = quorvane::sky(*kernels, at_w);
    ASSERT_TRUE(sky);
    auto exact = quorvane::assess(sky->placements, sky->cusps, hours, w, rules);
    ASSERT_TRUE(approx && exact);
    moments.push_back(w);
    exact_ok.push_back(exact->excluded_by.empty() && exact->score >= rules.min_score);
    exact_score.push_back(exact->score);
    ambiguous.push_back(std::fabs(approx->score - rules.min_score) < 1.0);
    if (!ambiguous.back()) {
      EXPECT_EQ(approx->excluded_by, exact->excluded_by) << w.isoformat();
    }
  }

  // Runs of acceptable exact samples.
  struct Run {
    size_t first, last;
  };
  std::vector<Run> runs;
  for (size_t i = 0; i < moments.size(); ++i) {
    if (!exact_ok[i]) continue;
    if (!runs.empty() && runs.back().last + 1 == i) {
      runs.back().last = i;
    } else {
      runs.push_back({i, i});
    }
  }
  const auto index_of = [&](UtcInstant m) { return static_cast<size_t>((m.micros() - request.moment.micros()) / step); };
  const auto touches_ambiguity = [&](size_t first, size_t last) {
    for (size_t i = first == 0 ? 0 : first - 1; i <= std::min(last + 1, moments.size() - 1); ++i) {
      if (ambiguous[i]) return true;
    }
    return false;
  };

  size_t compared = 0;
  for (const auto& w : search->windows) {
    const size_t first = index_of(w.start), last = index_of(w.end);
    // The kept windows are scored again on the exact chart at their best moment.
    EXPECT_EQ(w.score, exact_score[index_of(w.best)]);
    if (touches_ambiguity(first, last)) continue;
    bool found = false;
    for (const Run& r : runs) found = found || (r.first == first && r.last == last);
    EXPECT_TRUE(found) << w.start.isoformat() << " - " << w.end.isoformat();
    ++compared;
  }
  for (const Run& r : runs) {
    if (touches_ambiguity(r.first, r.last)) continue;
    bool found = false;
    for (const auto& w : search->windows) {
      found = found || (index_of(w.start) == r.first && index_of(w.end) == r.last);
    }
    EXPECT_TRUE(found) << moments[r.first].isoformat() << " - " << moments[r.last].isoformat();
  }
  EXPECT_GE(compared, 3u);
  EXPECT_EQ(search->evaluated, moments.size());
  for (size_t i = 1; i < search->windows.size(); ++i) {
    EXPECT_GE(search->windows[i - 1].score, search->windows[i].score);
  }
}

}  // namespace
