#include "quorvane/chinese/ziwei.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <vector>
#include <string>
#include <variant>

namespace {

using namespace quorvane;
using namespace quorvane::chinese;

constexpr int64_t kMinute = 60'000'000;
constexpr int64_t kDay = UtcInstant::kMicrosPerDay;

std::string date_text(UtcInstant instant) {
  const CivilFields f = instant.civil();
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", f.year, f.month, f.day);
  return text;
}

int branch_index(std::string_view name) {
  for (int b = 0; b < 12; ++b) {
    if (kBranches[static_cast<size_t>(b)] == name) return b;
  }
  return -1;
}

// A birth on 2024-06-10 China civil time in the hour of `hour_branch`,
// given the lunar date (year, month, day, leap) through the calendar's
// month list: the chart reads its lunar date from there only.
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
  const int64_t step = 365 * kDay / 24;
  for (int i = 0; i <= 24; ++i) {
    const auto longitude = static_cast<uint16_t>((315 + 15 * i) % 360);
    calendar.solar_terms.push_back({std::string(term_name(longitude)), longitude,
                                    longitude % 30 == 15,
                                    UtcInstant(lichun.micros() + i * step).isoformat()});
  }
  // 00:30 for the zi hour, otherwise the middle of the two-hour branch.
  const int hour = birth.hour_branch == 0 ? 0 : 2 * birth.hour_branch - 1;
  const UtcInstant local = UtcInstant::from_civil(2024, 6, 10, static_cast<uint32_t>(hour), 30, 0, 0);
  *moment = UtcInstant(local.micros() - 480 * kMinute);
  const UtcInstant first(local.micros() - static_cast<int64_t>(birth.day - 1) * kDay);
  calendar.lunar_months.push_back({birth.lunar_year, birth.month, birth.leap, date_text(first), 30});
  return calendar;
}

Expected<ZiWei, EngineError> cast(const Birth& birth, ZiWeiOptions options = {}) {
  UtcInstant moment;
  const ChineseCalendar calendar = calendar_for(birth, &moment);
  options.solar_time = false;
  return zi_wei(calendar, moment, options, 120.0, 480.0);
}

ZiWei chart(const Birth& birth, ZiWeiOptions options = {}) {
  auto result = cast(birth, options);
  EXPECT_TRUE(result.has_value()) << (result ? "" : result.error().text());
  return result ? *result : ZiWei{};
}

std::string message(const Expected<ZiWei, EngineError>& result) {
  if (result) return "ok";
  const auto* invalid = std::get_if<InvalidInput>(&result.error().kind);
  return invalid ? invalid->message : result.error().text();
}

// Branch of every star of the star list.
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

TEST(ZiWeiStars, ZiWeiBranchForEveryBureauAndDay) {
  // The borrowing rule: add the fewest days x that make the day divisible
  // by the bureau; count the quotient from yin; step back x when x is odd,
  // forward x when it is even.
  for (int bureau = 2; bureau <= 6; ++bureau) {
    for (int day = 1; day <= 30; ++day) {
      int x = 0;
      while ((day + x) % bureau != 0) ++x;
      const int counted = 2 + (day + x) / bureau - 1;
      const int expected = ((counted + (x % 2 == 1 ? -x : x)) % 12 + 12) % 12;
      EXPECT_EQ(zi_wei_branch(bureau, day), expected) << bureau << " " << day;
    }
  }
  // The first day of each bureau: water chou, wood chen, metal hai, earth wu, fire you.
  EXPECT_EQ(zi_wei_branch(2, 1), 1);
  EXPECT_EQ(zi_wei_branch(3, 1), 4);
  EXPECT_EQ(zi_wei_branch(4, 1), 11);
  EXPECT_EQ(zi_wei_branch(5, 1), 6);
  EXPECT_EQ(zi_wei_branch(6, 1), 9);
}

