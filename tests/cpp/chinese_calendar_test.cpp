#include "quorvane/chinese/calendar.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "quorvane/chart/chart.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/time/time_scales.hpp"
#include "support.hpp"

namespace {

using quorvane::EngineError;
using quorvane::Json;
using quorvane::KernelSet;
using quorvane::kMoonCode;
using quorvane::kSunCode;
using quorvane::UtcInstant;
using namespace quorvane::chinese;

constexpr double kSecond = 1.0 / 86400.0;

using quorvane::testing::de440;

#define REQUIRE_DE440()                                       \
  const KernelSet* kernels = de440();                         \
  if (!kernels) GTEST_SKIP() << "JPL DE440 is not installed"; \
  const Sky sky(*kernels)

UtcInstant at(const char* text) { return *UtcInstant::parse(text); }
double jd(const char* text) { return at(text).julian_day(); }

std::string num(double x) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return buffer;
}

double tt_of(double ut) {
  const quorvane::Time t = quorvane::Time::from_ut1(ut);
  return t.whole + t.tt_fraction;
}

using quorvane::testing::rows_of;

std::vector<std::vector<double>> skyfield(const std::vector<std::string>& args) {
  return rows_of(quorvane::testing::run_python("tests/cpp/reference/chinese_sky.py", args));
}

std::vector<std::string> names_of(const ChineseCalendar& c) {
  std::vector<std::string> names;
  for (const SolarTerm& t : c.solar_terms) names.push_back(t.name);
  return names;
}

// ---------------------------------------------------------------- days

TEST(ChineseDay, UsesBeijingMeanTimeBefore1929AndUtc8After) {
  // Beijing mean time is 7 h 45 min 40 s ahead: days turn at 16:14:20 UTC.
  EXPECT_EQ(china_day(jd("1928-06-01T16:14:19Z")), 2425399);
  EXPECT_EQ(china_day(jd("1928-06-01T16:14:21Z")), 2425400);
  EXPECT_EQ(china_day(jd("1929-06-01T15:59:59Z")), 2425764);
  EXPECT_EQ(china_day(jd("1929-06-01T16:00:01Z")), 2425765);
  // The switch itself: 1929-01-01 00:00 China time.
  EXPECT_EQ(china_day(jd("1928-12-31T15:59:59Z")), 2425612);
  EXPECT_EQ(china_day(jd("1928-12-31T16:00:00Z")), 2425613);
}

// ---------------------------------------------------------------- sky

TEST(ChineseSky, LongitudesMatchSkyfield) {
  REQUIRE_DE440();
  const std::vector<double> days = {2415020.5, 2433282.25, 2451545.0, 2460351.7, 2488069.5};
  for (const char* body : {"sun", "moon"}) {
    std::vector<std::string> args = {"longitude", body};
    for (double d : days) args.push_back(num(d));
    const auto reference = skyfield(args);
    ASSERT_EQ(reference.size(), days.size());
    for (size_t i = 0; i < days.size(); ++i) {
      auto ours = sky.longitude(days[i], body[0] == 's' ? kSunCode : kMoonCode);
      ASSERT_TRUE(ours);
      const double diff = std::remainder(*ours - reference[i][0], 360.0) * 3600.0;
      EXPECT_LT(std::fabs(diff), 0.005) << body << " at " << num(days[i]);  // arcsec
    }
  }
}

TEST(ChineseSky, SolarTermsMatchSkyfieldCrossings) {
  REQUIRE_DE440();
  // 1900 and 2024: both day-boundary rules and both ends of the tables.
  for (const auto& [start, end] : {std::pair{"1900-01-01T00:00Z", "1901-01-01T00:00Z"},
                                   std::pair{"2024-01-01T00:00Z", "2025-01-01T00:00Z"}}) {
    const auto reference = skyfield({"terms", num(jd(start)), num(jd(end))});
    ASSERT_EQ(reference.size(), 24u);
    for (const auto& row : reference) {
      // Start two days off so the search has to move.
      auto ours = sky.sun_at(row[2], row[1] - 2.0);
      ASSERT_TRUE(ours);
      // In TT the two differ only by the models, not by Delta T.
      EXPECT_NEAR(tt_of(*ours), row[0], 0.05 * kSecond) << "term " << row[2];
      EXPECT_NEAR(*ours, row[1], 0.1 * kSecond) << "term " << row[2];
    }
  }
}

