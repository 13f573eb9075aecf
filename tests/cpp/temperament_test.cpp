#include "quorvane/traditional/temperament.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quorvane/chart/chart.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

struct Body {
  std::string name;
  double longitude;
};

// Placements with equal houses from the Ascendant; the Ascendant is added
// only when `ascendant` is given.
std::vector<Placement> chart_of(std::vector<Body> bodies, std::optional<double> ascendant) {
  std::array<double, 12> cusps{};
  for (int i = 0; i < 12; ++i) cusps[i] = normalize_degrees(ascendant.value_or(0.0) + 30.0 * i);
  std::vector<BodyView> placed;
  for (const Body& b : bodies) placed.push_back({b.name, b.longitude, 1.0, false});
  std::vector<Placement> out = placements(std::move(placed), cusps, ascendant.value_or(0.0),
                                          normalize_degrees(ascendant.value_or(0.0) + 270.0));
  if (!ascendant) out.erase(out.end() - 2, out.end());
  return out;
}

Aspect aspect(std::string a, std::string b, std::string type) {
  Aspect out;
  out.body1 = std::move(a);
  out.body2 = std::move(b);
  out.aspect_type = std::move(type);
  return out;
}

// The details of the one factor of that name.
std::string details_of(const Temperament& t, std::string_view factor) {
  std::string found;
  for (const TemperamentFactor& f : t.breakdown) {
    if (f.factor != factor) continue;
    EXPECT_TRUE(found.empty()) << factor << " appears twice";
    found = f.details;
  }
  return found;
}

Qualities sum_of(const std::vector<TemperamentFactor>& breakdown) {
  Qualities q;
  for (const TemperamentFactor& f : breakdown) {
    q.hot += f.amounts.hot;
    q.cold += f.amounts.cold;
    q.wet += f.amounts.wet;
    q.dry += f.amounts.dry;
  }
  return q;
}

TEST(Temperament, EmptyChart) {
  const Temperament t = temperament({}, {});
  EXPECT_EQ(t.primary_temperament, "Choleric");
  EXPECT_EQ(t.secondary_temperament, "");
  EXPECT_TRUE(t.breakdown.empty());
  EXPECT_EQ(t.scores.choleric + t.scores.sanguine + t.scores.phlegmatic + t.scores.melancholic, 0.0);
  EXPECT_EQ(t.percentages.choleric, 0.0);
  EXPECT_EQ(t.quality_percentages.hot, 0.0);
}

// A Leo rising chart worked by hand: every testimony appears once.
TEST(Temperament, WorkedChart) {
  // Ascendant 125 (Leo); equal houses, so house 1 is 125-155.
  const auto placements = chart_of({{"Sun", 130},          // Leo, house 1
                                    {"Moon", 200},         // Libra
                                    {"Mars", 10},          // Aries, house 9
                                    {"Chiron", 140},       // Leo, house 1, no nature
                                    {"North Node", 150},   // house 1, ignored
                                    {"South Node", 152},   // house 1, ignored
                                    {"Part of Fortune", 153}},  // ignored
                                   125.0);
  const std::vector<Aspect> aspects{
      aspect("Sun", "Ascendant", "Conjunction"),
      aspect("Mars", "Moon", "Opposition"),         // not to the Ascendant
      aspect("Ascendant", "Saturn", "Square"),      // Ascendant as first point
      aspect("Regulus", "Ascendant", "Conjunction"),  // a star has no nature
      aspect("Ascendant", "Midheaven", "Square"),   // nor has a point
  };
  const Temperament t = temperament(placements, aspects);

  struct Expected {
    const char* factor;
    const char* details;
    double hot, cold, wet, dry;
  };
  const Expected expected[] = {
      {"Ascendant Sign", "Leo (Fire)", 4, 0, 0, 4},
      {"Lord of Ascendant Nature", "Sun", 3, 0, 0, 3},
      {"Lord of Ascendant Sign", "Sun in Leo (Fire)", 3, 0, 0, 3},
      {"Sun Sign", "Leo (Fire)", 4, 0, 0, 4},
      {"Solar Season", "Summer (Hot & Dry)", 2, 0, 0, 2},
      {"Moon Sign", "Libra (Air)", 4, 0, 4, 0},
      {"Lunar Phase", "1st Quarter Waxing (Hot & Wet)", 2, 0, 2, 0},
      {"Planet in House 1", "Sun in Leo", 2, 0, 0, 2},
      {"Planet in House 1", "Chiron in Leo", 1, 0, 0, 1},
      {"Aspect to Ascendant", "Sun Conjunction ASC", 1, 0, 0, 1},
      {"Aspect to Ascendant", "Saturn Square ASC", 0, 1, 0, 1},
  };
  ASSERT_EQ(t.breakdown.size(), std::size(expected));
  for (std::size_t i = 0; i < t.breakdown.size(); ++i) {
    const TemperamentFactor& f = t.breakdown[i];
    EXPECT_EQ(f.factor, expected[i].factor) << i;
    EXPECT_EQ(f.details, expected[i].details) << i;
    EXPECT_EQ(f.amounts.hot, expected[i].hot) << i;
    EXPECT_EQ(f.amounts.cold, expected[i].cold) << i;
    EXPECT_EQ(f.amounts.wet, expected[i].wet) << i;
    EXPECT_EQ(f.amounts.dry, expected[i].dry) << i;
  }

  // Totals 26 hot, 1 cold, 6 wet, 21 dry, and the breakdown adds up to them.
  EXPECT_EQ(t.qualities.hot, 26.0);
  EXPECT_EQ(t.qualities.cold, 1.0);
  EXPECT_EQ(t.qualities.wet, 6.0);
  EXPECT_EQ(t.qualities.dry, 21.0);
  const Qualities sum = sum_of(t.breakdown);
  EXPECT_EQ(sum.hot, t.qualities.hot);
  EXPECT_EQ(sum.cold, t.qualities.cold);
  EXPECT_EQ(sum.wet, t.qualities.wet);
  EXPECT_EQ(sum.dry, t.qualities.dry);

  EXPECT_EQ(t.scores.choleric, 47.0);
  EXPECT_EQ(t.scores.sanguine, 32.0);
  EXPECT_EQ(t.scores.phlegmatic, 7.0);
  EXPECT_EQ(t.scores.melancholic, 22.0);
  // Shares of 108 and of 54.
  EXPECT_EQ(t.percentages.choleric, 43.5);
  EXPECT_EQ(t.percentages.sanguine, 29.6);
  EXPECT_EQ(t.percentages.phlegmatic, 6.5);
  EXPECT_EQ(t.percentages.melancholic, 20.4);
  EXPECT_EQ(t.quality_percentages.hot, 48.1);
  EXPECT_EQ(t.quality_percentages.cold, 1.9);
  EXPECT_EQ(t.quality_percentages.wet, 11.1);
  EXPECT_EQ(t.quality_percentages.dry, 38.9);
  EXPECT_EQ(t.primary_temperament, "Choleric");
  EXPECT_EQ(t.secondary_temperament, "Sanguine");
}