const std::vector<std::string_view> kStarOrder = {
    "zi_wei",   "tian_ji",   "tai_yang",  "wu_qu",     "tian_tong", "lian_zhen", "tian_fu",
    "tai_yin",  "tan_lang",  "ju_men",    "tian_xiang", "tian_liang", "qi_sha",  "po_jun",
    "zuo_fu",   "you_bi",    "wen_chang", "wen_qu",    "tian_kui",  "tian_yue",  "lu_cun",
    "tian_ma",  "qing_yang", "tuo_luo",   "huo_xing",  "ling_xing", "di_kong",   "di_jie"};

TEST(ZiWeiStars, EveryStarOnceAndTheMajorPatterns) {
  std::map<int, int> bureaus;
  for (int year = 1984; year < 1994; ++year) {
    for (uint8_t month = 1; month <= 12; month += 1) {
      for (uint32_t day = 1; day <= 30; day += 7) {
        const int hour = (year + month + static_cast<int>(day)) % 12;
        const ZiWei z = chart({year, month, day, hour});
        ++bureaus[z.bureau.number];
        const auto at = star_branches(z);
        ASSERT_EQ(at.size(), 28u);
        int majors = 0;
        for (const ZiWeiPalace& p : z.palaces) {
          int last = -1;
          for (const ZiWeiStar& s : p.stars) {
            majors += s.kind == "major";
            // Stars keep the list order inside a palace.
            size_t index = 0;
            while (index < kStarOrder.size() && kStarOrder[index] != s.star) ++index;
            ASSERT_LT(index, kStarOrder.size()) << s.star;
            EXPECT_GT(static_cast<int>(index), last) << s.star;
            last = static_cast<int>(index);
          }
        }
        EXPECT_EQ(majors, 14);
        const int z_branch = at.at("zi_wei");
        EXPECT_EQ(z_branch, zi_wei_branch(z.bureau.number, static_cast<int>(day)));
        // Tian Fu mirrors Zi Wei across the yin-shen axis.
        EXPECT_EQ((z_branch + at.at("tian_fu")) % 12, 4);
        // Zuo Fu and You Bi, Wen Chang and Wen Qu mirror each other across
        // the chou-wei axis; Qing Yang and Tuo Luo flank Lu Cun.
        EXPECT_EQ((at.at("zuo_fu") + at.at("you_bi")) % 12, 2);
        EXPECT_EQ((at.at("wen_chang") + at.at("wen_qu")) % 12, 2);
        EXPECT_EQ((at.at("qing_yang") - at.at("tuo_luo") + 12) % 12, 2);
        EXPECT_EQ((at.at("di_kong") + at.at("di_jie")) % 12, 10);
      }
    }
  }
  EXPECT_EQ(bureaus.size(), 5u);  // every bureau was met
}

TEST(ZiWeiPalaces, OrderStemsAndBody) {
  const char* const yin_palace_stem[5] = {"bing", "wu", "geng", "ren", "jia"};
  for (int year = 2000; year < 2010; ++year) {
    for (int hour = 0; hour < 12; hour += 5) {
      const ZiWei z = chart({year, 5, 10, hour});
      const int life = branch_index(z.life_palace);
      EXPECT_EQ(life, ((5 + 1 - hour) % 12 + 12) % 12);
      EXPECT_EQ(branch_index(z.body_palace), (5 + 1 + hour) % 12);
      int bodies = 0;
      for (int k = 0; k < 12; ++k) {
        const ZiWeiPalace& p = z.palaces[static_cast<size_t>(k)];
        EXPECT_EQ(p.name, kPalaceNames[static_cast<size_t>(k)]);
        const int b = branch_index(p.branch);
        EXPECT_EQ(b, ((life - k) % 12 + 12) % 12);
        bodies += p.is_body;
        EXPECT_EQ(p.is_body, p.branch == z.body_palace);
        if (p.branch == "yin") {
          EXPECT_EQ(p.stem, yin_palace_stem[(year - 4) % 10 % 5]) << year;
        }
        // Stems rise by one per branch from yin (zi and chou after hai).
        const ZiWeiPalace& next = z.palaces[static_cast<size_t>((k + 11) % 12)];
        if (p.branch != "chou") {
          int s = 0, t = 0;
          while (kStems[static_cast<size_t>(s)] != p.stem) ++s;
          while (kStems[static_cast<size_t>(t)] != next.stem) ++t;
          EXPECT_EQ(t, (s + 1) % 10) << p.branch;
        }
      }
      EXPECT_EQ(bodies, 1);
    }
  }
}

