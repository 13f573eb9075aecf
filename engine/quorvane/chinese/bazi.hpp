// The Four Pillars (BaZi) of a birth, cast from a chart's Chinese calendar
// without any kernel: pillars with ten gods, hidden stems, nayin and life
// stages, the element balance, the lunar date, luck pillars, the pillar of
// a year and the pillars of a date.
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
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane::chinese {

struct HiddenStem {
  std::string_view stem;
  std::string_view element;
  std::string_view ten_god;  // relative to the day master
  double weight = 0.0;
};

struct Pillar {
  std::string_view stem;
  std::string_view branch;
  int cycle = 0;  // 0-59
  std::string_view element;
  std::string_view polarity;
  std::string_view branch_element;
  std::string_view animal;
  std::optional<std::string_view> ten_god;  // none for the natal day pillar
  std::vector<HiddenStem> hidden_stems;
  std::string_view nayin;
  std::string_view life_stage;  // of the day master in this branch

  int stem_index() const { return cycle % 10; }
  int branch_index() const { return cycle % 12; }
};

// Stem and hidden-stem weights summed per element, rounded to 0.01.
struct ElementBalance {
  double wood = 0.0;
  double fire = 0.0;
  double earth = 0.0;
  double metal = 0.0;
  double water = 0.0;
};

struct TermMoment {
  std::string name;
  std::string utc;
};

struct LuckPillar {
  double start_age = 0.0;  // years
  std::string start;
  std::string end;
  Pillar pillar;
};

struct Luck {
  std::string_view direction;  // "forward" or "backward"
  double start_age = 0.0;
  std::vector<LuckPillar> pillars;
};

struct BaziFlow {
  std::string date;  // as passed in
  Pillar year;
  Pillar month;
  Pillar day;
  TermMoment month_term;
};

struct Bazi {
  std::string_view time_basis;  // "civil" or "solar"
  std::string_view zi_hour;     // "next_day" or "split"
  std::string civil_time;
  std::string solar_time;
  Pillar year;
  Pillar month;
  Pillar day;
  Pillar hour;
  std::string_view day_master;
  std::string_view day_master_element;
  ElementBalance elements;
  TermMoment month_term;
  TermMoment next_term;
  std::optional<LunarDate> lunar_date;
  std::optional<Luck> luck;
  std::optional<Pillar> annual;
  std::optional<BaziFlow> flow;
};

struct BaziOptions {
  bool solar_time = true;
  std::string zi_hour = "next_day";  // "next_day" (or empty) or "split"
  std::optional<std::string> sex;    // "male", "female"; none or empty: no luck pillars
  uint8_t luck_pillars = 10;
  std::optional<int32_t> year;       // the annual pillar of this year
  std::optional<std::string> date;   // "YYYY-MM-DD": the flow pillars of this date
};

// The pillar of a sexagenary cycle seen from the day master `day_stem`;
// `is_day` marks the natal day pillar, which has no ten god of its own.
Pillar pillar(int cycle, int day_stem, bool is_day);

// The `sex` option: "male" gives true, "female" false, absent or empty
// none; anything else is invalid input.
Expected<std::optional<bool>, EngineError> read_sex(const std::optional<std::string>& sex);

// The Four Pillars of a birth at `moment`, at `longitude` (degrees east)
// where civil time was `utc_offset_minutes` ahead of UTC. Every failure is
// invalid input.
Expected<Bazi, EngineError> bazi(const ChineseCalendar& calendar, UtcInstant moment,
                                 const BaziOptions& options, double longitude,
                                 double utc_offset_minutes);

// `instant` moved by a number of microseconds, rounded to a whole one. A
// shift beyond the instant range saturates and NaN counts as no shift, so
// absurd longitudes or offsets cannot overflow.
UtcInstant shifted(UtcInstant instant, double micros);

void write(RecordWriter& out, const HiddenStem& stem);
void write(RecordWriter& out, const Pillar& pillar);
void write(RecordWriter& out, const TermMoment& term);
void write(RecordWriter& out, const ElementBalance& elements);
void write(RecordWriter& out, const LuckPillar& pillar);
void write(RecordWriter& out, const Luck& luck);
void write(RecordWriter& out, const BaziFlow& flow);
void write(RecordWriter& out, const Bazi& bazi);

}  // namespace quorvane::chinese