TEST(Temperament, LordMissingOrElsewhere) {
  // Aries rising without Mars: no lord testimonies.
  auto t = temperament(chart_of({{"Moon", 100}}, 5.0), {});
  ASSERT_EQ(t.breakdown.size(), 2u);
  EXPECT_EQ(t.breakdown[0].details, "Aries (Fire)");
  EXPECT_EQ(t.breakdown[1].factor, "Moon Sign");
  // Capricorn rising, Saturn in Gemini: cold and dry nature, airy sign.
  t = temperament(chart_of({{"Saturn", 70}}, 280.0), {});
  ASSERT_EQ(t.breakdown.size(), 3u);
  EXPECT_EQ(t.breakdown[1].details, "Saturn");
  EXPECT_EQ(t.breakdown[1].amounts.cold, 3.0);
  EXPECT_EQ(t.breakdown[1].amounts.dry, 3.0);
  EXPECT_EQ(t.breakdown[2].details, "Saturn in Gemini (Air)");
  EXPECT_EQ(t.breakdown[2].amounts.hot, 3.0);
  EXPECT_EQ(t.breakdown[2].amounts.wet, 3.0);
}

TEST(Temperament, LunarPhaseQuarters) {
  const struct {
    double moon;
    const char* details;
  } cases[] = {
      {100.0, "1st Quarter Waxing (Hot & Wet)"},  // exactly conjunct
      {189.9, "1st Quarter Waxing (Hot & Wet)"},
      {190.0, "2nd Quarter Gibbous (Hot & Dry)"},
      {280.0, "3rd Quarter Full/Waning (Cold & Dry)"},
      {10.0, "4th Quarter Crescent (Cold & Wet)"},
      {99.9, "4th Quarter Crescent (Cold & Wet)"},
  };
  for (const auto& c : cases) {
    const auto t = temperament(chart_of({{"Sun", 100.0}, {"Moon", c.moon}}, std::nullopt), {});
    EXPECT_EQ(details_of(t, "Lunar Phase"), c.details) << c.moon;
  }
  // A hair behind the Sun: still the end of the last quarter.
  const auto t = temperament(chart_of({{"Sun", 2e-15}, {"Moon", 1e-15}}, std::nullopt), {});
  EXPECT_EQ(details_of(t, "Lunar Phase"), "4th Quarter Crescent (Cold & Wet)");
}

TEST(Temperament, TiesKeepTheEarlierTemperament) {
  // Gemini rising (Air) and a Moon in Aries (Fire): choleric = sanguine = 12.
  auto t = temperament(chart_of({{"Moon", 10}}, 65.0), {});
  EXPECT_EQ(t.scores.choleric, t.scores.sanguine);
  EXPECT_EQ(t.primary_temperament, "Choleric");
  EXPECT_EQ(t.secondary_temperament, "Sanguine");
  // Gemini rising and a Moon in Cancer: sanguine = phlegmatic = 12, ahead of the rest.
  t = temperament(chart_of({{"Moon", 100}}, 65.0), {});
  EXPECT_EQ(t.primary_temperament, "Sanguine");
  EXPECT_EQ(t.secondary_temperament, "Phlegmatic");
  // Aries rising and a Moon in Cancer: all four equal.
  t = temperament(chart_of({{"Moon", 100}}, 5.0), {});
  EXPECT_EQ(t.primary_temperament, "Choleric");
  EXPECT_EQ(t.secondary_temperament, "Sanguine");
  EXPECT_EQ(t.percentages.melancholic, 25.0);
}

}  // namespace
}  // namespace quorvane