// 1984 (jia-zi), first month, first day, zi hour: worked by hand.
TEST(ZiWeiWorkedExample, JiaZiFirstMonthFirstDayZiHour) {
  ZiWeiOptions options;
  options.sex = "male";
  options.year = 2024;
  const ZiWei z = chart({1984, 1, 1, 0}, options);
  EXPECT_EQ(z.month, 1);
  EXPECT_EQ(z.hour_branch, "zi");
  EXPECT_EQ(z.life_palace, "yin");
  EXPECT_EQ(z.body_palace, "yin");
  EXPECT_EQ(z.bureau.element, "fire");  // bing-yin: furnace fire
  EXPECT_EQ(z.bureau.number, 6);
  EXPECT_EQ(z.life_master, "lu_cun");
  EXPECT_EQ(z.body_master, "huo_xing");
  EXPECT_EQ(z.lunar_date.year_stem, "jia");

  const auto at = star_branches(z);
  const std::map<std::string_view, std::string_view> expected = {
      {"zi_wei", "you"},    {"tan_lang", "you"},  {"tian_ji", "shen"},   {"tai_yin", "shen"},
      {"tian_fu", "wei"},   {"tai_yang", "wu"},   {"wu_qu", "si"},       {"po_jun", "si"},
      {"tian_tong", "chen"}, {"lian_zhen", "chou"}, {"qi_sha", "chou"},   {"tian_liang", "zi"},
      {"tian_xiang", "hai"}, {"ju_men", "xu"},    {"zuo_fu", "chen"},    {"you_bi", "xu"},
      {"wen_chang", "xu"},  {"wen_qu", "chen"},   {"tian_kui", "chou"},  {"tian_yue", "wei"},
      {"lu_cun", "yin"},    {"tian_ma", "yin"},   {"qing_yang", "mao"},  {"tuo_luo", "chou"},
      {"huo_xing", "yin"},  {"ling_xing", "xu"},  {"di_kong", "hai"},    {"di_jie", "hai"}};
  for (const auto& [star, branch] : expected) {
    EXPECT_EQ(kBranches[static_cast<size_t>(at.at(star))], branch) << star;
  }

  const ZiWeiPalace& life = z.palaces[0];
  EXPECT_EQ(life.stem, "bing");
  EXPECT_TRUE(life.is_body);
  ASSERT_EQ(life.stars.size(), 3u);
  EXPECT_EQ(life.stars[0].star, "lu_cun");
  EXPECT_EQ(life.stars[1].star, "tian_ma");
  EXPECT_EQ(life.stars[2].star, "huo_xing");
  EXPECT_EQ(life.stars[2].kind, "malefic");
  EXPECT_EQ(life.stars[2].brightness, "miao");
  EXPECT_FALSE(life.stars[0].brightness.has_value());
  EXPECT_EQ(life.decade->start, 6);  // a fire bureau starts at six
  EXPECT_EQ(life.decade->end, 15);
  EXPECT_EQ(palace_named(z, "parents").decade->start, 16);  // yang male runs forward
  EXPECT_EQ(life.gods.life_stage, "birth");  // fire: birth at yin
  EXPECT_EQ(life.gods.boshi, "bo_shi");      // Lu Cun sits here
  EXPECT_EQ(life.gods.suiqian, "sang_men");
  EXPECT_EQ(life.gods.jiangqian, "sui_yi");
  EXPECT_EQ(life.small_limit_ages.front(), 5);
  EXPECT_EQ(life.small_limit_ages.back(), 113);
  EXPECT_EQ(palace_named(z, "wealth").small_limit_ages.front(), 1);  // at xu for a zi year

  const ZiWeiPalace& health = palace_named(z, "health");
  EXPECT_EQ(health.branch, "you");
  ASSERT_EQ(health.stars.size(), 2u);
  EXPECT_EQ(health.stars[0].star, "zi_wei");
  EXPECT_EQ(health.stars[0].brightness, "wang");
  EXPECT_EQ(health.stars[1].star, "tan_lang");
  EXPECT_EQ(health.stars[1].brightness, "li");

  // Jia: Lian Zhen lu, Po Jun quan, Wu Qu ke, Tai Yang ji.
  ASSERT_EQ(z.transformations.size(), 4u);
  EXPECT_EQ(z.transformations[0].star, "lian_zhen");
  EXPECT_EQ(z.transformations[0].palace, "siblings");
  EXPECT_EQ(z.transformations[1].palace, "property");
  EXPECT_EQ(z.transformations[2].kind, "ke");
  EXPECT_EQ(z.transformations[2].palace, "property");
  EXPECT_EQ(z.transformations[3].star, "tai_yang");
  EXPECT_EQ(z.transformations[3].palace, "career");
  EXPECT_EQ(palace_named(z, "siblings").stars[0].transformation, "lu");
  // The life palace's bing stem flies Tian Tong's lu into fortune (chen).
  EXPECT_EQ(life.flying[0].star, "tian_tong");
  EXPECT_EQ(life.flying[0].palace, "fortune");

  const std::vector<std::string_view> minor_of_life = life.minor_stars;
  EXPECT_EQ(minor_of_life, (std::vector<std::string_view>{"tian_cai", "tian_shou", "feng_gao",
                                                          "gu_chen", "yin_sha"}));
  EXPECT_EQ(z.decade_direction, "forward");

  // 2024: nominal age 41, the fourth decade (36-45) at si; small limit at yin.
  ASSERT_TRUE(z.horoscope.has_value());
  const ZiWeiHoroscope& h = *z.horoscope;
  EXPECT_EQ(h.nominal_age, 41);
  ASSERT_TRUE(h.decade.has_value());
  EXPECT_EQ(h.decade->branch, "si");
  EXPECT_EQ(h.decade->stem, "ji");
  EXPECT_EQ(h.decade->palaces[0].god, "life");
  EXPECT_EQ(h.decade->palaces[0].branch, "si");
  EXPECT_FALSE(h.childhood);
  EXPECT_EQ(h.small_limit, "yin");
  EXPECT_EQ(h.yearly.branch, "chen");
  EXPECT_EQ(h.yearly.stem, "jia");
  EXPECT_EQ(h.suiqian[0].god, "sui_jian");
  EXPECT_EQ(h.suiqian[0].branch, "chen");
  EXPECT_EQ(h.jiangqian[0].branch, "zi");  // shen-zi-chen years
  EXPECT_FALSE(h.date.has_value());
  EXPECT_FALSE(h.lunar_date.has_value());
  EXPECT_FALSE(h.monthly.has_value());
  EXPECT_FALSE(h.daily.has_value());
}