TEST(ChineseSky, NewMoonsMatchSkyfield) {
  REQUIRE_DE440();
  for (const auto& [start, end] : {std::pair{"1900-01-01T00:00Z", "1901-01-01T00:00Z"},
                                   std::pair{"2099-06-01T00:00Z", "2100-06-01T00:00Z"}}) {
    const auto reference = skyfield({"moons", num(jd(start)), num(jd(end))});
    ASSERT_GE(reference.size(), 12u);
    for (const auto& row : reference) {
      auto near = sky.new_moon_near(row[1] + 6.0);
      ASSERT_TRUE(near);
      EXPECT_NEAR(*near, row[1], 1.0 * kSecond);
      EXPECT_NEAR(tt_of(*near), row[0], 0.2 * kSecond);
      // Just after and just before the conjunction.
      auto before = sky.new_moon_before(row[1] + 60.0 * kSecond);
      ASSERT_TRUE(before);
      EXPECT_NEAR(*before, row[1], 1.0 * kSecond);
      auto earlier = sky.new_moon_before(row[1] - 60.0 * kSecond);
      ASSERT_TRUE(earlier);
      EXPECT_NEAR(*earlier, row[1] - kSynodicMonth, 0.6);
    }
  }
}

TEST(ChineseSky, SunBeforeGoesBackAYearWhenTheTermIsJustAhead) {
  REQUIRE_DE440();
  auto term = sky.sun_at(315.0, jd("2024-02-01T00:00Z"));
  ASSERT_TRUE(term);
  auto same = sky.sun_before(315.0, *term + kSecond);
  ASSERT_TRUE(same);
  EXPECT_NEAR(*same, *term, 1e-6);
  auto previous = sky.sun_before(315.0, *term - kSecond);
  ASSERT_TRUE(previous);
  EXPECT_NEAR(*term - *previous, kTropicalYear, 0.05);
}

TEST(ChineseSky, EquationOfTimeMatchesSkyfield) {
  REQUIRE_DE440();
  const std::vector<double> days = {jd("1900-02-11T12:00Z"), jd("2024-02-11T03:00Z"),
                                    jd("2024-04-15T18:30Z"), jd("2024-11-03T00:00Z"),
                                    jd("2100-07-26T09:00Z")};
  std::vector<std::string> args = {"eot"};
  for (double d : days) args.push_back(num(d));
  const auto reference = skyfield(args);
  ASSERT_EQ(reference.size(), days.size());
  for (size_t i = 0; i < days.size(); ++i) {
    auto ours = sky.equation_of_time(days[i]);
    ASSERT_TRUE(ours);
    EXPECT_NEAR(*ours, reference[i][0], 1e-5) << num(days[i]);  // minutes
  }
  // Sign: apparent noon comes about 14 minutes late in February.
  EXPECT_LT(*sky.equation_of_time(days[1]), -14.0);
  EXPECT_GT(*sky.equation_of_time(days[3]), 16.0);
}

TEST(ChineseSky, EphemerisRangeErrors) {
  const KernelSet empty;
  auto calendar = chinese_calendar(Sky(empty), at("2024-02-10T12:00Z"));
  ASSERT_FALSE(calendar);
  EXPECT_EQ(calendar.error().text(), "JD 2460351.0 cannot be computed: no ephemeris loaded");
  REQUIRE_DE440();
  auto longitude = sky.longitude(2700000.5, kSunCode);
  ASSERT_FALSE(longitude);
  const auto* range = std::get_if<quorvane::OutOfRange>(&longitude.error().kind);
  ASSERT_TRUE(range);
  EXPECT_TRUE(range->coverage.has_value());
}

