#include "quorvane/chinese/bazi.hpp"

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "quorvane/chinese/jie_table.hpp"

namespace quorvane::chinese {
namespace {

constexpr double kMicrosPerMinute = 60'000'000.0;
constexpr double kMicrosPerDay = 86'400'000'000.0;
constexpr uint16_t kLichun = 315;

EngineError invalid(const char* message) { return EngineError::invalid_input(message); }

// "YYYY-MM-DDTHH:MM:SS", local wall-clock time without a zone.
std::string wall_clock(UtcInstant instant) {
  const CivilFields f = instant.civil();
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02u", f.year, f.month, f.day, f.hour,
                f.minute, f.second);
  return text;
}

// Month index 0 ("yin", begun by lichun) to 11 ("chou", begun by xiaohan)
// and the year stem give the month pillar.
int month_cycle(int month_index, int year_stem) {
  const int stem = (2 * (year_stem % 5) + 2 + month_index) % 10;
  const int branch = (month_index + 2) % 12;
  return cycle_of(stem, branch);
}

// The table's jie in their row order, from "xiaohan" (285°) by 30°.
std::string_view table_jie_name(int index) {
  return term_name(static_cast<uint16_t>((285 + 30 * index) % 360));
}

ElementBalance element_balance(const Pillar* const* pillars) {
  double totals[5] = {};
  for (int i = 0; i < 4; ++i) {
    const Pillar& p = *pillars[i];
    totals[stem_element(p.stem_index())] += 1.0;
    const HiddenStems& hidden = kHiddenStems[static_cast<size_t>(p.branch_index())];
    for (size_t k = 0; k < hidden.count; ++k) {
      totals[stem_element(hidden.stems[k])] += kHiddenWeights[hidden.count - 1][k];
    }
  }
  const auto rounded = [](double x) { return std::round(x * 100.0) / 100.0; };
  return {rounded(totals[0]), rounded(totals[1]), rounded(totals[2]), rounded(totals[3]),
          rounded(totals[4])};
}

// The natal terms around the birth, by index into the calendar's list.
struct BirthTerms {
  size_t year;
  size_t month;
  size_t next;
};

std::optional<BirthTerms> birth_terms(const ChineseCalendar& calendar,
                                      const std::vector<UtcInstant>& instants, UtcInstant birth) {
  std::optional<size_t> year, month, next;
  for (size_t i = 0; i < instants.size(); ++i) {
    const SolarTerm& term = calendar.solar_terms[i];
    if (instants[i] <= birth) {
      if (term.longitude == kLichun) year = i;
      if (term.jie) month = i;
    } else if (term.jie && !next) {
      next = i;
    }
  }
  if (!year || !month || !next) return std::nullopt;
  return BirthTerms{*year, *month, *next};
}

Expected<BaziFlow, EngineError> flow_of(const std::string& date, int day_stem,
                                        double utc_offset_minutes) {
  auto noon = UtcInstant::parse(date + "T12:00:00Z");
  if (!noon) return unexpected(invalid("date must be YYYY-MM-DD"));
  const UtcInstant local_noon = shifted(*noon, -(utc_offset_minutes * kMicrosPerMinute));
  const auto jie = jie_table::jie_before(local_noon);
  if (!jie) return unexpected(invalid("date is outside the years 1900-2100"));

  const int j = jie->index;
  const int month_index = (j + 11) % 12;
  // A xiaohan in January still belongs to the previous year's cycle.
  const int year = year_cycle(j == 0 ? int64_t{jie->year} - 1 : int64_t{jie->year});
  BaziFlow flow;
  flow.date = date;
  flow.year = pillar(year, day_stem, false);
  flow.month = pillar(month_cycle(month_index, year % 10), day_stem, false);
  flow.day = pillar(day_cycle(day_number(*noon)), day_stem, false);
  flow.month_term = {std::string(table_jie_name(j)), jie->instant.isoformat()};
  return flow;
}

}  // namespace

UtcInstant shifted(UtcInstant instant, double micros) {
  const double whole = std::round(micros);
  if (std::isnan(whole)) return instant;
  constexpr double kLimit = 9.2233720368547758e18;  // 2^63
  int64_t step = 0;
  if (whole >= kLimit) {
    step = std::numeric_limits<int64_t>::max();
  } else if (whole <= -kLimit) {
    step = std::numeric_limits<int64_t>::min();
  } else {
    step = static_cast<int64_t>(whole);
  }
  int64_t out = 0;
  if (__builtin_add_overflow(instant.micros(), step, &out)) {
    out = step > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  }
  return UtcInstant(out);
}