TEST(ZiWeiDecades, FirstDecadeStartsAtTheBureau) {
  std::map<int, bool> seen;
  for (uint32_t day = 1; day <= 30; ++day) {
    for (int year = 1990; year < 2000; ++year) {
      ZiWeiOptions options;
      options.sex = "female";
      const ZiWei z = chart({year, 3, day, 4}, options);
      seen[z.bureau.number] = true;
      EXPECT_EQ(z.palaces[0].decade->start, z.bureau.number);
      const bool yang = (year - 4) % 2 == 0;
      EXPECT_EQ(z.decade_direction, yang ? "backward" : "forward");
      // The next decade is in the siblings palace going forward, parents going backward.
      const ZiWeiPalace& second = palace_named(z, yang ? "siblings" : "parents");
      EXPECT_EQ(second.decade->start, z.bureau.number + 10) << year;
    }
  }
  EXPECT_EQ(seen.size(), 5u);
}

TEST(ZiWeiLeapMonth, SecondHalfUnderSplit) {
  const Birth day15{2023, 2, 15, 3, true};
  const Birth day16{2023, 2, 16, 3, true};
  EXPECT_EQ(chart(day15).month, 2);
  EXPECT_EQ(chart(day16).month, 3);
  ZiWeiOptions same;
  same.leap_month = "same";
  EXPECT_EQ(chart(day16, same).month, 2);
  EXPECT_TRUE(chart(day16).lunar_date.leap);
  // The twelfth leap month's second half wraps to the first month.
  EXPECT_EQ(chart({2023, 12, 20, 3, true}).month, 1);
  // Only a leap month splits.
  EXPECT_EQ(chart({2023, 2, 20, 3, false}).month, 2);
  // The month moves the life palace.
  EXPECT_EQ(branch_index(chart(day16).life_palace),
            (branch_index(chart(day16, same).life_palace) + 1) % 12);
  // Hand-made month numbers outside 1-12 are read round the year.
  EXPECT_EQ(chart({2023, 13, 5, 3}).month, 1);
  EXPECT_EQ(chart({2023, 0, 5, 3}).month, 12);
}

