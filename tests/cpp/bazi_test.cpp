#include "quorvane/chinese/bazi.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <variant>

#include "quorvane/chinese/jie_table.hpp"

namespace {

using namespace quorvane;
using namespace quorvane::chinese;

UtcInstant at(const std::string& text) { return *UtcInstant::parse(text); }

constexpr int64_t kMinute = 60'000'000;
constexpr int64_t kDay = UtcInstant::kMicrosPerDay;

std::string invalid_message(const EngineError& error) {
  const auto* invalid = std::get_if<InvalidInput>(&error.kind);
  return invalid ? invalid->message : "not invalid input: " + error.text();
}

// The 24 terms from the lichun at `lichun` to the lichun a year later, at
// an even spacing: enough structure for the pillars, which only read the
// order, the longitudes and the instants of the terms.
ChineseCalendar synthetic_calendar(UtcInstant lichun, double equation_of_time = 0.0) {
  ChineseCalendar calendar;
  calendar.equation_of_time = equation_of_time;
  const int64_t step = 365 * kDay / 24;
  for (int i = 0; i <= 24; ++i) {
    const auto longitude = static_cast<uint16_t>((315 + 15 * i) % 360);
    calendar.solar_terms.push_back({std::string(term_name(longitude)), longitude,
                                    longitude % 30 == 15,
                                    UtcInstant(lichun.micros() + i * step).isoformat()});
  }
  return calendar;
}

ChineseCalendar calendar_of_year(int year) {
  return synthetic_calendar(UtcInstant::from_civil(year, 2, 4, 12, 0, 0, 0));
}

// Civil-time options at UTC+8, so that the basis is the China civil time.
Bazi civil(const ChineseCalendar& calendar, UtcInstant moment, BaziOptions options = {}) {
  options.solar_time = false;
  auto result = bazi(calendar, moment, options, 120.0, 480.0);
  EXPECT_TRUE(result.has_value()) << (result ? "" : result.error().text());
  return result ? *result : Bazi{};
}

// China civil time `text` (UTC+8) as an instant.
UtcInstant china(const std::string& text) { return UtcInstant(at(text + "Z").micros() - 480 * kMinute); }

TEST(BaziSexagenary, YearPillarFollowsTheLichunYear) {
  EXPECT_EQ(year_cycle(1984), 0);
  for (int year = 1900; year <= 2100; year += 7) {
    const Bazi b = civil(calendar_of_year(year), at(std::to_string(year) + "-06-01T00:00:00Z"));
    EXPECT_EQ(b.year.cycle, ((year - 1984) % 60 + 60) % 60) << year;
  }
  const Bazi b1984 = civil(calendar_of_year(1984), at("1984-06-01T00:00:00Z"));
  EXPECT_EQ(b1984.year.stem, "jia");
  EXPECT_EQ(b1984.year.branch, "zi");
  EXPECT_EQ(b1984.year.animal, "rat");
  EXPECT_EQ(b1984.year.nayin, "sea_metal");
  const Bazi b2024 = civil(calendar_of_year(2024), at("2024-06-01T00:00:00Z"));
  EXPECT_EQ(b2024.year.stem, "jia");
  EXPECT_EQ(b2024.year.branch, "chen");
  EXPECT_EQ(b2024.year.animal, "dragon");
}

TEST(BaziSexagenary, DayCycleAnchorsAndSteps) {
  // 2000-01-01 is wu-wu (54); 1949-10-01 was a jia-zi day.
  EXPECT_EQ(civil(calendar_of_year(1999), china("2000-01-01T12:00:00")).day.cycle, 54);
  const Bazi b = civil(calendar_of_year(1949), china("1949-10-01T12:00:00"));
  EXPECT_EQ(b.day.cycle, 0);
  EXPECT_EQ(b.day.stem, "jia");
  EXPECT_EQ(b.day_master, "jia");
  EXPECT_EQ(b.day_master_element, "wood");

  // One step a day across month ends, year ends and the 1929 change of
  // China's time zone.
  for (const char* start : {"1928-12-25", "1999-12-27", "2024-02-25", "2023-12-29"}) {
    const UtcInstant first = china(std::string(start) + "T12:00:00");
    const int year = first.civil().year - 1;
    int previous = -1;
    for (int k = 0; k < 10; ++k) {
      const UtcInstant moment(first.micros() + k * kDay);
      const ChineseCalendar calendar = calendar_of_year(moment < at(std::to_string(year + 1) + "-02-04T12:00:00Z") ? year : year + 1);
      const int cycle = civil(calendar, moment).day.cycle;
      if (previous >= 0) {
        EXPECT_EQ(cycle, (previous + 1) % 60) << start << " +" << k;
      }
      previous = cycle;
    }
  }
}

TEST(BaziSexagenary, MonthStemsFollowTheYearStemForAllSixtyYears) {
  // Stem of the yin month by year stem mod 5: jia/ji bing, yi/geng wu,
  // bing/xin geng, ding/ren ren, wu/gui jia.
  const int first_month_stem[5] = {2, 4, 6, 8, 0};
  int previous = -1;
  for (int year = 1984; year < 2044; ++year) {
    const ChineseCalendar calendar = calendar_of_year(year);
    for (int m = 0; m < 12; ++m) {
      // Half-way into the m-th month: after its jie (term 2m), before the next.
      const UtcInstant term = *calendar.solar_terms[static_cast<size_t>(2 * m + 1)].instant();
      const Bazi b = civil(calendar, term);
      EXPECT_EQ(b.month.branch_index(), (m + 2) % 12);
      EXPECT_EQ(b.month.stem_index(), (first_month_stem[b.year.stem_index() % 5] + m) % 10)
          << year << " month " << m;
      // Months run on through the sexagenary cycle without a break.
      if (previous >= 0) {
        EXPECT_EQ(b.month.cycle, (previous + 1) % 60) << year << " " << m;
      }
      previous = b.month.cycle;
    }
  }
}

TEST(BaziSexagenary, LichunAndEveryJieChangeTheMonth) {
  const ChineseCalendar calendar = calendar_of_year(2024);
  const ChineseCalendar earlier = calendar_of_year(2023);
  const UtcInstant lichun = *calendar.solar_terms[0].instant();
  const Bazi before = civil(earlier, UtcInstant(lichun.micros() - kMinute));
  const Bazi after = civil(calendar, lichun);
  EXPECT_EQ(before.year.branch, "mao");  // still the rabbit year
  EXPECT_EQ(before.month.branch, "chou");
  EXPECT_EQ(before.month_term.name, "xiaohan");
  EXPECT_EQ(before.next_term.name, "lichun");
  EXPECT_EQ(after.year.branch, "chen");
  EXPECT_EQ(after.month.branch, "yin");
  EXPECT_EQ(after.month.stem, "bing");  // jia year
  EXPECT_EQ(after.month_term.name, "lichun");
  EXPECT_EQ(after.month_term.utc, lichun.isoformat());
  EXPECT_EQ(after.next_term.name, "jingzhe");

  for (size_t i = 2; i < 24; i += 2) {
    const UtcInstant jie = *calendar.solar_terms[i].instant();
    const Bazi just_before = civil(calendar, UtcInstant(jie.micros() - 1));
    const Bazi on_it = civil(calendar, jie);
    EXPECT_EQ((just_before.month.cycle + 1) % 60, on_it.month.cycle) << i;
    EXPECT_EQ(just_before.next_term.name, calendar.solar_terms[i].name);
    EXPECT_EQ(on_it.month_term.name, calendar.solar_terms[i].name);
    EXPECT_EQ(on_it.year.cycle, after.year.cycle);  // the year only turns at lichun
  }
}

TEST(BaziHours, BranchesAndStems) {
  const ChineseCalendar calendar = calendar_of_year(2024);
  // Stem of the zi hour by day stem mod 5: jia/ji jia, yi/geng bing, ...
  const int zi_stem[5] = {0, 2, 4, 6, 8};
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
  ASSERT_EQ((evening.day.cycle + 1) % 60, morning.day.cycle);

  const Bazi next_day = civil(calendar, late);
  EXPECT_EQ(next_day.zi_hour, "next_day");
  EXPECT_EQ(next_day.day.cycle, morning.day.cycle);
  EXPECT_EQ(next_day.hour.cycle, morning.hour.cycle);

  BaziOptions split;
  split.zi_hour = "split";
  const Bazi split_day = civil(calendar, late, split);
  EXPECT_EQ(split_day.zi_hour, "split");
  EXPECT_EQ(split_day.day.cycle, evening.day.cycle);
  EXPECT_EQ(split_day.hour.cycle, morning.hour.cycle);  // next day's zi hour stem
  EXPECT_EQ(split_day.hour.branch, "zi");
  // Ten gods follow the day master, which differs between the rules.
  EXPECT_EQ(split_day.day_master, evening.day_master);
  EXPECT_NE(split_day.year.ten_god, next_day.year.ten_god);

  BaziOptions empty;
  empty.zi_hour = "";
  EXPECT_EQ(civil(calendar, late, empty).day.cycle, morning.day.cycle);
}

TEST(BaziTimes, SolarAgainstCivilNearMidnight) {
  // Beijing at 116.4° E: local mean time runs 14.4 minutes behind UTC+8;
  // the equation of time adds 5 more minutes here.
  const ChineseCalendar calendar = synthetic_calendar(at("2024-02-04T08:27:00Z"), -5.0);
  const UtcInstant moment = china("2024-06-11T00:10:00");
  auto solar = bazi(calendar, moment, {}, 116.4, 480.0);
  ASSERT_TRUE(solar.has_value());
  EXPECT_EQ(solar->time_basis, "solar");
  EXPECT_EQ(solar->civil_time, "2024-06-11T00:10:00");
  EXPECT_EQ(solar->solar_time, "2024-06-10T23:50:36");  // 00:10 − 14.4 min − 5 min

  BaziOptions civil_basis;
  civil_basis.solar_time = false;
  auto by_civil = bazi(calendar, moment, civil_basis, 116.4, 480.0);
  ASSERT_TRUE(by_civil.has_value());
  EXPECT_EQ(by_civil->time_basis, "civil");
  EXPECT_EQ(by_civil->solar_time, solar->solar_time);  // still reported
  // 23:50 solar is already the next day's zi hour under "next_day".
  EXPECT_EQ(solar->day.cycle, by_civil->day.cycle);
  EXPECT_EQ(solar->hour.cycle, by_civil->hour.cycle);
  BaziOptions split;
  split.zi_hour = "split";
  auto solar_split = bazi(calendar, moment, split, 116.4, 480.0);
  ASSERT_TRUE(solar_split.has_value());
  EXPECT_EQ((solar_split->day.cycle + 1) % 60, by_civil->day.cycle);

  // Civil time is the birth instant plus the offset, to the microsecond;
  // absurd offsets saturate rather than overflow.
  EXPECT_EQ(shifted(moment, -90.0 * kMinute).micros(), moment.micros() - 90 * kMinute);
  EXPECT_EQ(shifted(moment, 0.4).micros(), moment.micros());
  EXPECT_EQ(shifted(moment, 1e300).micros(), INT64_MAX);
  EXPECT_EQ(shifted(UtcInstant(-5), -1e300).micros(), INT64_MIN);
  EXPECT_EQ(shifted(moment, std::nan("")).micros(), moment.micros());
}

TEST(BaziPillars, TenGodsHiddenStemsAndLifeStages) {
  const char* const from_jia[10] = {"friend",           "rob_wealth",     "eating_god",
                                    "hurting_officer",  "indirect_wealth", "direct_wealth",
                                    "seven_killings",   "direct_officer", "indirect_resource",
                                    "direct_resource"};
  for (int stem = 0; stem < 10; ++stem) {
    EXPECT_EQ(ten_god(stem, 0), from_jia[stem]);
    // Shifting both stems by a whole element keeps the relation.
    for (int day = 0; day < 10; ++day) {
      EXPECT_EQ(ten_god(stem, day), ten_god((stem + 2) % 10, (day + 2) % 10));
    }
  }
  // Ren water is produced by geng metal: a resource of the same polarity.
  EXPECT_EQ(ten_god(6, 8), "indirect_resource");

  // Prosperity (di wang) of each day master.
  const char* const prosperity[10] = {"mao", "yin", "wu", "si", "wu", "si", "you", "shen", "zi", "hai"};
  for (int day = 0; day < 10; ++day) {
    int branch = 0;
    while (kBranches[static_cast<size_t>(branch)] != prosperity[day]) ++branch;
    EXPECT_EQ(kLifeStages[static_cast<size_t>(life_stage(branch, day))], "prosperity") << day;
  }

  // Geng-shen seen from a ding day master.
  const Pillar p = pillar(cycle_of(6, 8), 3, false);
  EXPECT_EQ(p.cycle, 56);
  EXPECT_EQ(p.stem, "geng");
  EXPECT_EQ(p.branch, "shen");
  EXPECT_EQ(p.element, "metal");
  EXPECT_EQ(p.polarity, "yang");
  EXPECT_EQ(p.branch_element, "metal");
  EXPECT_EQ(p.animal, "monkey");
  EXPECT_EQ(p.ten_god, "direct_wealth");
  EXPECT_EQ(p.nayin, "pomegranate_wood");
  EXPECT_EQ(p.life_stage, "bath");  // ding: birth at you, counting backward
  ASSERT_EQ(p.hidden_stems.size(), 3u);
  EXPECT_EQ(p.hidden_stems[0].stem, "geng");
  EXPECT_EQ(p.hidden_stems[1].stem, "ren");
  EXPECT_EQ(p.hidden_stems[1].ten_god, "direct_officer");
  EXPECT_EQ(p.hidden_stems[2].element, "earth");
  EXPECT_DOUBLE_EQ(p.hidden_stems[0].weight + p.hidden_stems[1].weight + p.hidden_stems[2].weight, 1.0);
  EXPECT_FALSE(pillar(0, 0, true).ten_god.has_value());
  EXPECT_EQ(pillar(0, 0, true).hidden_stems[0].ten_god, "direct_resource");  // gui for jia

  // Every branch's hidden weights sum to one.
  for (const HiddenStems& h : kHiddenStems) {
    double sum = 0.0;
    for (size_t k = 0; k < h.count; ++k) sum += kHiddenWeights[h.count - 1][k];
    EXPECT_NEAR(sum, 1.0, 1e-12);
  }
}

TEST(BaziPillars, ElementBalanceCountsStemsAndHiddenStems) {
  const Bazi b = civil(calendar_of_year(2024), china("2024-06-10T12:00:00"));
  const double total = b.elements.wood + b.elements.fire + b.elements.earth + b.elements.metal +
                       b.elements.water;
  EXPECT_NEAR(total, 8.0, 1e-9);
  double expected[5] = {};
  for (const Pillar* p : {&b.year, &b.month, &b.day, &b.hour}) {
    expected[stem_element(p->stem_index())] += 1.0;
    for (const HiddenStem& h : p->hidden_stems) {
      for (int e = 0; e < 5; ++e) {
        if (kElements[static_cast<size_t>(e)] == h.element) expected[e] += h.weight;
      }
    }
  }
  EXPECT_DOUBLE_EQ(b.elements.wood, std::round(expected[0] * 100) / 100);
  EXPECT_DOUBLE_EQ(b.elements.fire, std::round(expected[1] * 100) / 100);
  EXPECT_DOUBLE_EQ(b.elements.earth, std::round(expected[2] * 100) / 100);
  EXPECT_DOUBLE_EQ(b.elements.metal, std::round(expected[3] * 100) / 100);
  EXPECT_DOUBLE_EQ(b.elements.water, std::round(expected[4] * 100) / 100);
}

TEST(BaziLunarDate, FromTheCalendarMonths) {
  ChineseCalendar calendar = calendar_of_year(2024);
  calendar.lunar_months = {{2024, 4, false, "2024-05-08", 30}, {2024, 5, false, "2024-06-06", 29}};
  const Bazi b = civil(calendar, china("2024-06-10T12:00:00"));
  ASSERT_TRUE(b.lunar_date.has_value());
  EXPECT_EQ(b.lunar_date->month, 5);
  EXPECT_EQ(b.lunar_date->day, 5u);
  EXPECT_EQ(b.lunar_date->year_stem, "jia");
  EXPECT_EQ(b.lunar_date->animal, "dragon");
  // The first month in list order wins where hand-made months overlap.
  EXPECT_EQ(civil(calendar, china("2024-06-06T12:00:00")).lunar_date->month, 4);
  // The day of the late zi hour counts under "next_day".
  EXPECT_EQ(civil(calendar, china("2024-06-10T23:30:00")).lunar_date->day, 6u);
  EXPECT_FALSE(civil(calendar, china("2024-07-10T12:00:00")).lunar_date.has_value());

  calendar.lunar_months[0].start = "2024-05-8x";
  auto broken = bazi(calendar, china("2024-06-10T12:00:00"), {}, 120.0, 480.0);
  ASSERT_FALSE(broken.has_value());
  EXPECT_EQ(invalid_message(broken.error()), "invalid UTC date-time: 2024-05-8xT00:00:00Z");
}

TEST(BaziLuck, DirectionStartAgeAndPillars) {
  const ChineseCalendar calendar = calendar_of_year(2024);  // jia: a yang year
  const UtcInstant month_term = *calendar.solar_terms[6].instant();
  const UtcInstant next_term = *calendar.solar_terms[8].instant();
  const UtcInstant moment(month_term.micros() + 3 * kDay);
  BaziOptions male;
  male.sex = "male";
  male.luck_pillars = 3;
  const Bazi b = civil(calendar, moment, male);
  ASSERT_TRUE(b.luck.has_value());
  EXPECT_EQ(b.luck->direction, "forward");
  EXPECT_DOUBLE_EQ(b.luck->start_age,
                   static_cast<double>(next_term.micros() - moment.micros()) / 1e6 / 86400.0 / 3.0);
  ASSERT_EQ(b.luck->pillars.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const LuckPillar& lp = b.luck->pillars[static_cast<size_t>(k)];
    EXPECT_EQ(lp.pillar.cycle, (b.month.cycle + k + 1) % 60);
    EXPECT_DOUBLE_EQ(lp.start_age, b.luck->start_age + 10.0 * k);
    EXPECT_EQ(lp.start, shifted(moment, lp.start_age * 365.24219 * 86400e6).isoformat());
    // Each pillar ends where the next begins (to the microsecond's rounding).
    if (k > 0) {
      const UtcInstant end = at(b.luck->pillars[static_cast<size_t>(k - 1)].end);
      EXPECT_LE(std::llabs(at(lp.start).micros() - end.micros()), 1) << k;
    }
  }

  BaziOptions female = male;
  female.sex = "female";
  const Bazi f = civil(calendar, moment, female);
  EXPECT_EQ(f.luck->direction, "backward");
  EXPECT_DOUBLE_EQ(f.luck->start_age, 1.0);  // three days after the month's jie
  EXPECT_EQ(f.luck->pillars[0].pillar.cycle, (b.month.cycle + 59) % 60);

  // A yin year turns the directions round.
  const ChineseCalendar yin_year = calendar_of_year(2025);
  const UtcInstant later = *yin_year.solar_terms[7].instant();
  EXPECT_EQ(civil(yin_year, later, male).luck->direction, "backward");
  EXPECT_EQ(civil(yin_year, later, female).luck->direction, "forward");

  BaziOptions none;
  none.sex = "";
  EXPECT_FALSE(civil(calendar, moment, none).luck.has_value());
  male.luck_pillars = 0;
  const Bazi empty = civil(calendar, moment, male);
  ASSERT_TRUE(empty.luck.has_value());
  EXPECT_TRUE(empty.luck->pillars.empty());
  EXPECT_GT(empty.luck->start_age, 0.0);
}

TEST(BaziAnnual, PillarOfAYear) {
  BaziOptions options;
  options.year = 2026;
  const Bazi b = civil(calendar_of_year(2024), china("2024-06-10T12:00:00"), options);
  ASSERT_TRUE(b.annual.has_value());
  EXPECT_EQ(b.annual->stem, "bing");
  EXPECT_EQ(b.annual->branch, "wu");
  EXPECT_EQ(b.annual->ten_god, ten_god(2, b.day.stem_index()));
  options.year = INT32_MIN;  // far outside any calendar, still a cycle
  EXPECT_EQ(civil(calendar_of_year(2024), china("2024-06-10T12:00:00"), options).annual->cycle,
            year_cycle(INT32_MIN));
}

TEST(BaziFlowPillars, MonthFromTheJieTable) {
  const auto flow_of = [](const std::string& date, double offset = 480.0) {
    BaziOptions options;
    options.date = date;
    options.solar_time = false;
    return bazi(calendar_of_year(2024), china("2024-06-10T12:00:00"), options, 120.0, offset);
  };
  // 2024-02-04 before lichun's 08:27 UTC at noon China time? No: noon at
  // UTC+8 is 04:00 UTC, before lichun, so still the ox month of 2023.
  auto before = flow_of("2024-02-04");
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(before->flow->month_term.name, "xiaohan");
  EXPECT_EQ(before->flow->year.branch, "mao");
  EXPECT_EQ(before->flow->month.branch, "chou");
  EXPECT_EQ(before->flow->month.stem, "yi");  // gui year: jia-yin ... yi-chou
  auto after = flow_of("2024-02-05");
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->flow->month_term.name, "lichun");
  EXPECT_EQ(after->flow->month_term.utc, "2024-02-04T08:27:00+00:00");
  EXPECT_EQ(after->flow->year.branch, "chen");
  EXPECT_EQ(after->flow->month.stem, "bing");
  EXPECT_EQ(after->flow->month.branch, "yin");
  EXPECT_EQ(after->flow->date, "2024-02-05");
  // A western offset moves local noon past the lichun instant.
  EXPECT_EQ(flow_of("2024-02-04", -300.0)->flow->month_term.name, "lichun");
  // The flow day is the date's own day cycle, with a ten god.
  auto day = flow_of("2000-01-01");
  ASSERT_TRUE(day.has_value());
  EXPECT_EQ(day->flow->day.cycle, 54);
  EXPECT_TRUE(day->flow->day.ten_god.has_value());
  // January before xiaohan: the daxue month of the previous year.
  auto january = flow_of("2024-01-03");
  EXPECT_EQ(january->flow->month_term.name, "daxue");
  EXPECT_EQ(january->flow->year.branch, "mao");
  EXPECT_EQ(january->flow->month.branch, "zi");
}

