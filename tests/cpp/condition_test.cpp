#include "quorvane/traditional/condition.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace quorvane;

constexpr DignityScheme kLilly = DignityScheme::Lilly;

// A condition that must exist.
Condition judged(std::string_view name, double longitude, double speed, double sun, double asc,
                 DignityScheme scheme = kLilly) {
  auto c = condition(name, longitude, speed, scheme, sun, asc);
  EXPECT_TRUE(c.has_value()) << name;
  return c.value_or(Condition{});
}

TEST(ChartSect, SunAboveTheHorizonIsDay) {
  EXPECT_EQ(chart_sect(100.0, 100.0), "nocturnal");  // Sun on the Ascendant
  EXPECT_EQ(chart_sect(280.0, 100.0), "diurnal");    // Sun on the Descendant
  EXPECT_EQ(chart_sect(10.0, 100.0), "diurnal");     // wraps through 0°
  EXPECT_EQ(chart_sect(99.9, 100.0), "diurnal");
  EXPECT_EQ(chart_sect(100.1, 100.0), "nocturnal");
  EXPECT_EQ(chart_sect(279.9, 100.0), "nocturnal");
}

TEST(SolarPhase, Thresholds) {
  EXPECT_EQ(solar_phase("Mars", 0.0, 0.0), "cazimi");
  EXPECT_EQ(solar_phase("Mars", 17.0 / 60.0, 0.0), "cazimi");
  EXPECT_EQ(solar_phase("Mars", 17.0 / 60.0 + 1.0 / 3600.0, 0.0), "combust");
  EXPECT_EQ(solar_phase("Mars", 8.0, 0.0), "combust");
  EXPECT_EQ(solar_phase("Mars", 8.5, 0.0), "under_beams");
  EXPECT_EQ(solar_phase("Mars", 14.99, 0.0), "under_beams");
  EXPECT_EQ(solar_phase("Mars", 15.0, 0.0), std::nullopt);
  EXPECT_EQ(solar_phase("Mars", 180.0, 0.0), std::nullopt);
  // Distances fold across 0° Aries and work on unreduced inputs.
  EXPECT_EQ(solar_phase("Venus", 359.9, 0.1), "cazimi");
  EXPECT_EQ(solar_phase("Venus", 5.0, 355.0), "under_beams");
  EXPECT_EQ(solar_phase("Venus", 725.0, 0.0), "combust");
  EXPECT_EQ(solar_phase("Sun", 0.0, 0.0), std::nullopt);
  EXPECT_EQ(solar_phase("Moon", std::nan(""), 0.0), std::nullopt);
}

TEST(Condition, OnlyTheSevenPlanets) {
  for (const char* name : {"Ascendant", "Midheaven", "North Node", "South Node", "Uranus",
                           "Neptune", "Pluto", "Chiron", "Lilith", "sun", ""}) {
    EXPECT_FALSE(condition(name, 10.0, 1.0, kLilly, 0.0, 0.0).has_value()) << name;
  }
  for (std::string_view name : kChaldeanOrder) {
    EXPECT_TRUE(condition(name, 10.0, 1.0, kLilly, 0.0, 0.0).has_value()) << name;
  }
}

TEST(Condition, OrientalityAndMercurysSect) {
  const double sun = 100.0, asc = 200.0;  // a day chart
  // 10° behind the Sun in longitude: rises first, oriental, so diurnal.
  Condition c = judged("Mercury", 90.0, 1.2, sun, asc);
  EXPECT_EQ(c.orientality, "oriental");
  EXPECT_EQ(c.sect, "diurnal");
  EXPECT_TRUE(c.in_sect);
  // 10° ahead: occidental and nocturnal, in sect only by night.
  c = judged("Mercury", 110.0, 1.2, sun, asc);
  EXPECT_EQ(c.orientality, "occidental");
  EXPECT_EQ(c.sect, "nocturnal");
  EXPECT_FALSE(c.in_sect);
  c = judged("Mercury", 110.0, 1.2, sun, 10.0);
  EXPECT_TRUE(c.in_sect);
  // Exact conjunction and opposition count as occidental.
  c = judged("Venus", 100.0, 1.0, sun, asc);
  EXPECT_EQ(c.orientality, "occidental");
  EXPECT_EQ(c.solar_phase, "cazimi");
  EXPECT_EQ(judged("Saturn", 280.0, 0.03, sun, asc).orientality, "occidental");
  EXPECT_EQ(judged("Saturn", 280.1, 0.03, sun, asc).orientality, "oriental");
  // Across 0° Aries.
  EXPECT_EQ(judged("Mars", 355.0, 0.5, 5.0, asc).orientality, "oriental");
  // The lights are never judged oriental or occidental.
  EXPECT_EQ(judged("Moon", 90.0, 13.0, sun, asc).orientality, std::nullopt);
  EXPECT_EQ(judged("Sun", sun, 1.0, sun, asc).orientality, std::nullopt);
}