TEST(ZiWeiWithoutSex, NoDecadesLimitsOrDirectedGods) {
  ZiWeiOptions options;
  options.year = 1990;
  const ZiWei z = chart({1984, 7, 9, 6}, options);
  EXPECT_FALSE(z.decade_direction.has_value());
  for (const ZiWeiPalace& p : z.palaces) {
    EXPECT_FALSE(p.decade.has_value());
    EXPECT_TRUE(p.small_limit_ages.empty());
    EXPECT_FALSE(p.gods.life_stage.has_value());
    EXPECT_FALSE(p.gods.boshi.has_value());
    EXPECT_FALSE(p.gods.suiqian.empty());
  }
  ASSERT_TRUE(z.horoscope.has_value());
  EXPECT_EQ(z.horoscope->nominal_age, 7);
  EXPECT_FALSE(z.horoscope->decade.has_value());
  EXPECT_FALSE(z.horoscope->small_limit.has_value());
  EXPECT_FALSE(z.horoscope->childhood);
}

TEST(ZiWeiHoroscopes, ChildhoodAndDates) {
  // Fire bureau (worked example): ages 1 to 5 pass through the childhood palaces.
  ZiWeiOptions options;
  options.sex = "male";
  const char* const childhood[5] = {"life", "wealth", "health", "spouse", "fortune"};
  for (int age = 1; age <= 7; ++age) {
    options.year = 1983 + age;
    const ZiWei z = chart({1984, 1, 1, 0}, options);
    const ZiWeiHoroscope& h = *z.horoscope;
    ASSERT_TRUE(h.decade.has_value()) << age;
    if (age < 6) {
      EXPECT_TRUE(h.childhood);
      EXPECT_EQ(h.decade->branch, palace_named(z, childhood[age - 1]).branch) << age;
      EXPECT_EQ(h.decade->stem, palace_named(z, childhood[age - 1]).stem);
    } else {
      EXPECT_FALSE(h.childhood);  // the first decade has begun
      EXPECT_EQ(h.decade->branch, "yin");
    }
  }
  options.year = 1983;  // nominal age 0: nothing
  EXPECT_FALSE(chart({1984, 1, 1, 0}, options).horoscope->decade.has_value());
  options.year = 1984 + 300;
  EXPECT_FALSE(chart({1984, 1, 1, 0}, options).horoscope->small_limit.has_value());

  // A date: its lunar year wins over `year`, with monthly and daily periods.
  options.year = 1999;
  options.date = "2024-02-10";  // first day of the dragon year
  const ZiWei z = chart({1984, 1, 1, 0}, options);
  const ZiWeiHoroscope& h = *z.horoscope;
  EXPECT_EQ(h.year, 2024);
  EXPECT_EQ(h.nominal_age, 41);
  EXPECT_EQ(h.date, "2024-02-10");
  ASSERT_TRUE(h.lunar_date.has_value());
  EXPECT_EQ(h.lunar_date->month, 1);
  EXPECT_EQ(h.lunar_date->day, 1u);
  EXPECT_EQ(h.lunar_date->animal, "dragon");
  // Month 1 of a chen year for a first-month zi-hour birth starts at chen.
  ASSERT_TRUE(h.monthly.has_value());
  EXPECT_EQ(h.monthly->branch, "chen");
  EXPECT_EQ(h.monthly->stem, "bing");  // jia year: bing-yin first month
  ASSERT_TRUE(h.daily.has_value());
  EXPECT_EQ(h.daily->branch, "chen");  // day 1 sits on the month
  const int day_cycle_2024_02_10 = day_cycle(2460351);
  EXPECT_EQ(h.daily->stem, kStems[static_cast<size_t>(day_cycle_2024_02_10 % 10)]);
  EXPECT_EQ(h.daily->stars[7].star, "tian_ma");
  const char* const tian_ma[4] = {"yin", "hai", "shen", "si"};
  EXPECT_EQ(h.daily->stars[7].branch, tian_ma[day_cycle_2024_02_10 % 12 % 4]);
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
  EXPECT_EQ(message(zi_wei(calendar, moment, {}, 120.0, 480.0)),
            "the calendar does not cover the birth date");
  calendar.solar_terms.clear();
  EXPECT_EQ(message(zi_wei(calendar, moment, {}, 120.0, 480.0)),
            "the calendar does not cover the birth");

  o = {};
  o.date = "2024-02-30x";
  EXPECT_EQ(message(cast({}, o)), "date must be YYYY-MM-DD");
  o.date = "1900-01-30";
  EXPECT_EQ(message(cast({}, o)), "date is outside the lunar years 1900-2100");
  o.date = "1900-01-31";
  EXPECT_EQ(message(cast({}, o)), "ok");
  o.date = "2101-01-29";
  EXPECT_EQ(message(cast({}, o)), "date is outside the lunar years 1900-2100");
}

