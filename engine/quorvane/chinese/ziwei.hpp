// The Zi Wei Dou Shu (Purple Star) chart of a birth, cast from a chart's
// Chinese calendar without any kernel: twelve palaces with their stems,
// the bureau, major, auxiliary, malefic and minor stars, brightness, the
// four transformations, four god cycles, decades, small limits and an
// optional horoscope for a year or a date.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chinese/calendar.hpp"
#include "quorvane/chinese/vocabulary.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane::chinese {

inline constexpr std::array<std::string_view, 12> kPalaceNames = {
    "life",   "siblings", "spouse",  "children", "wealth",  "health",
    "travel", "friends",  "career",  "property", "fortune", "parents"};

struct Bureau {
  std::string_view element;  // "water", "wood", "metal", "earth", "fire"
  int number = 0;            // 2, 3, 4, 5, 6
};

struct ZiWeiStar {
  std::string_view star;
  std::string_view kind;  // "major", "auxiliary", "malefic"
  std::optional<std::string_view> brightness;
  std::optional<std::string_view> transformation;  // the birth year's: "lu", "quan", "ke", "ji"
};

struct ZiWeiTransformation {
  std::string_view kind;
  std::string_view star;
  std::string_view palace;  // the natal palace holding the star
};

struct AgeRange {
  int start = 0;
  int end = 0;
};

struct ZiWeiGods {
  std::optional<std::string_view> life_stage;  // none without sex
  std::optional<std::string_view> boshi;       // none without sex
  std::string_view suiqian;
  std::string_view jiangqian;
};

struct ZiWeiPalace {
  std::string_view name;
  std::string_view branch;
  std::string_view stem;
  bool is_body = false;
  std::vector<ZiWeiStar> stars;
  std::optional<AgeRange> decade;
  std::vector<int> small_limit_ages;  // ten ages, empty without sex
  std::vector<std::string_view> minor_stars;
  ZiWeiGods gods;
  std::vector<ZiWeiTransformation> flying;  // of the palace's stem
};

struct ZiWeiGod {
  std::string_view god;
  std::string_view branch;
};

struct ZiWeiFlowStar {
  std::string_view star;
  std::string_view branch;
};

struct ZiWeiPeriod {
  std::string_view branch;
  std::string_view stem;
  std::vector<ZiWeiGod> palaces;  // palace names rotated to this period
  std::vector<ZiWeiTransformation> transformations;
  std::vector<ZiWeiFlowStar> stars;
};

struct ZiWeiHoroscope {
  int32_t year = 0;
  int64_t nominal_age = 0;
  std::optional<ZiWeiPeriod> decade;
  bool childhood = false;
  std::optional<std::string_view> small_limit;
  ZiWeiPeriod yearly;
  std::vector<ZiWeiGod> suiqian;
  std::vector<ZiWeiGod> jiangqian;
  std::optional<std::string> date;
  std::optional<LunarDate> lunar_date;
  std::optional<ZiWeiPeriod> monthly;
  std::optional<ZiWeiPeriod> daily;
};

struct ZiWei {
  std::string_view time_basis;
  std::string_view zi_hour;
  LunarDate lunar_date;
  int month = 0;  // effective lunar month after the leap rule, 1-12
  std::string_view hour_branch;
  std::string_view life_palace;
  std::string_view body_palace;
  Bureau bureau;
  std::string_view life_master;
  std::string_view body_master;
  std::vector<ZiWeiPalace> palaces;
  std::vector<ZiWeiTransformation> transformations;
  std::optional<std::string_view> decade_direction;  // none without sex
  std::optional<ZiWeiHoroscope> horoscope;
};

struct ZiWeiOptions {
  bool solar_time = true;
  std::string zi_hour = "next_day";
  std::optional<std::string> sex;
  std::string leap_month = "split";  // "split" (or empty) or "same"
  std::optional<int32_t> year;       // horoscope of this lunar year
  std::optional<std::string> date;   // horoscope of this date, "YYYY-MM-DD"
};

// The Zi Wei branch of the bureau number (2-6) and lunar day (1 and up).
int zi_wei_branch(int bureau, int day);

// The chart of a birth at `moment`, at `longitude` (degrees east) where
// civil time was `utc_offset_minutes` ahead of UTC. Every failure is
// invalid input.
Expected<ZiWei, EngineError> zi_wei(const ChineseCalendar& calendar, UtcInstant moment,
                                    const ZiWeiOptions& options, double longitude,
                                    double utc_offset_minutes);

void write(RecordWriter& out, const Bureau& bureau);
void write(RecordWriter& out, const ZiWeiStar& star);
void write(RecordWriter& out, const ZiWeiTransformation& transformation);
void write(RecordWriter& out, const AgeRange& range);
void write(RecordWriter& out, const ZiWeiGods& gods);
void write(RecordWriter& out, const ZiWeiPalace& palace);
void write(RecordWriter& out, const ZiWeiGod& god);
void write(RecordWriter& out, const ZiWeiFlowStar& star);
void write(RecordWriter& out, const ZiWeiPeriod& period);
void write(RecordWriter& out, const ZiWeiHoroscope& horoscope);
void write(RecordWriter& out, const ZiWei& chart);

}  // namespace quorvane::chinese