TEST(BaziErrors, Messages) {
  const ChineseCalendar calendar = calendar_of_year(2024);
  const UtcInstant moment = china("2024-06-10T12:00:00");
  const auto message = [&](BaziOptions options, const ChineseCalendar& c) {
    auto result = bazi(c, moment, options, 120.0, 480.0);
    return result ? std::string("ok") : invalid_message(result.error());
  };
  BaziOptions o;
  o.zi_hour = "late";
  o.sex = "other";
  EXPECT_EQ(message(o, calendar), "zi_hour must be \"next_day\" or \"split\"");
  o.zi_hour = "split";
  EXPECT_EQ(message(o, calendar), "sex must be \"male\" or \"female\"");
  o.sex = "Male";
  EXPECT_EQ(message(o, calendar), "sex must be \"male\" or \"female\"");

  EXPECT_EQ(message({}, calendar_of_year(2025)), "the calendar does not cover the birth");
  ChineseCalendar no_next = calendar;
  no_next.solar_terms.resize(9);  // ends before the birth's next jie
  EXPECT_EQ(message({}, no_next), "the calendar does not cover the birth");
  ChineseCalendar no_lichun = calendar;
  no_lichun.solar_terms.erase(no_lichun.solar_terms.begin());
  EXPECT_EQ(message({}, no_lichun), "the calendar does not cover the birth");
  ChineseCalendar bad_utc = calendar;
  bad_utc.solar_terms[20].utc = "2025-01-20";
  EXPECT_EQ(message({}, bad_utc), "invalid UTC date-time: 2025-01-20");

  o = {};
  for (const char* date : {"2024-13-01", "2024/01/01", "", "2024-01-01T00:00"}) {
    o.date = date;
    EXPECT_EQ(message(o, calendar), "date must be YYYY-MM-DD") << date;
  }
  for (const char* date : {"1899-12-31", "1900-01-05", "2102-01-01"}) {
    o.date = date;
    EXPECT_EQ(message(o, calendar), "date is outside the years 1900-2100") << date;
  }
  o.date = "2100-12-31";
  EXPECT_EQ(message(o, calendar), "ok");
}

TEST(BaziJson, KeyOrderAndNulls) {
  const Json j = to_json(civil(calendar_of_year(2024), china("2024-06-10T12:00:00")));
  std::vector<std::string> keys;
  for (const auto& [key, value] : j.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"time_basis", "zi_hour", "civil_time", "solar_time",
                                            "year", "month", "day", "hour", "day_master",
                                            "day_master_element", "elements", "month_term",
                                            "next_term", "lunar_date", "luck", "annual", "flow"}));
  EXPECT_TRUE(j["day"]["ten_god"].is_null());
  EXPECT_TRUE(j["year"]["ten_god"].is_string());
  EXPECT_TRUE(j["luck"].is_null());
  EXPECT_TRUE(j["flow"].is_null());
  std::vector<std::string> pillar_keys;
  for (const auto& [key, value] : j["hour"].items()) pillar_keys.push_back(key);
  EXPECT_EQ(pillar_keys, (std::vector<std::string>{"stem", "branch", "cycle", "element", "polarity",
                                                   "branch_element", "animal", "ten_god",
                                                   "hidden_stems", "nayin", "life_stage"}));
}

}  // namespace