TEST(ZiWeiJson, KeysAndNulls) {
  const Json j = to_json(chart({1984, 1, 1, 0}));
  std::vector<std::string> keys;
  for (const auto& [key, value] : j.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"time_basis", "zi_hour", "lunar_date", "month",
                                            "hour_branch", "life_palace", "body_palace", "bureau",
                                            "life_master", "body_master", "palaces",
                                            "transformations", "decade_direction", "horoscope"}));
  EXPECT_TRUE(j["decade_direction"].is_null());
  EXPECT_TRUE(j["horoscope"].is_null());
  const Json& palace = j["palaces"][0];
  std::vector<std::string> palace_keys;
  for (const auto& [key, value] : palace.items()) palace_keys.push_back(key);
  EXPECT_EQ(palace_keys, (std::vector<std::string>{"name", "branch", "stem", "is_body", "stars",
                                                   "decade", "small_limit_ages", "minor_stars",
                                                   "gods", "flying"}));
  EXPECT_TRUE(palace["decade"].is_null());
  EXPECT_TRUE(palace["small_limit_ages"].is_array());
  EXPECT_TRUE(palace["gods"]["boshi"].is_null());
  EXPECT_EQ(palace["stars"][0].dump(),
            R"({"star":"lu_cun","kind":"auxiliary","brightness":null,"transformation":null})");
}

}  // namespace