// ---------------------------------------------------------------- months

TEST(ChineseSui, LeapSuiNumbersOnlyTheFirstMonthWithoutPrincipalTerm) {
  REQUIRE_DE440();
  // The sui of 2022-23 holds the leap second month of 2023.
  auto solstice = sky.sun_before(270.0, jd("2023-01-01T00:00Z"));
  ASSERT_TRUE(solstice);
  auto sui = sky.sui(*solstice);
  ASSERT_TRUE(sui);
  ASSERT_EQ(sui->months.size(), 13u);
  const int numbers[13] = {11, 12, 1, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  for (size_t i = 0; i < 13; ++i) {
    const Month& m = sui->months[i];
    EXPECT_EQ(m.month, numbers[i]) << i;
    EXPECT_EQ(m.leap, i == 4) << i;
    EXPECT_EQ(m.year, i < 2 ? 2022 : 2023) << i;
    EXPECT_EQ(m.end, i + 1 < 13 ? sui->months[i + 1].start : sui->end);
  }
  EXPECT_EQ(civil_date_text(sui->months[4].start), "2023-03-22");
}

TEST(ChineseSui, LeapMonthRightAfterMonthElevenKeepsItsYear) {
  REQUIRE_DE440();
  // 2033: the month after month 11 has no principal term; month 11 itself
  // holds the solstice and stays plain.
  auto solstice = sky.sun_before(270.0, jd("2034-01-01T00:00Z"));
  ASSERT_TRUE(solstice);
  auto sui = sky.sui(*solstice);
  ASSERT_TRUE(sui);
  ASSERT_EQ(sui->months.size(), 13u);
  EXPECT_FALSE(sui->months[0].leap);
  EXPECT_EQ(sui->months[1].month, 11);
  EXPECT_TRUE(sui->months[1].leap);
  EXPECT_EQ(sui->months[1].year, 2033);
  EXPECT_EQ(civil_date_text(sui->months[1].start), "2033-12-22");
  EXPECT_EQ(sui->months[3].month, 1);
  EXPECT_EQ(sui->months[3].year, 2034);
}

// ---------------------------------------------------------------- calendar

TEST(ChineseCalendarOfMoment, TermsFromLichunToTheNextJie) {
  REQUIRE_DE440();
  auto c = chinese_calendar(sky, at("2024-02-10T12:00Z"));
  ASSERT_TRUE(c);
  EXPECT_EQ(names_of(*c), (std::vector<std::string>{"lichun", "yushui", "jingzhe"}));
  EXPECT_EQ(c->solar_terms[0].longitude, 315);
  EXPECT_TRUE(c->solar_terms[0].jie);
  EXPECT_FALSE(c->solar_terms[1].jie);
  EXPECT_EQ(c->solar_terms[0].utc, "2024-02-04T08:27:08+00:00");
  // Chinese New Year 2024 is 10 February; three days back is month 12.
  ASSERT_EQ(c->lunar_months.size(), 2u);
  EXPECT_EQ(c->lunar_months[0], (LunarMonth{2023, 12, false, "2024-01-11", 30}));
  EXPECT_EQ(c->lunar_months[1], (LunarMonth{2024, 1, false, "2024-02-10", 29}));
}

TEST(ChineseCalendarOfMoment, AJieAtTheMomentIsNotAfterIt) {
  REQUIRE_DE440();
  auto jingzhe = sky.sun_at(345.0, jd("2024-03-05T00:00Z"));
  ASSERT_TRUE(jingzhe);
  const auto moment = [&](double offset) {
    return UtcInstant(static_cast<int64_t>(std::llround((*jingzhe + offset - 2440587.5) * 864e8)));
  };
  auto before = chinese_calendar(sky, moment(-kSecond));
  ASSERT_TRUE(before);
  EXPECT_EQ(before->solar_terms.back().name, "jingzhe");
  EXPECT_EQ(before->solar_terms.size(), 3u);
  auto after = chinese_calendar(sky, moment(kSecond));
  ASSERT_TRUE(after);
  EXPECT_EQ(names_of(*after),
            (std::vector<std::string>{"lichun", "yushui", "jingzhe", "chunfen", "qingming"}));
}

TEST(ChineseCalendarOfMoment, JustBeforeLichunRunsAWholeYear) {
  REQUIRE_DE440();
  auto c = chinese_calendar(sky, at("2024-02-04T08:00Z"));
  ASSERT_TRUE(c);
  ASSERT_EQ(c->solar_terms.size(), 25u);
  EXPECT_EQ(c->solar_terms.front().utc.substr(0, 10), "2023-02-04");
  EXPECT_EQ(c->solar_terms.back().name, "lichun");
  EXPECT_EQ(c->solar_terms.back().utc.substr(0, 10), "2024-02-04");
}

TEST(ChineseCalendarOfMoment, MonthsWithinThreeDays) {
  REQUIRE_DE440();
  // Mid-month: only the month itself.
  auto middle = chinese_calendar(sky, at("2024-02-25T00:00Z"));
  ASSERT_TRUE(middle);
  ASSERT_EQ(middle->lunar_months.size(), 1u);
  EXPECT_EQ(middle->lunar_months[0].start, "2024-02-10");
  // Two days before the next month: both.
  auto late = chinese_calendar(sky, at("2024-03-08T00:00Z"));
  ASSERT_TRUE(late);
  ASSERT_EQ(late->lunar_months.size(), 2u);
  EXPECT_EQ(late->lunar_months[1], (LunarMonth{2024, 2, false, "2024-03-10", 30}));
  // Inside the leap month of 2023.
  auto leap = chinese_calendar(sky, at("2023-04-05T00:00Z"));
  ASSERT_TRUE(leap);
  ASSERT_EQ(leap->lunar_months.size(), 1u);
  EXPECT_EQ(leap->lunar_months[0], (LunarMonth{2023, 2, true, "2023-03-22", 29}));
}

TEST(ChineseCalendarOfMoment, MonthsAcrossTheSuiBoundaries) {
  REQUIRE_DE440();
  // Early December: the next sui's month 11 is within three days, so the
  // calendar must reach into the following sui.
  auto c = chinese_calendar(sky, at("2023-12-10T00:00Z"));
  ASSERT_TRUE(c);
  ASSERT_EQ(c->lunar_months.size(), 2u);
  EXPECT_EQ(c->lunar_months[0], (LunarMonth{2023, 10, false, "2023-11-13", 30}));
  EXPECT_EQ(c->lunar_months[1], (LunarMonth{2023, 11, false, "2023-12-13", 29}));
  // Month 11 of 2025 begins the day before the solstice: two days after
  // the solstice, the month before it lies in the previous sui.
  auto d = chinese_calendar(sky, at("2025-12-22T00:00Z"));
  ASSERT_TRUE(d);
  ASSERT_EQ(d->lunar_months.size(), 2u);
  EXPECT_EQ(d->lunar_months[0], (LunarMonth{2025, 10, false, "2025-11-20", 30}));
  EXPECT_EQ(d->lunar_months[1], (LunarMonth{2025, 11, false, "2025-12-20", 30}));
}

TEST(ChineseCalendarOfMoment, BeijingMeanTimeDecidesMonthsBefore1929) {
  REQUIRE_DE440();
  // New moon 1906-04-23 16:05:50 UTC: 23:51 Beijing mean time, but already
  // the 24th at UTC+8. The month starts on the 23rd.
  auto c = chinese_calendar(sky, at("1906-04-28T00:00Z"));
  ASSERT_TRUE(c);
  ASSERT_EQ(c->lunar_months.size(), 1u);
  EXPECT_EQ(c->lunar_months[0], (LunarMonth{1906, 4, false, "1906-04-23", 30}));
}

TEST(ChineseCalendarOfMoment, ChartCarriesTheCalendarDict) {
  REQUIRE_DE440();
  quorvane::ChartRequest request;
  request.moment = at("2024-02-10T12:00Z");
  request.latitude = 39.9;
  request.longitude = 116.4;
  auto plain = quorvane::chart_without_hours(*kernels, request);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->chinese_calendar.has_value());
  EXPECT_FALSE(quorvane::to_json_tree(*plain).contains("chinese_calendar"));

  request.chinese_calendar = true;
  auto chart = quorvane::calculate_chart(*kernels, request);
  ASSERT_TRUE(chart);
  ASSERT_TRUE(chart->chinese_calendar.has_value());
  const Json dict = quorvane::to_json_tree(*chart);
  EXPECT_EQ(std::prev(dict.end()).key(), "chinese_calendar");
  // The dict written into the chart reads back as the record.
  auto record = chinese_calendar(sky, request.moment);
  ASSERT_TRUE(record);
  auto read = read_chinese_calendar(dict["chinese_calendar"]);
  ASSERT_TRUE(read) << read.error().text();
  EXPECT_EQ(*read, *record);
  auto read_text = read_chinese_calendar_text(dict["chinese_calendar"].dump());
  ASSERT_TRUE(read_text);
  EXPECT_EQ(*read_text, *record);
}