Pillar pillar(int cycle, int day_stem, bool is_day) {
  const int stem = cycle % 10;
  const int branch = cycle % 12;
  const auto b = static_cast<size_t>(branch);
  Pillar p;
  p.stem = kStems[static_cast<size_t>(stem)];
  p.branch = kBranches[b];
  p.cycle = cycle;
  p.element = kElements[static_cast<size_t>(stem_element(stem))];
  p.polarity = polarity(stem);
  p.branch_element = kElements[kBranchElement[b]];
  p.animal = kAnimals[b];
  if (!is_day) p.ten_god = ten_god(stem, day_stem);
  const HiddenStems& hidden = kHiddenStems[b];
  for (size_t k = 0; k < hidden.count; ++k) {
    const int h = hidden.stems[k];
    p.hidden_stems.push_back({kStems[static_cast<size_t>(h)],
                              kElements[static_cast<size_t>(stem_element(h))], ten_god(h, day_stem),
                              kHiddenWeights[hidden.count - 1][k]});
  }
  p.nayin = kNayin[static_cast<size_t>(cycle / 2)];
  p.life_stage = kLifeStages[static_cast<size_t>(life_stage(branch, day_stem))];
  return p;
}

Expected<std::optional<bool>, EngineError> read_sex(const std::optional<std::string>& sex) {
  if (!sex || sex->empty()) return std::optional<bool>();
  if (*sex == "male") return std::optional<bool>(true);
  if (*sex == "female") return std::optional<bool>(false);
  return unexpected(invalid("sex must be \"male\" or \"female\""));
}

Expected<Bazi, EngineError> bazi(const ChineseCalendar& calendar, UtcInstant moment,
                                 const BaziOptions& options, double longitude,
                                 double utc_offset_minutes) {
  bool split = false;
  if (options.zi_hour == "split") {
    split = true;
  } else if (!options.zi_hour.empty() && options.zi_hour != "next_day") {
    return unexpected(invalid("zi_hour must be \"next_day\" or \"split\""));
  }
  auto sex = read_sex(options.sex);
  if (!sex) return unexpected(std::move(sex.error()));
  const std::optional<bool> male = *sex;

  std::vector<UtcInstant> instants;
  instants.reserve(calendar.solar_terms.size());
  for (const SolarTerm& term : calendar.solar_terms) {
    auto instant = term.instant();
    if (!instant) return unexpected(std::move(instant.error()));
    instants.push_back(*instant);
  }
  const auto terms = birth_terms(calendar, instants, moment);
  if (!terms) return unexpected(invalid("the calendar does not cover the birth"));

  const int year = year_cycle(instants[terms->year].civil().year);
  const SolarTerm& month_term = calendar.solar_terms[terms->month];
  const int month_index = ((month_term.longitude + 45) % 360) / 30;
  const int month = month_cycle(month_index, year % 10);

  const UtcInstant civil = shifted(moment, utc_offset_minutes * kMicrosPerMinute);
  // Local mean time from the longitude, plus the equation of time: true solar time.
  const UtcInstant solar =
      shifted(moment, (4.0 * longitude + calendar.equation_of_time) * kMicrosPerMinute);
  const UtcInstant basis = options.solar_time ? solar : civil;
  const int64_t basis_day = day_number(basis);
  const int hour_of_day = static_cast<int>(basis.civil().hour);
  // Under "next_day" the zi hour from 23:00 already belongs to the next day.
  const int64_t day_of_pillar = basis_day + (hour_of_day >= 23 && !split ? 1 : 0);
  const int day = day_cycle(day_of_pillar);
  const int day_stem = day % 10;

  const int hour_branch = ((hour_of_day + 1) / 2) % 12;
  // Under either rule the 23:00 zi hour takes its stem from the next day.
  const int hour_day_stem = day_cycle(basis_day + (hour_of_day == 23 ? 1 : 0)) % 10;
  const int hour = cycle_of((2 * (hour_day_stem % 5) + hour_branch) % 10, hour_branch);

  Bazi out;
  out.time_basis = options.solar_time ? "solar" : "civil";
  out.zi_hour = split ? "split" : "next_day";
  out.civil_time = wall_clock(civil);
  out.solar_time = wall_clock(solar);
  out.year = pillar(year, day_stem, false);
  out.month = pillar(month, day_stem, false);
  out.day = pillar(day, day_stem, true);
  out.hour = pillar(hour, day_stem, false);
  out.day_master = out.day.stem;
  out.day_master_element = out.day.element;
  const Pillar* natal[4] = {&out.year, &out.month, &out.day, &out.hour};
  out.elements = element_balance(natal);
  out.month_term = {month_term.name, instants[terms->month].isoformat()};
  out.next_term = {calendar.solar_terms[terms->next].name, instants[terms->next].isoformat()};

  for (const LunarMonth& m : calendar.lunar_months) {
    auto start = m.start_day();
    if (!start) return unexpected(std::move(start.error()));
    if (*start <= day_of_pillar && day_of_pillar < *start + m.days) {
      out.lunar_date = lunar_date(m.year, m.month, m.leap,
                                  static_cast<uint32_t>(day_of_pillar - *start + 1));
      break;
    }
  }

  if (male) {
    Luck luck;
    const bool forward = (year % 2 == 0) == *male;
    luck.direction = forward ? "forward" : "backward";
    const int64_t span = forward ? instants[terms->next].micros() - moment.micros()
                                 : moment.micros() - instants[terms->month].micros();
    // Three days of the span to the term count as one year of age.
    luck.start_age = static_cast<double>(span) / 1e6 / 86400.0 / 3.0;
    for (int k = 1; k <= options.luck_pillars; ++k) {
      LuckPillar lp;
      lp.start_age = luck.start_age + 10.0 * (k - 1);
      const int cycle = wrap(forward ? month + k : month - k, 60);
      lp.start = shifted(moment, lp.start_age * kTropicalYear * kMicrosPerDay).isoformat();
      lp.end = shifted(moment, (lp.start_age + 10.0) * kTropicalYear * kMicrosPerDay).isoformat();
      lp.pillar = pillar(cycle, day_stem, false);
      luck.pillars.push_back(std::move(lp));
    }
    out.luck = std::move(luck);
  }

  if (options.year) out.annual = pillar(year_cycle(*options.year), day_stem, false);

  if (options.date) {
    auto flow = flow_of(*options.date, day_stem, utc_offset_minutes);
    if (!flow) return unexpected(std::move(flow.error()));
    out.flow = std::move(*flow);
  }
  return out;
}

