#include "quorvane/chinese/bazi.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <variant>

namespace {

using namespace quorvane;
using namespace quorvane::chinese;

constexpr int64_t kMinute = 60'000'000;
constexpr int64_t kDay = UtcInstant::kMicrosPerDay;

UtcInstant at(const std::string& text) { return *UtcInstant::parse(text); }
// China civil time (UTC+8) as an instant.
UtcInstant china(const std::string& text) { return UtcInstant(at(text + "Z").micros() - 480 * kMinute); }

std::string message(const Expected<Bazi, EngineError>& result) {
  if (result) return "ok";
  const auto* invalid = std::get_if<InvalidInput>(&result.error().kind);
  return invalid ? invalid->message : result.error().text();
}

// The 25 terms from the lichun at 12:00 UTC on 4 February of `year` to the
// next one, evenly spaced: the pillars read only order, longitudes and instants.
ChineseCalendar calendar_of_year(int year, double equation_of_time = 0.0) {
  ChineseCalendar calendar;
  calendar.equation_of_time = equation_of_time;
  const UtcInstant lichun = UtcInstant::from_civil(year, 2, 4, 12, 0, 0, 0);
  for (int i = 0; i <= 24; ++i) {
    const auto longitude = static_cast<uint16_t>((315 + 15 * i) % 360);
    calendar.solar_terms.push_back({std::string(term_name(longitude)), longitude, longitude % 30 == 15,
                                    UtcInstant(lichun.micros() + i * (365 * kDay / 24)).isoformat()});
  }
  return calendar;
}

// Pillars on China civil time.
Bazi civil(const ChineseCalendar& calendar, UtcInstant moment, BaziOptions options = {}) {
  options.solar_time = false;
  auto result = bazi(calendar, moment, options, 120.0, 480.0);
  EXPECT_TRUE(result.has_value()) << message(result);
  return result ? *result : Bazi{};
}

TEST(BaziSexagenary, YearAndDayAnchors) {
  for (int year = 1900; year <= 2100; year += 7) {
    const Bazi b = civil(calendar_of_year(year), at(std::to_string(year) + "-06-01T00:00:00Z"));
    EXPECT_EQ(b.year.cycle, ((year - 1984) % 60 + 60) % 60) << year;  // 1984 is jia-zi
  }
  const Bazi b = civil(calendar_of_year(2024), at("2024-06-01T00:00:00Z"));
  EXPECT_EQ(b.year.stem, "jia");
  EXPECT_EQ(b.year.animal, "dragon");
  EXPECT_EQ(civil(calendar_of_year(1999), china("2000-01-01T12:00:00")).day.cycle, 54);  // wu-wu
  EXPECT_EQ(civil(calendar_of_year(1949), china("1949-10-01T12:00:00")).day.stem, "jia");  // jia-zi day
}

TEST(BaziSexagenary, DaysStepByOneAcrossMonthYearAndZoneChanges) {
  for (const char* start : {"1928-12-25", "1999-12-27", "2024-02-25"}) {
    const UtcInstant first = china(std::string(start) + "T12:00:00");
    const int year = first.civil().year;  // every start lies before the next lichun
    int previous = -1;
    for (int k = 0; k < 10; ++k) {
      const UtcInstant moment(first.micros() + k * kDay);
      const int cycle = civil(calendar_of_year(year), moment).day.cycle;
      if (previous >= 0) {
        EXPECT_EQ(cycle, (previous + 1) % 60) << start << " +" << k;
      }
      previous = cycle;
    }
  }
}

TEST(BaziSexagenary, MonthStemsFollowTheYearStemForAllSixtyYears) {
  // Yin-month stem by year stem mod 5: bing, wu, geng, ren, jia.
  const int first_month_stem[5] = {2, 4, 6, 8, 0};
  int previous = -1;
  for (int year = 1984; year < 2044; ++year) {
    const ChineseCalendar calendar = calendar_of_year(year);
    for (int m = 0; m < 12; ++m) {
      // At the principal term inside the m-th month.
      const Bazi b = civil(calendar, *calendar.solar_terms[static_cast<size_t>(2 * m + 1)].instant());
      EXPECT_EQ(b.month.branch_index(), (m + 2) % 12);
      EXPECT_EQ(b.month.stem_index(), (first_month_stem[b.year.stem_index() % 5] + m) % 10) << year;
      // Months run on through the cycle across years without a break.
      if (previous >= 0) {
        EXPECT_EQ(b.month.cycle, (previous + 1) % 60) << year << " " << m;
      }
      previous = b.month.cycle;
    }
  }
}

TEST(BaziSexagenary, LichunAndEveryJieTurnTheMonth) {
  const ChineseCalendar calendar = calendar_of_year(2024);
  const UtcInstant lichun = *calendar.solar_terms[0].instant();
  const Bazi before = civil(calendar_of_year(2023), UtcInstant(lichun.micros() - kMinute));
  const Bazi after = civil(calendar, lichun);
  EXPECT_EQ(before.year.branch, "mao");
  EXPECT_EQ(before.month.branch, "chou");
  EXPECT_EQ(before.month_term.name, "xiaohan");
  EXPECT_EQ(before.next_term.name, "lichun");
  EXPECT_EQ(after.year.branch, "chen");
  EXPECT_EQ(after.month.stem, "bing");
  EXPECT_EQ(after.month.branch, "yin");
  EXPECT_EQ(after.month_term.utc, lichun.isoformat());
  EXPECT_EQ(after.next_term.name, "jingzhe");
  for (size_t i = 2; i < 24; i += 2) {
    const UtcInstant jie = *calendar.solar_terms[i].instant();
    const Bazi just_before = civil(calendar, UtcInstant(jie.micros() - 1));
    const Bazi on_it = civil(calendar, jie);
    EXPECT_EQ((just_before.month.cycle + 1) % 60, on_it.month.cycle) << i;
    EXPECT_EQ(just_before.next_term.name, on_it.month_term.name);
    EXPECT_EQ(on_it.year.cycle, after.year.cycle);
  }
}

TEST(BaziHours, BranchesAndStems) {
  const ChineseCalendar calendar = calendar_of_year(2024);
  const int zi_stem[5] = {0, 2, 4, 6, 8};  // zi-hour stem by day stem mod 5
  for (int hour = 0; hour < 23; ++hour) {
    const Bazi b = civil(calendar, china("2024-06-10T" + std::string(hour < 10 ? "0" : "") +
                                         std::to_string(hour) + ":30:00"));
    const int branch = (hour + 1) / 2;
    EXPECT_EQ(b.hour.branch_index(), branch) << hour;
    EXPECT_EQ(b.hour.stem_index(), (zi_stem[b.day.stem_index() % 5] + branch) % 10) << hour;
  }
}

TEST(BaziHours, LateZiHourUnderBothRules) {
  const ChineseCalendar calendar = calendar_of_year(2024);
  const UtcInstant late = china("2024-06-10T23:30:00");
  const Bazi evening = civil(calendar, china("2024-06-10T22:30:00"));
  const Bazi morning = civil(calendar, china("2024-06-11T00:30:00"));
  const Bazi next_day = civil(calendar, late);
  EXPECT_EQ(next_day.day.cycle, morning.day.cycle);
  EXPECT_EQ(next_day.hour.cycle, morning.hour.cycle);
  BaziOptions split;
  split.zi_hour = "split";
  const Bazi split_day = civil(calendar, late, split);
  EXPECT_EQ(split_day.zi_hour, "split");
  EXPECT_EQ(split_day.day.cycle, evening.day.cycle);
  EXPECT_EQ(split_day.hour.cycle, morning.hour.cycle);  // the next day's zi hour stem
  EXPECT_NE(split_day.year.ten_god, next_day.year.ten_god);  // another day master
}

TEST(BaziHours, SolarAgainstCivilNearMidnight) {
  // 116.4° E runs 14.4 minutes behind UTC+8; the equation of time takes 5 more.
  const ChineseCalendar calendar = calendar_of_year(2024, -5.0);
  const UtcInstant moment = china("2024-06-11T00:10:00");
  BaziOptions split;
  split.zi_hour = "split";
  auto solar = bazi(calendar, moment, split, 116.4, 480.0);
  ASSERT_TRUE(solar.has_value());
  EXPECT_EQ(solar->time_basis, "solar");
  EXPECT_EQ(solar->civil_time, "2024-06-11T00:10:00");
  EXPECT_EQ(solar->solar_time, "2024-06-10T23:50:36");
  split.solar_time = false;
  auto by_civil = bazi(calendar, moment, split, 116.4, 480.0);
  ASSERT_TRUE(by_civil.has_value());
  EXPECT_EQ(by_civil->time_basis, "civil");
  EXPECT_EQ(by_civil->solar_time, solar->solar_time);
  EXPECT_EQ((solar->day.cycle + 1) % 60, by_civil->day.cycle);
  // Absurd longitudes or offsets saturate instead of overflowing.
  EXPECT_EQ(shifted(moment, 1e300).micros(), INT64_MAX);
  EXPECT_EQ(shifted(UtcInstant(-5), -1e300).micros(), INT64_MIN);
  EXPECT_EQ(shifted(moment, std::nan("")), moment);
}

TEST(BaziPillars, TenGodsAndLifeStages) {
  const char* const from_jia[10] = {"friend",         "rob_wealth",      "eating_god",
                                    "hurting_officer", "indirect_wealth", "direct_wealth",
                                    "seven_killings", "direct_officer",  "indirect_resource",
                                    "direct_resource"};
  for (int stem = 0; stem < 10; ++stem) {
    EXPECT_EQ(ten_god(stem, 0), from_jia[stem]);
    for (int day = 0; day < 10; ++day) {  // only the relation counts
      EXPECT_EQ(ten_god(stem, day), ten_god((stem + 2) % 10, (day + 2) % 10));
    }
  }
  const char* const prosperity[10] = {"mao", "yin", "wu", "si", "wu", "si", "you", "shen", "zi", "hai"};
  for (int day = 0; day < 10; ++day) {
    int branch = 0;
    while (kBranches[static_cast<size_t>(branch)] != prosperity[day]) ++branch;
    EXPECT_EQ(kLifeStages[static_cast<size_t>(life_stage(branch, day))], "prosperity") << day;
  }
  const Pillar p = pillar(cycle_of(6, 8), 3, false);  // geng-shen seen from ding
  EXPECT_EQ(p.cycle, 56);
  EXPECT_EQ(p.ten_god, "direct_wealth");
  EXPECT_EQ(p.nayin, "pomegranate_wood");
  EXPECT_EQ(p.life_stage, "bath");
  ASSERT_EQ(p.hidden_stems.size(), 3u);
  EXPECT_EQ(p.hidden_stems[1].stem, "ren");
  EXPECT_EQ(p.hidden_stems[1].ten_god, "direct_officer");
  EXPECT_FALSE(pillar(0, 0, true).ten_god.has_value());
  EXPECT_EQ(pillar(0, 0, true).hidden_stems[0].ten_god, "direct_resource");

  const Bazi b = civil(calendar_of_year(2024), china("2024-06-10T12:00:00"));
  EXPECT_NEAR(b.elements.wood + b.elements.fire + b.elements.earth + b.elements.metal + b.elements.water,
              8.0, 1e-9);
}

TEST(BaziLunarDate, FromTheCalendarMonths) {
  ChineseCalendar calendar = calendar_of_year(2024);
  calendar.lunar_months = {{2024, 4, false, "2024-05-08", 30}, {2024, 5, false, "2024-06-06", 29}};
  const Bazi b = civil(calendar, china("2024-06-10T12:00:00"));
  ASSERT_TRUE(b.lunar_date.has_value());
  EXPECT_EQ(b.lunar_date->month, 5);
  EXPECT_EQ(b.lunar_date->day, 5u);
  EXPECT_EQ(b.lunar_date->animal, "dragon");
  EXPECT_EQ(civil(calendar, china("2024-06-06T12:00:00")).lunar_date->month, 4);  // first in list
  EXPECT_EQ(civil(calendar, china("2024-06-10T23:30:00")).lunar_date->day, 6u);   // next-day zi
  EXPECT_FALSE(civil(calendar, china("2024-07-10T12:00:00")).lunar_date.has_value());
  calendar.lunar_months[0].start = "2024-05-8x";
  EXPECT_EQ(message(bazi(calendar, china("2024-06-10T12:00:00"), {}, 120.0, 480.0)),
            "invalid UTC date-time: 2024-05-8xT00:00:00Z");
}

TEST(BaziLuck, DirectionStartAgeAndPillars) {
  const ChineseCalendar calendar = calendar_of_year(2024);  // jia: a yang year
  const UtcInstant month_term = *calendar.solar_terms[6].instant();
  const UtcInstant next_term = *calendar.solar_terms[8].instant();
  const UtcInstant moment(month_term.micros() + 3 * kDay);
  BaziOptions options;
  options.sex = "male";
  options.luck_pillars = 3;
  const Bazi male = civil(calendar, moment, options);
  ASSERT_TRUE(male.luck.has_value());
  EXPECT_EQ(male.luck->direction, "forward");
  EXPECT_DOUBLE_EQ(male.luck->start_age, static_cast<double>(next_term.micros() - moment.micros()) / 1e6 / 86400.0 / 3.0);
  ASSERT_EQ(male.luck->pillars.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const LuckPillar& lp = male.luck->pillars[static_cast<size_t>(k)];
    EXPECT_EQ(lp.pillar.cycle, (male.month.cycle + k + 1) % 60);
    EXPECT_EQ(lp.start, shifted(moment, (male.luck->start_age + 10.0 * k) * 365.24219 * 86400e6).isoformat());
  }
  options.sex = "female";
  const Bazi female = civil(calendar, moment, options);
  EXPECT_EQ(female.luck->direction, "backward");
  EXPECT_DOUBLE_EQ(female.luck->start_age, 1.0);  // three days back to the jie
  EXPECT_EQ(female.luck->pillars[0].pillar.cycle, (male.month.cycle + 59) % 60);
  const ChineseCalendar yin_year = calendar_of_year(2025);
  EXPECT_EQ(civil(yin_year, *yin_year.solar_terms[7].instant(), options).luck->direction, "forward");

  options.sex = "";
  EXPECT_FALSE(civil(calendar, moment, options).luck.has_value());
  options.sex = "male";
  options.luck_pillars = 0;
  const Bazi empty = civil(calendar, moment, options);
  ASSERT_TRUE(empty.luck.has_value());
  EXPECT_TRUE(empty.luck->pillars.empty());
}

TEST(BaziFlow, PillarsOfADateFromTheJieTable) {
  const auto flow = [](const std::string& date, double offset = 480.0) {
    BaziOptions options;
    options.date = date;
    options.year = 2026;
    auto b = bazi(calendar_of_year(2024), china("2024-06-10T12:00:00"), options, 120.0, offset);
    EXPECT_TRUE(b.has_value()) << message(b);
    EXPECT_EQ(b->annual->stem, "bing");
    return *b->flow;
  };
  // Local noon of 4 February 2024 is 04:00 UTC, before lichun at 08:27.
  const BaziFlow before = flow("2024-02-04");
  EXPECT_EQ(before.month_term.name, "xiaohan");
  EXPECT_EQ(before.year.branch, "mao");
  EXPECT_EQ(before.month.stem, "yi");
  EXPECT_EQ(before.month.branch, "chou");
  const BaziFlow after = flow("2024-02-05");
  EXPECT_EQ(after.month_term.name, "lichun");
  EXPECT_EQ(after.month_term.utc, "2024-02-04T08:27:00+00:00");
  EXPECT_EQ(after.year.branch, "chen");
  EXPECT_EQ(after.month.stem, "bing");
  EXPECT_EQ(flow("2024-02-04", -300.0).month_term.name, "lichun");  // noon at 17:00 UTC
  const BaziFlow january = flow("2024-01-03");  // before xiaohan: the 2023 daxue month
  EXPECT_EQ(january.month_term.name, "daxue");
  EXPECT_EQ(january.year.branch, "mao");
  EXPECT_EQ(january.month.branch, "zi");
  EXPECT_EQ(flow("2000-01-01").day.cycle, 54);
  EXPECT_TRUE(flow("2000-01-01").day.ten_god.has_value());
}

TEST(BaziErrors, Messages) {
  const ChineseCalendar calendar = calendar_of_year(2024);
  const auto run = [&](BaziOptions options, const ChineseCalendar& c = calendar_of_year(2024)) {
    return message(bazi(c, china("2024-06-10T12:00:00"), options, 120.0, 480.0));
  };
  BaziOptions o;
  o.zi_hour = "late";
  o.sex = "other";
  EXPECT_EQ(run(o), "zi_hour must be \"next_day\" or \"split\"");
  o.zi_hour = "";
  EXPECT_EQ(run(o), "sex must be \"male\" or \"female\"");

  EXPECT_EQ(run({}, calendar_of_year(2025)), "the calendar does not cover the birth");
  ChineseCalendar cut = calendar;
  cut.solar_terms.resize(9);  // no jie after the birth
  EXPECT_EQ(run({}, cut), "the calendar does not cover the birth");
  cut = calendar;
  cut.solar_terms.erase(cut.solar_terms.begin());  // no lichun before it
  EXPECT_EQ(run({}, cut), "the calendar does not cover the birth");
  cut = calendar;
  cut.solar_terms[20].utc = "2025-01-20";  // every term is read, even one far away
  EXPECT_EQ(run({}, cut), "invalid UTC date-time: 2025-01-20");

  o = {};
  for (const char* date : {"2024-13-01", "2024/01/01", "", "2024-01-01T00:00"}) {
    o.date = date;
    EXPECT_EQ(run(o), "date must be YYYY-MM-DD") << date;
  }
  for (const char* date : {"1899-12-31", "1900-01-05", "2102-01-01"}) {
    o.date = date;
    EXPECT_EQ(run(o), "date is outside the years 1900-2100") << date;
  }
  o.date = "2100-12-31";
  EXPECT_EQ(run(o), "ok");
}

}  // namespace
