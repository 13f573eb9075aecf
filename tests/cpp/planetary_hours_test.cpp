#include "quorvane/traditional/planetary_hours.hpp"

#include <gtest/gtest.h>

#include "quorvane/astronomy/almanac.hpp"
#include "quorvane/time/julian_day.hpp"
#include "support.hpp"

#include <cstdint>
#include <limits>
#include <string>

namespace {

using quorvane::hours_in;
using quorvane::instant_from_julian_day;
using quorvane::julian_day_from_instant;
using quorvane::PlanetaryHours;
using quorvane::KernelSet;
using quorvane::SolarDay;
using quorvane::UtcInstant;

constexpr int64_t kMinute = 60'000'000;
constexpr int64_t kHour = 60 * kMinute;

UtcInstant at(const char* text) {
  auto parsed = UtcInstant::parse(text);
  EXPECT_TRUE(parsed.has_value()) << text;
  return parsed ? *parsed : UtcInstant();
}

UtcInstant plus(UtcInstant t, int64_t micros) { return UtcInstant(t.micros() + micros); }

// A solar day with sunrise and sunset at the given UTC clock hours of `date`.
SolarDay day_of(const std::string& date, int rise_hour, int set_hour, int next_rise_hour) {
  const UtcInstant midnight = at((date + "T00:00Z").c_str());
  return {plus(midnight, rise_hour * kHour), plus(midnight, set_hour * kHour),
          plus(midnight, (24 + next_rise_hour) * kHour), true};
}

// 2024-03-03 was a Sunday, 2024-03-02 a Saturday.
TEST(PlanetaryHours, WorkedRulers) {
  const SolarDay sunday = day_of("2024-03-03", 6, 18, 6);
  PlanetaryHours first = hours_in(sunday, sunday.sunrise);
  EXPECT_EQ(first.day_ruler, "Sun");
  EXPECT_EQ(first.hour_ruler, "Sun");
  EXPECT_EQ(first.hour_number, 1);
  EXPECT_TRUE(first.is_day);
  EXPECT_EQ(first.hour_type, "Day");

  PlanetaryHours second = hours_in(sunday, plus(sunday.sunrise, kHour));
  EXPECT_EQ(second.hour_number, 2);
  EXPECT_EQ(second.hour_ruler, "Venus");

  PlanetaryHours first_night = hours_in(sunday, plus(sunday.sunset, 1));
  EXPECT_FALSE(first_night.is_day);
  EXPECT_EQ(first_night.hour_type, "Night");
  EXPECT_EQ(first_night.hour_number, 1);
  EXPECT_EQ(first_night.hour_ruler, "Jupiter");

  const SolarDay saturday = day_of("2024-03-02", 6, 18, 6);
  PlanetaryHours sat = hours_in(saturday, plus(saturday.sunrise, 30 * kMinute));
  EXPECT_EQ(sat.day_ruler, "Saturn");
  EXPECT_EQ(sat.hour_ruler, "Saturn");
}

// The 24 hours of each day run on in Chaldean order, so the hour after the
// last night hour is always the next weekday's ruler.
TEST(PlanetaryHours, WeekChainsThroughChaldeanOrder) {
  const char* dates[] = {"2024-03-04", "2024-03-05", "2024-03-06", "2024-03-07",
                         "2024-03-08", "2024-03-09", "2024-03-10", "2024-03-11"};
  const char* rulers[] = {"Moon", "Mars", "Mercury", "Jupiter", "Venus", "Saturn", "Sun", "Moon"};
  for (int d = 0; d < 7; ++d) {
    const SolarDay day = day_of(dates[d], 5, 19, 5);
    const SolarDay next = day_of(dates[d + 1], 5, 19, 5);
    EXPECT_EQ(hours_in(day, plus(day.sunrise, 1)).day_ruler, rulers[d]) << dates[d];
    std::string_view previous = hours_in(day, plus(day.sunrise, 1)).hour_ruler;
    // Midpoints of the 12 day hours (70 min) and 12 night hours (50 min).
    for (int h = 1; h < 24; ++h) {
      const UtcInstant mid = h < 12 ? plus(day.sunrise, h * 70 * kMinute + 35 * kMinute)
                                    : plus(day.sunset, (h - 12) * 50 * kMinute + 25 * kMinute);
      PlanetaryHours ph = hours_in(day, mid);
      EXPECT_EQ(ph.hour_number, h % 12 + 1) << dates[d] << " hour " << h;
      EXPECT_EQ(ph.is_day, h < 12);
      int prev_index = 0, index = 0;
      for (int i = 0; i < 7; ++i) {
        if (quorvane::kChaldeanOrder[i] == previous) prev_index = i;
        if (quorvane::kChaldeanOrder[i] == ph.hour_ruler) index = i;
      }
      EXPECT_EQ(index, (prev_index + 1) % 7) << dates[d] << " hour " << h;
      previous = ph.hour_ruler;
    }
    EXPECT_EQ(hours_in(next, next.sunrise).hour_ruler, rulers[d + 1]);
    int prev_index = 0;
    for (int i = 0; i < 7; ++i)
      if (quorvane::kChaldeanOrder[i] == previous) prev_index = i;
    EXPECT_EQ(quorvane::kChaldeanOrder[(prev_index + 1) % 7], rulers[d + 1]);
  }
}

TEST(PlanetaryHours, BoundariesOfTheDayHalf) {
  // A long summer day: 16 h of daylight (80-minute hours), 8 h of night (40).
  const SolarDay day = day_of("2024-06-21", 4, 20, 4);  // a Friday
  EXPECT_EQ(hours_in(day, day.sunrise).hour_number, 1);
  EXPECT_EQ(hours_in(day, plus(day.sunrise, 80 * kMinute - 1)).hour_number, 1);
  EXPECT_EQ(hours_in(day, plus(day.sunrise, 80 * kMinute)).hour_number, 2);

  PlanetaryHours at_sunset = hours_in(day, day.sunset);
  EXPECT_TRUE(at_sunset.is_day);
  EXPECT_EQ(at_sunset.hour_number, 12);
  EXPECT_EQ(at_sunset.hour_type, "Day");

  EXPECT_EQ(hours_in(day, plus(day.sunset, 40 * kMinute - 1)).hour_number, 1);
  EXPECT_EQ(hours_in(day, plus(day.sunset, 40 * kMinute)).hour_number, 2);
  EXPECT_EQ(hours_in(day, plus(day.next_sunrise, -1)).hour_number, 12);
  // Past the next sunrise the moment stays in the last night hour.
  EXPECT_EQ(hours_in(day, plus(day.next_sunrise, 5 * kHour)).hour_number, 12);
  EXPECT_EQ(hours_in(day, plus(day.next_sunrise, int64_t{40} * 365 * 24 * kHour)).hour_number, 12);
}

TEST(PlanetaryHours, MomentBeforeItsSunriseIsTheLastNightHour) {
  const SolarDay sunday = day_of("2024-03-03", 6, 18, 6);
  const PlanetaryHours ph = hours_in(sunday, plus(sunday.sunrise, -72 * kMinute));
  EXPECT_FALSE(ph.is_day);
  EXPECT_EQ(ph.hour_type, "Night");
  EXPECT_EQ(ph.hour_number, 12);
  EXPECT_EQ(ph.day_ruler, "Sun");
  EXPECT_EQ(ph.hour_ruler, quorvane::kChaldeanOrder[(3 + 23) % 7]);
  EXPECT_EQ(ph.hour_ruler, "Mercury");
}

TEST(PlanetaryHours, DegenerateDayDoesNotDivideByZero) {
  const UtcInstant t = at("2024-03-03T12:00Z");
  const SolarDay flat{t, t, t, true};
  EXPECT_EQ(hours_in(flat, t).hour_number, 1);
  EXPECT_TRUE(hours_in(flat, t).is_day);
  // Hours are at least one second long.
  const PlanetaryHours later = hours_in(flat, plus(t, 5'500'000));
  EXPECT_FALSE(later.is_day);
  EXPECT_EQ(later.hour_number, 6);
  EXPECT_EQ(hours_in(flat, plus(t, 3600 * 1'000'000LL)).hour_number, 12);
}

TEST(PlanetaryHours, WeekdayIsTheSunrisesUtcDate) {
  // Sunrise 21:00 UTC on Saturday 2024-03-02 belongs to the Saturday, even
  // if the moment itself is on the Sunday.
  const UtcInstant rise = at("2024-03-02T21:00Z");
  const SolarDay day{rise, plus(rise, 12 * kHour), plus(rise, 24 * kHour), true};
  EXPECT_EQ(hours_in(day, at("2024-03-03T03:00Z")).day_ruler, "Saturn");
  // Before 1970 the weekday still counts backwards correctly: a Sunday.
  const UtcInstant old = at("1969-12-28T06:30Z");
  EXPECT_EQ(hours_in(SolarDay{old, plus(old, 11 * kHour), plus(old, 24 * kHour), true}, old).day_ruler,
            "Sun");
  const UtcInstant older = at("1899-12-31T23:59:59.999999Z");  // a Sunday
  EXPECT_EQ(hours_in(SolarDay{older, older, older, true}, older).day_ruler, "Sun");
}

TEST(PlanetaryHours, JsonKeysAndTexts) {
  const SolarDay day = day_of("2024-03-03", 6, 18, 6);
  const std::string text = quorvane::to_json_tree(hours_in(day, plus(day.sunrise, 90 * kMinute))).dump();
  EXPECT_EQ(text,
            "{\"is_day\":true,\"day_ruler\":\"Sun\",\"hour_ruler\":\"Venus\",\"hour_number\":2,"
            "\"hour_type\":\"Day\",\"sunrise\":\"2024-03-03T06:00:00+00:00\","
            "\"sunset\":\"2024-03-03T18:00:00+00:00\",\"fallback\":null}");
}

TEST(SolarDayDefault, SixAndEighteenHoursOfTheUtcDate) {
  const SolarDay day = SolarDay::fallback_day(at("2024-03-05T23:59:59.999999Z"));
  EXPECT_FALSE(day.computed);
  EXPECT_EQ(day.sunrise.isoformat(), "2024-03-05T06:00:00+00:00");
  EXPECT_EQ(day.sunset.isoformat(), "2024-03-05T18:00:00+00:00");
  EXPECT_EQ(day.next_sunrise.isoformat(), "2024-03-06T06:00:00+00:00");

  const SolarDay before_epoch = SolarDay::fallback_day(at("1969-12-31T03:00Z"));
  EXPECT_EQ(before_epoch.sunrise.isoformat(), "1969-12-31T06:00:00+00:00");
  EXPECT_EQ(SolarDay::fallback_day(at("2024-03-05T00:00Z")).sunrise.isoformat(),
            "2024-03-05T06:00:00+00:00");
}

// Without sunrise or sunset the day runs 24 hours from 06:00 local mean time,
// all day or all night, not even its first instant a day hour.
TEST(SolarDayPolar, WholeDaysFromSixLocalMeanTime) {
  const SolarDay down = SolarDay::polar(at("2024-12-20T10:00Z"), -150.0, false);
  EXPECT_EQ(down.sunrise.isoformat(), "2024-12-19T16:00:00+00:00");
  const PlanetaryHours first = hours_in(down, down.sunrise);
  EXPECT_FALSE(first.is_day);
  EXPECT_EQ(first.hour_number, 1);
  EXPECT_EQ(hours_in(down, plus(down.sunrise, 23 * kHour)).hour_number, 12);
  // The almanac's substitutes are recognised, real days are not.
  const double x = 2460500.3;
  EXPECT_TRUE(quorvane::lacks_rise_or_set(quorvane::select_rise_set({}, x), x));
  EXPECT_TRUE(quorvane::lacks_rise_or_set({x - 0.2, x - 0.2 + 0.5, x + 0.8}, x));
  EXPECT_TRUE(quorvane::lacks_rise_or_set({x - 1.4, x - 1.3, x - 0.4}, x));
  EXPECT_FALSE(quorvane::lacks_rise_or_set({x - 0.2, x + 0.25, x + 0.8}, x));
}

TEST(SolarDayJulian, FromJulianDays) {
  const SolarDay day = SolarDay::from_julian_days(2451545.0, 2451545.25, 2451546.0);
  EXPECT_TRUE(day.computed);
  EXPECT_EQ(day.sunrise.isoformat(), "2000-01-01T12:00:00+00:00");
  EXPECT_EQ(day.sunset.isoformat(), "2000-01-01T18:00:00+00:00");
  EXPECT_EQ(day.next_sunrise.isoformat(), "2000-01-02T12:00:00+00:00");
}

TEST(SolarDayJulian, InstantConversions) {
  EXPECT_EQ(instant_from_julian_day(2451545.0).micros(), 946'728'000'000'000);
  // Before J2000 the whole part truncates toward zero and the fraction is negative.
  EXPECT_EQ(instant_from_julian_day(2451544.25).isoformat(), "1999-12-31T18:00:00+00:00");
  EXPECT_EQ(instant_from_julian_day(2440587.5).micros(), 0);
  EXPECT_EQ(instant_from_julian_day(2299160.5).isoformat(), "1582-10-15T00:00:00+00:00");
  // Saturation, and NaN as J2000.
  EXPECT_EQ(instant_from_julian_day(std::numeric_limits<double>::quiet_NaN()).micros(),
            946'728'000'000'000);
  EXPECT_EQ(instant_from_julian_day(1e300).micros(), std::numeric_limits<int64_t>::max());
  EXPECT_LT(instant_from_julian_day(-1e300).micros(), std::numeric_limits<int64_t>::min() / 2);

  EXPECT_EQ(julian_day_from_instant(at("2000-01-01T12:00Z")), 2451545.0);
  EXPECT_EQ(julian_day_from_instant(at("1970-01-01T00:00Z")), 2440587.5);
  // The double carries about 40 microseconds at present-day Julian days;
  // the way back lands within half of that.
  for (const char* text : {"2024-06-21T04:31:17.123456Z", "1850-02-03T23:59:59.999999Z",
                           "2100-12-31T00:00:00.000001Z", "1969-07-20T20:17:40Z"}) {
    const UtcInstant t = at(text);
    EXPECT_EQ(julian_day_from_instant(t), t.julian_day()) << text;
    EXPECT_LE(std::llabs(instant_from_julian_day(julian_day_from_instant(t)).micros() - t.micros()), 25)
        << text;
  }
}

// ---- solar days from the almanac ----

using quorvane::testing::de440;

TEST(SolarDayAlmanac, DefaultDayWithoutACoveringKernel) {
  const UtcInstant moment = at("2024-03-05T21:30Z");  // a Tuesday
  const SolarDay day = quorvane::solar_day(KernelSet{}, moment, 51.5, 0.0);
  EXPECT_FALSE(day.computed);
  const PlanetaryHours ph = hours_in(day, moment);
  EXPECT_EQ(ph.sunrise, "2024-03-05T06:00:00+00:00");
  EXPECT_EQ(ph.sunset, "2024-03-05T18:00:00+00:00");
  EXPECT_EQ(ph.day_ruler, "Mars");
  EXPECT_FALSE(ph.is_day);
  EXPECT_EQ(ph.hour_number, 4);  // 3.5 hours into a 12-hour night

  // A date beyond every loaded kernel gets the same kind of day.
  if (const KernelSet* kernels = de440()) {
    const UtcInstant far = at("2999-03-05T21:30Z");
    const SolarDay beyond = quorvane::solar_day(*kernels, far, 51.5, 0.0);
    EXPECT_FALSE(beyond.computed);
    EXPECT_EQ(hours_in(beyond, far).sunrise, "2999-03-05T06:00:00+00:00");
  }
}

TEST(SolarDayAlmanac, HoursAtSunriseSunsetAndBeforeSunrise) {
  const KernelSet* kernels = de440();
  if (!kernels) GTEST_SKIP() << "JPL DE440 is not installed";
  const double lat = 51.5074, lon = -0.1278;
  const UtcInstant noon = at("2024-03-20T12:00Z");  // a Wednesday
  const SolarDay day = quorvane::solar_day(*kernels, noon, lat, lon);
  ASSERT_TRUE(day.computed);
  auto triple = quorvane::rise_set(*kernels, julian_day_from_instant(noon), lat, lon);
  ASSERT_TRUE(triple);
  EXPECT_EQ(day.sunrise, instant_from_julian_day((*triple)[0]));
  EXPECT_EQ(day.next_sunrise, instant_from_julian_day((*triple)[2]));
  EXPECT_EQ(day.sunrise.isoformat().substr(0, 15), "2024-03-20T06:0");
  EXPECT_EQ(day.sunset.isoformat().substr(0, 15), "2024-03-20T18:1");

  const PlanetaryHours rise = hours_in(day, day.sunrise);
  EXPECT_TRUE(rise.is_day);
  EXPECT_EQ(rise.hour_number, 1);
  EXPECT_EQ(rise.day_ruler, "Mercury");
  EXPECT_EQ(rise.hour_ruler, "Mercury");
  const PlanetaryHours set = hours_in(day, day.sunset);
  EXPECT_TRUE(set.is_day);
  EXPECT_EQ(set.hour_number, 12);
  EXPECT_EQ(set.hour_ruler, "Mars");  // the 12th hour of Mercury's day

  // The almanac gives such a moment the coming sunrise's day only up to
  // 72 minutes ahead (both searches fix the sunrise to a millisecond).
  const SolarDay ahead = quorvane::solar_day(*kernels, plus(day.sunrise, -(72 * kMinute - 1'000'000)), lat, lon);
  EXPECT_LE(std::llabs(ahead.sunrise.micros() - day.sunrise.micros()), 2000);
  const SolarDay behind = quorvane::solar_day(*kernels, plus(day.sunrise, -73 * kMinute), lat, lon);
  EXPECT_NEAR(static_cast<double>(day.sunrise.micros() - behind.sunrise.micros()), 24.0 * kHour, 5 * kMinute);
  EXPECT_LE(std::llabs(behind.next_sunrise.micros() - day.sunrise.micros()), 2000);
}

TEST(SolarDayAlmanac, FarEastSunriseFallsOnThePreviousUtcDate) {
  const KernelSet* kernels = de440();
  if (!kernels) GTEST_SKIP() << "JPL DE440 is not installed";
  // Tokyo, Sunday 2024-06-23 at local noon: the sunrise at 04:25 local time
  // is 19:25 UTC on Saturday, so Saturn rules the day.
  const UtcInstant moment = at("2024-06-23T03:00Z");
  const SolarDay day = quorvane::solar_day(*kernels, moment, 35.6762, 139.6503);
  ASSERT_TRUE(day.computed);
  EXPECT_EQ(day.sunrise.isoformat().substr(0, 14), "2024-06-22T19:");
  const PlanetaryHours ph = hours_in(day, moment);
  EXPECT_TRUE(ph.is_day);
  EXPECT_EQ(ph.day_ruler, "Saturn");
  EXPECT_EQ(ph.hour_number, 7);  // local noon is the start of the seventh hour
}

}  // namespace
