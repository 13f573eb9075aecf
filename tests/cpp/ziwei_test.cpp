#include "quorvane/chinese/ziwei.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace {

using namespace quorvane;
using namespace quorvane::chinese;

constexpr int64_t kDay = UtcInstant::kMicrosPerDay;

int branch_index(std::string_view name) {
  for (int b = 0; b < 12; ++b) {
    if (kBranches[static_cast<size_t>(b)] == name) return b;
  }
  return -1;
}

// A birth on 2024-06-10, China civil time, in the hour of `hour_branch`;
// the lunar date reaches the chart only through the calendar's month list,
// so any date can be set up.
struct Birth {
  int32_t lunar_year = 1984;
  uint8_t month = 1;
  uint32_t day = 1;
  int hour_branch = 0;
  bool leap = false;
};

ChineseCalendar calendar_for(const Birth& birth, UtcInstant* moment) {
  ChineseCalendar calendar;
  const UtcInstant lichun = *UtcInstant::parse("2024-02-04T08:27:00Z");
  for (int i = 0; i <= 24; ++i) {
    const auto longitude = static_cast<uint16_t>((315 + 15 * i) % 360);
    calendar.solar_terms.push_back({std::string(term_name(longitude)), longitude, longitude % 30 == 15,
                                    UtcInstant(lichun.micros() + i * (365 * kDay / 24)).isoformat()});
  }
  const int hour = birth.hour_branch == 0 ? 0 : 2 * birth.hour_branch - 1;
  const UtcInstant local = UtcInstant::from_civil(2024, 6, 10, static_cast<uint32_t>(hour), 30, 0, 0);
  *moment = UtcInstant(local.micros() - 8 * 3'600'000'000LL);
  const CivilFields first = UtcInstant(local.micros() - (birth.day - 1) * kDay).civil();
  char start[16];
  std::snprintf(start, sizeof start, "%04d-%02u-%02u", first.year, first.month, first.day);
  calendar.lunar_months.push_back({birth.lunar_year, birth.month, birth.leap, start, 30});
  return calendar;
}

Expected<ZiWei, EngineError> cast(const Birth& birth, ZiWeiOptions options = {}) {
  UtcInstant moment;
  const ChineseCalendar calendar = calendar_for(birth, &moment);
  options.solar_time = false;
  return zi_wei(calendar, moment, options, 120.0, 480.0);
}

std::string message(const Expected<ZiWei, EngineError>& result) {
  if (result) return "ok";
  const auto* invalid = std::get_if<InvalidInput>(&result.error().kind);
  return invalid ? invalid->message : result.error().text();
}

ZiWei chart(const Birth& birth, ZiWeiOptions options = {}) {
  auto result = cast(birth, options);
  EXPECT_TRUE(result.has_value()) << message(result);
  return result ? *result : ZiWei{};
}

std::map<std::string_view, int> star_branches(const ZiWei& z) {
  std::map<std::string_view, int> out;
  for (const ZiWeiPalace& p : z.palaces) {
    for (const ZiWeiStar& s : p.stars) {
      EXPECT_EQ(out.count(s.star), 0u) << s.star << " placed twice";
      out[s.star] = branch_index(p.branch);
    }
  }
  return out;
}

const ZiWeiPalace& palace_named(const ZiWei& z, std::string_view name) {
  for (const ZiWeiPalace& p : z.palaces) {
    if (p.name == name) return p;
  }
  return z.palaces.front();
}

const std::vector<std::string_view> kStarOrder = {
    "zi_wei",  "tian_ji",   "tai_yang",  "wu_qu",     "tian_tong", "lian_zhen", "tian_fu",
    "tai_yin", "tan_lang",  "ju_men",    "tian_xiang", "tian_liang", "qi_sha",  "po_jun",
    "zuo_fu",  "you_bi",    "wen_chang", "wen_qu",    "tian_kui",  "tian_yue",  "lu_cun",
    "tian_ma", "qing_yang", "tuo_luo",   "huo_xing",  "ling_xing", "di_kong",   "di_jie"};

TEST(ZiWeiStars, ZiWeiBranchForEveryBureauAndDay) {
  // Borrowing: add the fewest days x that make the day divisible by the
  // bureau, count the quotient from yin, then step back x if x is odd,
  // forward x if it is even.
  for (int bureau = 2; bureau <= 6; ++bureau) {
    for (int day = 1; day <= 30; ++day) {
      int x = 0;
      while ((day + x) % bureau != 0) ++x;
      const int counted = 2 + (day + x) / bureau - 1;
      EXPECT_EQ(zi_wei_branch(bureau, day), ((counted + (x % 2 == 1 ? -x : x)) % 12 + 12) % 12)
          << bureau << " " << day;
    }
  }
}

TEST(ZiWeiStars, EveryStarOnceInListOrder) {
  std::map<int, int> bureaus;
  for (int year = 1984; year < 1994; ++year) {
    for (uint8_t month = 1; month <= 12; ++month) {
      for (uint32_t day = 1; day <= 30; day += 7) {
        const ZiWei z = chart({year, month, day, (year + month + static_cast<int>(day)) % 12});
        ++bureaus[z.bureau.number];
        const auto at = star_branches(z);
        ASSERT_EQ(at.size(), 28u);
        int majors = 0;
        for (const ZiWeiPalace& p : z.palaces) {
          int last = -1;
          for (const ZiWeiStar& s : p.stars) {
            majors += s.kind == "major";
            const auto index = static_cast<int>(
                std::find(kStarOrder.begin(), kStarOrder.end(), s.star) - kStarOrder.begin());
            EXPECT_GT(index, last) << s.star;
            last = index;
          }
        }
        EXPECT_EQ(majors, 14);
        EXPECT_EQ(at.at("zi_wei"), zi_wei_branch(z.bureau.number, static_cast<int>(day)));
        EXPECT_EQ((at.at("zi_wei") + at.at("tian_fu")) % 12, 4);  // mirrored about yin-shen
        EXPECT_EQ((at.at("zuo_fu") + at.at("you_bi")) % 12, 2);   // mirrored about chou-wei
        EXPECT_EQ((at.at("wen_chang") + at.at("wen_qu")) % 12, 2);
      }
    }
  }
  EXPECT_EQ(bureaus.size(), 5u);
}

TEST(ZiWeiPalaces, OrderStemsAndBody) {
  const char* const yin_palace_stem[5] = {"bing", "wu", "geng", "ren", "jia"};
  for (int year = 2000; year < 2010; ++year) {
    for (int hour = 0; hour < 12; hour += 5) {
      const ZiWei z = chart({year, 5, 10, hour});
      const int life = branch_index(z.life_palace);
      EXPECT_EQ(life, ((6 - hour) % 12 + 12) % 12);
      EXPECT_EQ(branch_index(z.body_palace), (6 + hour) % 12);
      int bodies = 0;
      for (int k = 0; k < 12; ++k) {
        const ZiWeiPalace& p = z.palaces[static_cast<size_t>(k)];
        EXPECT_EQ(p.name, kPalaceNames[static_cast<size_t>(k)]);
        EXPECT_EQ(branch_index(p.branch), ((life - k) % 12 + 12) % 12);
        bodies += p.is_body;
        EXPECT_EQ(p.is_body, p.branch == z.body_palace);
        if (p.branch == "yin") {
          EXPECT_EQ(p.stem, yin_palace_stem[(year - 4) % 10 % 5]) << year;
        }
      }
      EXPECT_EQ(bodies, 1);
    }
  }
}

// Lunar 1984 (jia-zi), first month, first day, zi hour, a man: worked by hand.
TEST(ZiWeiWorkedExample, JiaZiFirstMonthFirstDayZiHour) {
  ZiWeiOptions options;
  options.sex = "male";
  options.year = 2024;
  const ZiWei z = chart({1984, 1, 1, 0}, options);
  EXPECT_EQ(z.life_palace, "yin");
  EXPECT_EQ(z.body_palace, "yin");
  EXPECT_EQ(z.bureau.element, "fire");  // bing-yin: furnace fire
  EXPECT_EQ(z.bureau.number, 6);
  EXPECT_EQ(z.life_master, "lu_cun");
  EXPECT_EQ(z.body_master, "huo_xing");

  const auto at = star_branches(z);
  const std::map<std::string_view, std::string_view> expected = {
      {"zi_wei", "you"},     {"tan_lang", "you"},    {"tian_ji", "shen"},  {"tai_yin", "shen"},
      {"tian_fu", "wei"},    {"tai_yang", "wu"},     {"wu_qu", "si"},      {"po_jun", "si"},
      {"tian_tong", "chen"}, {"lian_zhen", "chou"},  {"qi_sha", "chou"},   {"tian_liang", "zi"},
      {"tian_xiang", "hai"}, {"ju_men", "xu"},       {"zuo_fu", "chen"},   {"you_bi", "xu"},
      {"wen_chang", "xu"},   {"wen_qu", "chen"},     {"tian_kui", "chou"}, {"tian_yue", "wei"},
      {"lu_cun", "yin"},     {"tian_ma", "yin"},     {"qing_yang", "mao"}, {"tuo_luo", "chou"},
      {"huo_xing", "yin"},   {"ling_xing", "xu"},    {"di_kong", "hai"},   {"di_jie", "hai"}};
  for (const auto& [star, branch] : expected) {
    EXPECT_EQ(kBranches[static_cast<size_t>(at.at(star))], branch) << star;
  }

  const ZiWeiPalace& life = z.palaces[0];
  EXPECT_EQ(life.stem, "bing");
  ASSERT_EQ(life.stars.size(), 3u);
  EXPECT_EQ(life.stars[2].star, "huo_xing");
  EXPECT_EQ(life.stars[2].brightness, "miao");
  EXPECT_FALSE(life.stars[0].brightness.has_value());  // lu_cun has none
  EXPECT_EQ(life.minor_stars,
            (std::vector<std::string_view>{"tian_cai", "tian_shou", "feng_gao", "gu_chen", "yin_sha"}));
  EXPECT_EQ(life.decade->start, 6);  // a fire bureau starts at six
  EXPECT_EQ(palace_named(z, "parents").decade->start, 16);  // a yang man runs forward
  EXPECT_EQ(life.gods.life_stage, "birth");
  EXPECT_EQ(life.gods.boshi, "bo_shi");
  EXPECT_EQ(life.gods.suiqian, "sang_men");
  EXPECT_EQ(life.gods.jiangqian, "sui_yi");
  EXPECT_EQ(life.small_limit_ages.front(), 5);
  EXPECT_EQ(life.small_limit_ages.back(), 113);
  EXPECT_EQ(palace_named(z, "wealth").small_limit_ages.front(), 1);  // xu for a zi year
  const ZiWeiPalace& health = palace_named(z, "health");
  EXPECT_EQ(health.stars[0].brightness, "wang");  // zi_wei at you
  EXPECT_EQ(health.stars[1].brightness, "li");    // tan_lang at you

  // Jia: Lian Zhen lu, Po Jun quan, Wu Qu ke, Tai Yang ji.
  ASSERT_EQ(z.transformations.size(), 4u);
  EXPECT_EQ(z.transformations[0].palace, "siblings");
  EXPECT_EQ(z.transformations[1].palace, "property");
  EXPECT_EQ(z.transformations[3].palace, "career");
  EXPECT_EQ(palace_named(z, "siblings").stars[0].transformation, "lu");
  EXPECT_EQ(life.flying[0].star, "tian_tong");  // bing's lu flies to fortune
  EXPECT_EQ(life.flying[0].palace, "fortune");

  // 2024: nominal age 41, the decade 36-45 at si; the small limit at yin.
  const ZiWeiHoroscope& h = *z.horoscope;
  EXPECT_EQ(h.nominal_age, 41);
  ASSERT_TRUE(h.decade.has_value());
  EXPECT_EQ(h.decade->branch, "si");
  EXPECT_EQ(h.decade->stem, "ji");
  EXPECT_EQ(h.decade->palaces[1].branch, "chen");
  EXPECT_EQ(h.small_limit, "yin");
  EXPECT_EQ(h.yearly.stem, "jia");
  EXPECT_EQ(h.suiqian[0].branch, "chen");
  EXPECT_EQ(h.jiangqian[0].branch, "zi");
  EXPECT_FALSE(h.lunar_date.has_value());
  EXPECT_FALSE(h.monthly.has_value());
  EXPECT_FALSE(h.daily.has_value());
}

TEST(ZiWeiDecades, FirstDecadeAtTheBureauForBothDirections) {
  ZiWeiOptions options;
  options.sex = "female";
  for (uint32_t day = 1; day <= 30; day += 3) {
    for (int year = 1990; year < 1992; ++year) {
      const ZiWei z = chart({year, 3, day, 4}, options);
      const bool yang = (year - 4) % 2 == 0;
      EXPECT_EQ(z.decade_direction, yang ? "backward" : "forward");
      EXPECT_EQ(z.palaces[0].decade->start, z.bureau.number);
      EXPECT_EQ(palace_named(z, yang ? "siblings" : "parents").decade->start, z.bureau.number + 10);
    }
  }
}

TEST(ZiWeiLeapMonth, SecondHalfUnderSplit) {
  EXPECT_EQ(chart({2023, 2, 15, 3, true}).month, 2);
  EXPECT_EQ(chart({2023, 2, 16, 3, true}).month, 3);
  ZiWeiOptions same;
  same.leap_month = "same";
  EXPECT_EQ(chart({2023, 2, 16, 3, true}, same).month, 2);
  EXPECT_EQ(chart({2023, 12, 20, 3, true}).month, 1);
  EXPECT_EQ(chart({2023, 2, 20, 3, false}).month, 2);
  // Hand-made month numbers outside 1-12 are read round the year, not off a table.
  EXPECT_EQ(chart({2023, 13, 5, 3}).month, 1);
  EXPECT_EQ(chart({2023, 0, 5, 3}).month, 12);
}

TEST(ZiWeiHoroscopes, WithoutSexChildhoodAndDates) {
  ZiWeiOptions options;
  options.year = 1990;
  const ZiWei plain = chart({1984, 7, 9, 6}, options);
  EXPECT_FALSE(plain.decade_direction.has_value());
  for (const ZiWeiPalace& p : plain.palaces) {
    EXPECT_FALSE(p.decade.has_value());
    EXPECT_TRUE(p.small_limit_ages.empty());
    EXPECT_FALSE(p.gods.life_stage.has_value());
    EXPECT_FALSE(p.gods.boshi.has_value());
  }
  EXPECT_EQ(plain.horoscope->nominal_age, 7);
  EXPECT_FALSE(plain.horoscope->decade.has_value());
  EXPECT_FALSE(plain.horoscope->small_limit.has_value());

  // The fire bureau's first five years pass through the childhood palaces.
  options.sex = "male";
  const char* const childhood[5] = {"life", "wealth", "health", "spouse", "fortune"};
  for (int age = 1; age <= 6; ++age) {
    options.year = 1983 + age;
    const ZiWei z = chart({1984, 1, 1, 0}, options);
    ASSERT_TRUE(z.horoscope->decade.has_value()) << age;
    EXPECT_EQ(z.horoscope->childhood, age < 6);
    EXPECT_EQ(z.horoscope->decade->branch, palace_named(z, age < 6 ? childhood[age - 1] : "life").branch);
  }

  options.date = "2024-02-10";  // the first day of the dragon year; wins over `year`
  const ZiWeiHoroscope h = *chart({1984, 1, 1, 0}, options).horoscope;
  EXPECT_EQ(h.year, 2024);
  EXPECT_EQ(h.date, "2024-02-10");
  EXPECT_EQ(h.lunar_date->month, 1);
  EXPECT_EQ(h.lunar_date->day, 1u);
  EXPECT_EQ(h.monthly->branch, "chen");  // first month of a chen year, zi-hour first-month birth
  EXPECT_EQ(h.monthly->stem, "bing");
  EXPECT_EQ(h.daily->branch, "chen");    // day one sits on the month
  EXPECT_EQ(h.daily->stem, kStems[static_cast<size_t>(day_cycle(2460351) % 10)]);
}

TEST(ZiWeiErrors, Messages) {
  ZiWeiOptions o;
  o.leap_month = "both";
  o.sex = "x";
  o.zi_hour = "x";
  EXPECT_EQ(message(cast({}, o)), "leap_month must be \"split\" or \"same\"");
  o.leap_month = "";
  EXPECT_EQ(message(cast({}, o)), "sex must be \"male\" or \"female\"");
  o.sex = "";
  EXPECT_EQ(message(cast({}, o)), "zi_hour must be \"next_day\" or \"split\"");

  UtcInstant moment;
  ChineseCalendar calendar = calendar_for({}, &moment);
  calendar.lunar_months.clear();
  EXPECT_EQ(message(zi_wei(calendar, moment, {}, 120.0, 480.0)), "the calendar does not cover the birth date");

  o = {};
  o.date = "2024-02-30x";
  EXPECT_EQ(message(cast({}, o)), "date must be YYYY-MM-DD");
  for (const char* date : {"1900-01-30", "2101-01-29"}) {
    o.date = date;
    EXPECT_EQ(message(cast({}, o)), "date is outside the lunar years 1900-2100");
  }
  o.date = "1900-01-31";
  EXPECT_EQ(message(cast({}, o)), "ok");
}

}  // namespace
