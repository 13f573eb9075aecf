#include "quorvane/predictive/time_lords.hpp"

#include <gtest/gtest.h>

#include <string>

#include "quorvane/traditional/planetary_hours.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace {

using quorvane::TimeLords;
using quorvane::UtcInstant;
using quorvane::years_after;

std::vector<std::string> keys_of(const quorvane::Json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

UtcInstant at(const char* text) { return *UtcInstant::parse(text); }

const UtcInstant kBirth = at("2000-01-01T00:00:00Z");

// Sun in the 10th-house side of the Ascendant: a day birth.
TimeLords day_lords(UtcInstant start, UtcInstant end, double ascendant = 15.0) {
  return quorvane::time_lords(kBirth, ascendant + 270.0, ascendant, start, end);
}

TEST(TimeLordsYears, TropicalYearInMicroseconds) {
  // 0.24219 of a day is 5 h 48 min 45.216 s.
  EXPECT_EQ(years_after(kBirth, 1.0).isoformat(), "2000-12-31T05:48:45.216000+00:00");
  EXPECT_EQ(years_after(kBirth, 0.0), kBirth);
  EXPECT_EQ(years_after(kBirth, 75.0).micros() - kBirth.micros(),
            27393LL * UtcInstant::kMicrosPerDay + 14'191'200'000LL);  // 75 y = 27393.16425 d
  // Saturates instead of overflowing.
  EXPECT_EQ(years_after(UtcInstant(INT64_MAX - 5), 1.0).micros(), INT64_MAX);
}

TEST(TimeLordsSect, SunOnTheAxis) {
  const auto lords = [](double sun, double asc) {
    return quorvane::time_lords(kBirth, sun, asc, kBirth, kBirth).diurnal;
  };
  EXPECT_TRUE(lords(190.0, 10.0));   // exactly 180° ahead: on the Descendant
  EXPECT_FALSE(lords(10.0, 10.0));   // conjunct the Ascendant
  EXPECT_TRUE(lords(5.0, 10.0));     // just above the eastern horizon
  EXPECT_FALSE(lords(15.0, 10.0));   // just below it
  EXPECT_FALSE(lords(189.0, 10.0));
  // A hair before the Ascendant is still above the horizon.
  EXPECT_TRUE(lords(0.0, 1e-15));
  EXPECT_TRUE(lords(0.0, 1e-300));
}

TEST(Profections, AscendantAHairBelowZeroRisesInPisces) {
  const TimeLords lords = quorvane::time_lords(kBirth, 90.0, -1e-15, kBirth, kBirth);
  ASSERT_EQ(lords.profections.size(), 1u);
  EXPECT_EQ(lords.profections[0].sign, "Pisces");
  EXPECT_EQ(lords.profections[0].lord, "Jupiter");
}

TEST(Profections, AdvanceOneSignPerYear) {
  // Ascendant in Sagittarius (index 8).
  const TimeLords lords = day_lords(years_after(kBirth, 10.5), years_after(kBirth, 25.2), 255.0);
  ASSERT_EQ(lords.profections.size(), 16u);  // ages 10 to 25
  const char* const rulers[12] = {"Mars",    "Venus",  "Mercury", "Moon",   "Sun",     "Mercury",
                                  "Venus",   "Mars",   "Jupiter", "Saturn", "Saturn",  "Jupiter"};
  for (size_t i = 0; i < lords.profections.size(); ++i) {
    const auto& p = lords.profections[i];
    const uint32_t age = 10 + static_cast<uint32_t>(i);
    EXPECT_EQ(p.age, age);
    const size_t sign = (8 + age) % 12;
    EXPECT_EQ(p.sign, quorvane::kSigns[sign].name) << age;
    EXPECT_EQ(p.lord, rulers[sign]) << age;
    EXPECT_EQ(p.house, age % 12 + 1);
    EXPECT_EQ(p.start, years_after(kBirth, age));
    if (i > 0) EXPECT_EQ(p.start, lords.profections[i - 1].end);
  }
  EXPECT_EQ(lords.profections[2].sign, "Sagittarius");  // age 12 returns to the rising sign
  EXPECT_EQ(lords.profections[2].house, 1);
}

TEST(Profections, SpanOrderAndSpanBeforeBirth) {
  const UtcInstant a = at("2010-05-01T00:00:00Z");
  const UtcInstant b = at("2031-02-01T00:00:00Z");
  EXPECT_EQ(to_json_tree(day_lords(a, b)), to_json_tree(day_lords(b, a)));

  const TimeLords before = day_lords(at("1990-01-01T00:00:00Z"), at("1999-12-31T00:00:00Z"));
  ASSERT_EQ(before.profections.size(), 1u);
  EXPECT_EQ(before.profections[0].age, 0u);
  EXPECT_EQ(before.profections[0].start, kBirth);
  ASSERT_EQ(before.firdaria.size(), 1u);
  EXPECT_EQ(before.firdaria[0].lord, "Sun");
  EXPECT_EQ(before.firdaria[0].start, kBirth);
}

void expect_cycle(const TimeLords& lords, const quorvane::FirdariaStep (&sequence)[9]) {
  ASSERT_EQ(lords.firdaria.size(), 9u);
  UtcInstant expected_start = kBirth;
  int years = 0;
  for (size_t i = 0; i < 9; ++i) {
    const auto& f = lords.firdaria[i];
    SCOPED_TRACE(std::string(f.lord));
    EXPECT_EQ(f.lord, sequence[i].lord);
    EXPECT_EQ(f.start, expected_start);
    years += sequence[i].years;
    EXPECT_EQ(f.end, years_after(kBirth, years));
    expected_start = f.end;
    if (f.lord == "North Node" || f.lord == "South Node") {
      EXPECT_TRUE(f.sub_periods.empty());
      continue;
    }
    ASSERT_EQ(f.sub_periods.size(), 7u);
    EXPECT_EQ(f.sub_periods.front().lord, f.lord);
    EXPECT_EQ(f.sub_periods.front().start, f.start);
    EXPECT_EQ(f.sub_periods.back().end, f.end);
    for (size_t j = 1; j < 7; ++j) {
      EXPECT_EQ(f.sub_periods[j].start, f.sub_periods[j - 1].end);
      // Each sub-lord follows the one before in the Chaldean order.
      int previous = 0;
      while (quorvane::kChaldeanOrder[previous] != f.sub_periods[j - 1].lord) ++previous;
      EXPECT_EQ(f.sub_periods[j].lord, quorvane::kChaldeanOrder[(previous + 1) % 7]);
    }
  }
  EXPECT_EQ(years, 75);
}

TEST(Firdaria, DiurnalAndNocturnalCyclesSpanSeventyFiveYears) {
  const UtcInstant last = years_after(kBirth, 74.9);
  expect_cycle(quorvane::time_lords(kBirth, 280.0, 10.0, kBirth, last), quorvane::kDiurnalFirdaria);
  expect_cycle(quorvane::time_lords(kBirth, 100.0, 10.0, kBirth, last),
               quorvane::kNocturnalFirdaria);
}

TEST(Firdaria, SpanAcrossTheEndOfTheFirstCycle) {
  const TimeLords lords = day_lords(years_after(kBirth, 74.0), years_after(kBirth, 76.0));
  ASSERT_EQ(lords.firdaria.size(), 2u);
  EXPECT_EQ(lords.firdaria[0].lord, "South Node");
  EXPECT_EQ(lords.firdaria[0].start, years_after(kBirth, 73.0));
  EXPECT_EQ(lords.firdaria[1].lord, "Sun");
  EXPECT_EQ(lords.firdaria[1].start, years_after(kBirth, 75.0));
  EXPECT_EQ(lords.firdaria[1].end, years_after(kBirth, 85.0));
  ASSERT_EQ(lords.profections.size(), 3u);
  EXPECT_EQ(lords.profections.front().age, 74u);

  // Far into a later cycle the walk starts from that cycle, not from birth.
  const TimeLords late = day_lords(years_after(kBirth, 160.0), years_after(kBirth, 161.0));
  ASSERT_EQ(late.firdaria.size(), 1u);
  EXPECT_EQ(late.firdaria[0].lord, "Venus");  // 150 + 10 .. 150 + 18
  EXPECT_EQ(late.firdaria[0].start, years_after(kBirth, 160.0));
}

TEST(TimeLordsJson, KeyOrders) {
  const quorvane::Json json = to_json_tree(day_lords(kBirth, kBirth));
  EXPECT_EQ(keys_of(json), (std::vector<std::string>{"diurnal", "profections", "firdaria"}));
  EXPECT_EQ(json["profections"].dump(),
            R"([{"age":0,"start":"2000-01-01T00:00:00+00:00",)"
            R"("end":"2000-12-31T05:48:45.216000+00:00","sign":"Aries","lord":"Mars","house":1}])");
  const quorvane::Json& first = json["firdaria"][0];
  EXPECT_EQ(keys_of(first), (std::vector<std::string>{"lord", "start", "end", "sub_periods"}));
  EXPECT_EQ(first["sub_periods"][0].dump(),
            R"({"lord":"Sun","start":"2000-01-01T00:00:00+00:00",)"
            R"("end":"2001-06-05T18:35:21.737143+00:00"})");
}

}  // namespace