TEST(Condition, OwnSectAndInSect) {
  const double day_asc = 200.0, night_asc = 10.0, sun = 100.0;
  struct Case {
    const char* planet;
    const char* sect;
  } cases[] = {{"Sun", "diurnal"},    {"Jupiter", "diurnal"}, {"Saturn", "diurnal"},
               {"Moon", "nocturnal"}, {"Venus", "nocturnal"}, {"Mars", "nocturnal"}};
  for (const Case& k : cases) {
    const Condition day = judged(k.planet, 40.0, 0.5, sun, day_asc);
    const Condition night = judged(k.planet, 40.0, 0.5, sun, night_asc);
    EXPECT_EQ(day.sect, k.sect);
    EXPECT_EQ(night.sect, k.sect);
    const bool diurnal = std::string_view(k.sect) == "diurnal";
    EXPECT_EQ(day.in_sect, diurnal) << k.planet;
    EXPECT_EQ(night.in_sect, !diurnal) << k.planet;
  }
}

TEST(Condition, Motion) {
  const double m = 0.08305555555555555;  // Jupiter's mean motion
  EXPECT_EQ(judged("Jupiter", 40.0, 0.0083, 100.0, 10.0).motion, "stationary");
  EXPECT_EQ(judged("Jupiter", 40.0, -0.0083, 100.0, 10.0).motion, "stationary");
  EXPECT_EQ(judged("Jupiter", 40.0, 0.1 * m, 100.0, 10.0).motion, "slow");
  EXPECT_EQ(judged("Jupiter", 40.0, m, 100.0, 10.0).motion, "fast");
  EXPECT_EQ(judged("Jupiter", 40.0, -0.2, 100.0, 10.0).motion, "fast");  // retrograde but quick
  EXPECT_EQ(judged("Jupiter", 40.0, std::nextafter(m, 0.0), 100.0, 10.0).motion, "slow");
  // The lights are never stationary.
  EXPECT_EQ(judged("Moon", 40.0, 0.0, 100.0, 10.0).motion, "slow");
  EXPECT_EQ(judged("Sun", 100.0, 0.0, 100.0, 10.0).motion, "slow");
  EXPECT_EQ(judged("Moon", 40.0, 13.2, 100.0, 10.0).motion, "fast");
  EXPECT_EQ(judged("Mars", 40.0, std::nan(""), 100.0, 10.0).motion, "slow");
  EXPECT_EQ(judged("Saturn", 40.0, std::numeric_limits<double>::infinity(), 100.0, 10.0).motion,
            "fast");
}

TEST(Condition, AboveHorizon) {
  const double asc = 100.0;
  EXPECT_FALSE(judged("Mars", 100.0, 0.5, 0.0, asc).above_horizon);  // on the Ascendant
  EXPECT_FALSE(judged("Mars", 279.9, 0.5, 0.0, asc).above_horizon);
  EXPECT_TRUE(judged("Mars", 280.0, 0.5, 0.0, asc).above_horizon);   // on the Descendant
  EXPECT_TRUE(judged("Mars", 10.0, 0.5, 0.0, asc).above_horizon);
  EXPECT_TRUE(judged("Mars", 99.9, 0.5, 0.0, asc).above_horizon);
}

TEST(Condition, EssentialIsJudgedWithTheChartsSect) {
  // Jupiter at 10° Sagittarius: night triplicity lord of fire under Lilly.
  const double sun = 100.0;
  EXPECT_FALSE(judged("Jupiter", 250.0, 0.1, sun, 200.0).essential.triplicity);  // day
  EXPECT_TRUE(judged("Jupiter", 250.0, 0.1, sun, 10.0).essential.triplicity);    // night
  // The scheme is passed through: Saturn participates in fire only under Dorothean.
  EXPECT_TRUE(
      judged("Saturn", 250.0, 0.03, sun, 10.0, DignityScheme::Dorothean).essential.triplicity);
  EXPECT_EQ(judged("Saturn", 250.0, 0.03, sun, 10.0, DignityScheme::Dorothean)
                .essential.lords.triplicity.size(),
            3u);
}

}  // namespace