void write(RecordWriter& out, const HiddenStem& h) {
  ObjectWriter(out)
      .field("stem", h.stem)
      .field("element", h.element)
      .field("ten_god", h.ten_god)
      .field("weight", h.weight);
}

void write(RecordWriter& out, const Pillar& p) {
  ObjectWriter(out)
      .field("stem", p.stem)
      .field("branch", p.branch)
      .field("cycle", p.cycle)
      .field("element", p.element)
      .field("polarity", p.polarity)
      .field("branch_element", p.branch_element)
      .field("animal", p.animal)
      .field("ten_god", p.ten_god)
      .field("hidden_stems", p.hidden_stems)
      .field("nayin", p.nayin)
      .field("life_stage", p.life_stage);
}

void write(RecordWriter& out, const TermMoment& term) {
  ObjectWriter(out).field("name", term.name).field("utc", term.utc);
}

void write(RecordWriter& out, const ElementBalance& e) {
  ObjectWriter(out)
      .field("wood", e.wood)
      .field("fire", e.fire)
      .field("earth", e.earth)
      .field("metal", e.metal)
      .field("water", e.water);
}

void write(RecordWriter& out, const LuckPillar& lp) {
  ObjectWriter(out)
      .field("start_age", lp.start_age)
      .field("start", lp.start)
      .field("end", lp.end)
      .field("pillar", lp.pillar);
}

void write(RecordWriter& out, const Luck& luck) {
  ObjectWriter(out)
      .field("direction", luck.direction)
      .field("start_age", luck.start_age)
      .field("pillars", luck.pillars);
}

void write(RecordWriter& out, const BaziFlow& flow) {
  ObjectWriter(out)
      .field("date", flow.date)
      .field("year", flow.year)
      .field("month", flow.month)
      .field("day", flow.day)
      .field("month_term", flow.month_term);
}

void write(RecordWriter& out, const Bazi& b) {
  ObjectWriter(out)
      .field("time_basis", b.time_basis)
      .field("zi_hour", b.zi_hour)
      .field("civil_time", b.civil_time)
      .field("solar_time", b.solar_time)
      .field("year", b.year)
      .field("month", b.month)
      .field("day", b.day)
      .field("hour", b.hour)
      .field("day_master", b.day_master)
      .field("day_master_element", b.day_master_element)
      .field("elements", b.elements)
      .field("month_term", b.month_term)
      .field("next_term", b.next_term)
      .field("lunar_date", b.lunar_date)
      .field("luck", b.luck)
      .field("annual", b.annual)
      .field("flow", b.flow);
}

}  // namespace quorvane::chinese