// ---------------------------------------------------------------- reader

ChineseCalendar sample() {
  ChineseCalendar c;
  c.equation_of_time = -14.180312002749034;
  c.solar_terms = {{"lichun", 315, true, "2024-02-04T08:27:08+00:00"},
                   {"yushui", 330, false, "2024-02-19T04:13:10+00:00"}};
  c.lunar_months = {{2023, 12, false, "2024-01-11", 30}, {2024, 1, false, "2024-02-10", 29}};
  return c;
}

std::string read_error(const std::string& text) {
  auto from_text = read_chinese_calendar_text(text);
  if (from_text) return "(read)";
  const auto* invalid = std::get_if<quorvane::InvalidInput>(&from_text.error().kind);
  return invalid ? invalid->message : "(not invalid input)";
}

TEST(ChineseCalendarReader, ObjectAndArrayFormsReadBack) {
  const ChineseCalendar c = sample();
  const Json dict = quorvane::to_json_tree(c);
  EXPECT_EQ(dict.dump(),
            "{\"equation_of_time\":-14.180312002749034,\"solar_terms\":[{\"name\":\"lichun\","
            "\"longitude\":315,\"jie\":true,\"utc\":\"2024-02-04T08:27:08+00:00\"},{\"name\":"
            "\"yushui\",\"longitude\":330,\"jie\":false,\"utc\":\"2024-02-19T04:13:10+00:00\"}],"
            "\"lunar_months\":[{\"year\":2023,\"month\":12,\"leap\":false,\"start\":"
            "\"2024-01-11\",\"days\":30},{\"year\":2024,\"month\":1,\"leap\":false,\"start\":"
            "\"2024-02-10\",\"days\":29}]}");
  auto object = read_chinese_calendar(dict);
  ASSERT_TRUE(object);
  EXPECT_EQ(*object, c);

  // Positional arrays at every level, mixed with objects, and keys in any
  // order with unknown ones (even repeated) ignored.
  auto mixed = read_chinese_calendar_text(
      "[-14.180312002749034,"
      " [[\"lichun\",315,true,\"2024-02-04T08:27:08+00:00\"],"
      "  {\"utc\":\"2024-02-19T04:13:10+00:00\",\"x\":1,\"x\":2,\"jie\":false,\"longitude\":330,"
      "   \"name\":\"yushui\"}],"
      " [[2023,12,false,\"2024-01-11\",30], {\"days\":29,\"start\":\"2024-02-10\",\"leap\":false,"
      "   \"month\":1,\"year\":2024}]]");
  ASSERT_TRUE(mixed) << mixed.error().text();
  EXPECT_EQ(*mixed, c);
}

