#include "quorvane/time/instant.hpp"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using quorvane::UtcInstant;

int64_t micros(const char* text) {
  auto parsed = UtcInstant::parse(text);
  EXPECT_TRUE(parsed.has_value()) << text;
  return parsed ? parsed->micros() : INT64_MIN;
}

bool invalid(const char* text) {
  auto parsed = UtcInstant::parse(text);
  if (parsed) return false;
  EXPECT_EQ(parsed.error().text(), std::string("invalid UTC date-time: ") + text);
  return true;
}

TEST(UtcInstantParse, EpochAndNeighbours) {
  EXPECT_EQ(micros("1970-01-01T00:00:00Z"), 0);
  EXPECT_EQ(micros("1969-12-31T23:59:59.999999Z"), -1);
  auto c = UtcInstant(-1).civil();
  EXPECT_EQ(c.year, 1969);
  EXPECT_EQ(c.month, 12u);
  EXPECT_EQ(c.day, 31u);
  EXPECT_EQ(c.hour, 23u);
  EXPECT_EQ(c.minute, 59u);
  EXPECT_EQ(c.second, 59u);
  EXPECT_EQ(c.microsecond, 999999u);
}

TEST(UtcInstantParse, ImpossibleDaysAreRefused) {
  // Every month's last day and the day after it, leap years by the
  // Gregorian rule.
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int year : {1900, 2000, 2023, 2024}) {
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    for (int month = 1; month <= 12; ++month) {
      const int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
      char text[32];
      std::snprintf(text, sizeof text, "%04d-%02d-%02dT00:00Z", year, month, last);
      EXPECT_TRUE(UtcInstant::parse(text).has_value()) << text;
      std::snprintf(text, sizeof text, "%04d-%02d-%02dT00:00Z", year, month, last + 1);
      EXPECT_TRUE(invalid(text)) << text;
    }
  }
}

TEST(UtcInstantParse, AcceptedForms) {
  EXPECT_EQ(micros("2024-01-05 10:30"), micros("2024-01-05T10:30:00Z"));
  EXPECT_EQ(micros("2024-01-05T10:30:00+00:00"), micros("2024-01-05T10:30:00Z"));
  EXPECT_EQ(micros("2024-01-05T10:30:00.1234567Z") - micros("2024-01-05T10:30:00Z"), 123456);
  EXPECT_EQ(micros("2024-01-05T10:30:00.5Z") - micros("2024-01-05T10:30:00Z"), 500000);
  EXPECT_EQ(micros("2024-01-05T10:30:00.Z"), micros("2024-01-05T10:30:00Z"));
  EXPECT_EQ(micros("+2024-+01-+05T10:30Z"), micros("2024-01-05T10:30Z"));
  // Only one zone designator is dropped; the rest of a long fraction is cut.
  EXPECT_EQ(micros("2024-01-05T10:30:00.1234567890Z+00:00") - micros("2024-01-05T10:30:00Z"),
            123456);
  // Text after a third separator is ignored.
  EXPECT_EQ(micros("2024-01-05-xyzT10:30:00:abc"), micros("2024-01-05T10:30:00Z"));
}

TEST(UtcInstantParse, RejectedForms) {
  for (const char* text :
       {"2024-01-05", "2024-01-05T10", "2024-01-05T10:30:60Z", "2024-01-05T24:00Z",
        "2024-01-05T10:30:00+01:00", "2024-01-05T10:30:00z", "-2024-01-05T10:30Z",
        "2024-13-05T10:30Z", "2024-00-05T10:30Z", "2024-01-32T10:30Z", "2024-01-00T10:30Z",
        "2024-01-05T10:60Z", "2024-01T10:30Z", "2024--05T10:30Z", "2024-01-05T10:30:00.12a",
        "99999999999-01-05T10:30Z", "2024-01-05T+:30Z", "", "Z", "2024-01-05T10:3 0Z",
        "2024-01-05T1e1:30Z"}) {
    EXPECT_TRUE(invalid(text)) << text;
  }
}

TEST(UtcInstantFormat, IsoFormat) {
  EXPECT_EQ(UtcInstant(micros("2024-01-05T10:30Z")).isoformat(), "2024-01-05T10:30:00+00:00");
  EXPECT_EQ(UtcInstant(micros("2024-03-05T07:08:09.00012Z")).isoformat(),
            "2024-03-05T07:08:09.000120+00:00");
  EXPECT_EQ(UtcInstant::from_civil(5, 1, 2, 3, 4, 5, 0).isoformat(), "0005-01-02T03:04:05+00:00");
}

TEST(UtcInstantCivil, RoundTripsOverEightThousandYears) {
  // Every 1000 hours plus an odd offset from year 1 to 8000, both ways.
  const int64_t start = UtcInstant::from_civil(1, 1, 1, 0, 0, 0, 0).micros();
  const int64_t end = UtcInstant::from_civil(8000, 1, 1, 0, 0, 0, 0).micros();
  for (int64_t t = start; t < end; t += 3'600'000'000LL * 1000 + 123457) {
    auto c = UtcInstant(t).civil();
    EXPECT_EQ(UtcInstant::from_civil(c.year, c.month, c.day, c.hour, c.minute, c.second,
                                     c.microsecond)
                  .micros(),
              t);
  }
}

TEST(UtcInstantJulianDay, ReferenceDays) {
  EXPECT_EQ(UtcInstant(micros("2000-01-01T12:00:00Z")).julian_day(), 2451545.0);
  EXPECT_EQ(UtcInstant(micros("1582-10-15T00:00Z")).julian_day(), 2299160.5);
  EXPECT_EQ(UtcInstant(micros("1582-10-14T00:00Z")).julian_day(), 2299159.5);
  EXPECT_EQ(UtcInstant(micros("1970-01-01T00:00Z")).julian_day(), 2440587.5);
  EXPECT_EQ(UtcInstant(micros("1858-11-17T00:00Z")).julian_day(), 2400000.5);
  EXPECT_EQ(UtcInstant(micros("0001-01-01T00:00Z")).julian_day(), 1721425.5);
}

TEST(UtcInstantJulianDay, AdvancesOneDayPerDay) {
  const int64_t day = UtcInstant::kMicrosPerDay;
  const int64_t start = micros("1600-02-27T06:00Z");
  for (int i = 0; i < 400 * 366; i += 7) {
    const double a = UtcInstant(start + int64_t{i} * day).julian_day();
    const double b = UtcInstant(start + int64_t{i + 1} * day).julian_day();
    ASSERT_NEAR(b - a, 1.0, 1e-9) << i;
  }
}

}  // namespace