TEST(ChineseCalendarReader, MissingAndDuplicateFields) {
  EXPECT_EQ(read_error(R"({"solar_terms":[],"lunar_months":[]})"),
            "missing field `equation_of_time`");
  EXPECT_EQ(read_error(R"({"equation_of_time":0,"solar_terms":[]})"),
            "missing field `lunar_months`");
  EXPECT_EQ(read_error(R"({"equation_of_time":0,"lunar_months":[],"solar_terms":)"
                       R"([{"name":"lichun","longitude":315,"jie":true}]})"),
            "missing field `utc`");
  EXPECT_EQ(read_error(R"({"equation_of_time":0,"equation_of_time":1,"solar_terms":[],)"
                       R"("lunar_months":[]})"),
            "duplicate field `equation_of_time`");
  EXPECT_EQ(read_error(R"({"equation_of_time":0,"solar_terms":[],"lunar_months":)"
                       R"([{"year":2024,"year":2024,"month":1,"leap":false,"start":"x","days":29}]})"),
            "duplicate field `year`");
}

TEST(ChineseCalendarReader, WrongTypes) {
  const auto calendar_with = [](const std::string& field, const std::string& value) {
    std::string terms = R"([{"name":"lichun","longitude":315,"jie":true,"utc":"u"}])";
    std::string months = R"([{"year":2024,"month":1,"leap":false,"start":"s","days":29}])";
    std::string eot = "0";
    if (field == "equation_of_time") eot = value;
    if (field == "solar_terms") terms = value;
    if (field == "lunar_months") months = value;
    return R"({"equation_of_time":)" + eot + R"(,"solar_terms":)" + terms +
           R"(,"lunar_months":)" + months + "}";
  };
  const auto term_with = [&](const std::string& field, const std::string& value) {
    Json term = Json::parse(R"({"name":"lichun","longitude":315,"jie":true,"utc":"u"})");
    term[field] = Json::parse(value);
    return calendar_with("solar_terms", "[" + term.dump() + "]");
  };
  const auto month_with = [&](const std::string& field, const std::string& value) {
    Json month = Json::parse(R"({"year":2024,"month":1,"leap":false,"start":"s","days":29})");
    month[field] = Json::parse(value);
    return calendar_with("lunar_months", "[" + month.dump() + "]");
  };

  EXPECT_EQ(read_error(R"("calendar")"),
            "invalid type: string \"calendar\", expected struct ChineseCalendar");
  EXPECT_EQ(read_error("null"), "invalid type: null, expected struct ChineseCalendar");
  EXPECT_EQ(read_error(calendar_with("equation_of_time", "null")),
            "invalid type: null, expected f64");
  EXPECT_EQ(read_error(calendar_with("equation_of_time", R"("1.5")")),
            "invalid type: string \"1.5\", expected f64");
  EXPECT_EQ(read_error(calendar_with("solar_terms", "{}")),
            "invalid type: map, expected a sequence");
  EXPECT_EQ(read_error(calendar_with("lunar_months", "[7]")),
            "invalid type: integer `7`, expected struct LunarMonth");
  EXPECT_EQ(read_error(term_with("name", "5")), "invalid type: integer `5`, expected a string");
  EXPECT_EQ(read_error(term_with("utc", R"(["x"])")),
            "invalid type: sequence, expected a string");
  EXPECT_EQ(read_error(term_with("jie", "1")), "invalid type: integer `1`, expected a boolean");
  EXPECT_EQ(read_error(term_with("longitude", "15.0")),
            "invalid type: floating point `15.0`, expected u16");
  EXPECT_EQ(read_error(term_with("longitude", "true")),
            "invalid type: boolean `true`, expected u16");
  EXPECT_EQ(read_error(month_with("days", "29.5")),
            "invalid type: floating point `29.5`, expected u8");
  EXPECT_EQ(read_error(month_with("days", "1e21")),
            "invalid type: floating point `1000000000000000000000.0`, expected u8");
  EXPECT_EQ(read_error(month_with("days", "1.5e-7")),
            "invalid type: floating point `0.00000015`, expected u8");
  EXPECT_EQ(read_error(month_with("start", R"({"a":"b\"c\n"})")),
            "invalid type: map, expected a string");
  EXPECT_EQ(read_error(month_with("year", R"("2024\"\n")")),
            "invalid type: string \"2024\\\"\\n\", expected i32");
}

TEST(ChineseCalendarReader, IntegersThatDoNotFit) {
  const auto month = [](const std::string& year, const std::string& number) {
    return R"({"equation_of_time":0,"solar_terms":[],"lunar_months":[{"year":)" + year +
           R"(,"month":)" + number + R"(,"leap":false,"start":"s","days":29}]})";
  };
  EXPECT_EQ(read_error(month("2024", "256")), "invalid value: integer `256`, expected u8");
  EXPECT_EQ(read_error(month("2024", "-1")), "invalid value: integer `-1`, expected u8");
  EXPECT_EQ(read_error(month("2147483648", "1")),
            "invalid value: integer `2147483648`, expected i32");
  EXPECT_EQ(read_error(month("-2147483649", "1")),
            "invalid value: integer `-2147483649`, expected i32");
  EXPECT_EQ(read_error(month("-2147483648", "255")), "(read)");
  EXPECT_EQ(read_error(R"({"equation_of_time":0,"lunar_months":[],"solar_terms":)"
                       R"([{"name":"x","longitude":65536,"jie":true,"utc":"u"}]})"),
            "invalid value: integer `65536`, expected u16");
}

TEST(ChineseCalendarReader, ArrayLengths) {
  EXPECT_EQ(read_error(R"([0,[["lichun",315,true]],[]])"),
            "invalid length 3, expected struct SolarTerm with 4 elements");
  EXPECT_EQ(read_error(R"([0,[],[[2024,1,false]]])"),
            "invalid length 3, expected struct LunarMonth with 5 elements");
  EXPECT_EQ(read_error(R"([0,[]])"),
            "invalid length 2, expected struct ChineseCalendar with 3 elements");
  EXPECT_EQ(read_error("[]"), "invalid length 0, expected struct ChineseCalendar with 3 elements");
  EXPECT_EQ(read_error(R"([0,[],[],0])"), "invalid length 4, expected fewer elements in array");
  // Fields are read in order: a bad first element wins over a short array.
  EXPECT_EQ(read_error(R"(["x"])"), "invalid type: string \"x\", expected f64");
}

TEST(ChineseCalendarReader, TextThatIsNotJsonGivesTheParserMessage) {
  const std::string text = R"({"equation_of_time":NaN})";
  auto parsed = quorvane::parse_json(text);
  ASSERT_FALSE(parsed);
  EXPECT_EQ(read_error(text), parsed.error());
}

TEST(ChineseCalendarReader, InstantsAreParsedOnlyWhenAsked) {
  const SolarTerm good{"lichun", 315, true, "2024-02-04T08:27:08+00:00"};
  ASSERT_TRUE(good.instant());
  EXPECT_EQ(good.instant()->isoformat(), good.utc);
  const SolarTerm bad{"lichun", 315, true, "yesterday"};
  ASSERT_FALSE(bad.instant());
  EXPECT_EQ(bad.instant().error().text(), "invalid input: invalid UTC date-time: yesterday");

  EXPECT_EQ(*LunarMonth({2024, 1, false, "2024-02-10", 29}).start_day(), 2460351);
  EXPECT_EQ(*LunarMonth({1969, 11, false, "1969-12-31", 29}).start_day(), 2440587);
  auto broken = LunarMonth({2024, 1, false, "2024-13-01", 29}).start_day();
  ASSERT_FALSE(broken);
  EXPECT_EQ(broken.error().text(), "invalid input: invalid UTC date-time: 2024-13-01T00:00:00Z");
}

}  // namespace
