#include "quorvane/jyotish/dashas.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "quorvane/jyotish/nakshatras.hpp"
#include "quorvane/time/julian_day.hpp"

namespace quorvane::jyotish {

std::optional<DashaYear> dasha_year(std::string_view name) {
  for (const DashaYear& year : kDashaYears) {
    if (year.name == name) return year;
  }
  return std::nullopt;
}

double DashaSystem::total_years() const {
  double total = 0.0;
  for (const DashaLord& lord : lords) total += lord.years;
  return total;
}

DashaEntry vimshottari_entry(double moon_longitude) {
  const NakshatraPlace place = nakshatra_of(moon_longitude);
  return {place.index % 9, place.passed};
}

DashaEntry yogini_entry(double moon_longitude) {
  const NakshatraPlace place = nakshatra_of(moon_longitude);
  return {(place.index + 3) % 8, place.passed};
}

DashaEntry ashtottari_entry(double moon_longitude) {
  // Mansions counted from Ardra, with the fraction of the current one.
  const double from_ardra =
      reduced_degrees(moon_longitude - kAshtottariFirstMansion * kNakshatraSpan) / kNakshatraSpan;
  double first = 0.0;
  for (int lord = 0; lord < 8; ++lord) {
    const double count = kAshtottariMansions[static_cast<size_t>(lord)];
    if (from_ardra < first + count || lord == 7) {
      const double elapsed = std::clamp((from_ardra - first) / count, 0.0,
                                        std::nextafter(1.0, 0.0));
      return {lord, elapsed};
    }
    first += count;
  }
  return {};
}

std::vector<DashaPeriod> sub_periods(const DashaSystem& system, int lord, uint8_t level,
                                     double start, double end, int depth) {
  std::vector<DashaPeriod> out;
  if (depth <= 0 || level + 1 >= kMaxDashaDepth) return out;
  const size_t count = system.lords.size();
  const double total = system.total_years();
  out.reserve(count);
  double at = start;
  for (size_t k = 0; k < count; ++k) {
    const size_t index = (static_cast<size_t>(lord) + k) % count;
    const DashaLord& sub = system.lords[index];
    // The last one ends exactly where the parent does, so rounding leaves no gap.
    const double stop = k + 1 == count ? end : at + (end - start) * sub.years / total;
    DashaPeriod period{sub.lord, sub.planet, static_cast<uint8_t>(level + 1), at, stop, {}};
    period.periods = sub_periods(system, static_cast<int>(index), period.level, at, stop, depth - 1);
    out.push_back(std::move(period));
    at = stop;
  }
  return out;
}

std::vector<DashaPeriod> major_periods(const DashaSystem& system, DashaEntry entry, double birth,
                                       double year_days, int cycles, int depth) {
  const size_t count = system.lords.size();
  std::vector<DashaPeriod> out;
  double at = birth - entry.elapsed * system.lords[static_cast<size_t>(entry.lord)].years * year_days;
  for (size_t k = 0; k < count * static_cast<size_t>(cycles); ++k) {
    const size_t index = (static_cast<size_t>(entry.lord) + k) % count;
    const DashaLord& major = system.lords[index];
    const double stop = at + major.years * year_days;
    DashaPeriod period{major.lord, major.planet, 0, at, stop, {}};
    period.periods = sub_periods(system, static_cast<int>(index), 0, at, stop, depth - 1);
    out.push_back(std::move(period));
    at = stop;
  }
  return out;
}

namespace {

int lord_index(const DashaSystem& system, std::string_view lord) {
  for (size_t i = 0; i < system.lords.size(); ++i) {
    if (system.lords[i].lord == lord) return static_cast<int>(i);
  }
  return 0;
}

// The periods under `parent` that overlap [from, to], to `depth` levels.
void collect_within(const DashaSystem& system, const DashaPeriod& parent, double from, double to,
                    int depth, size_t* budget, std::vector<DashaPeriod>* out) {
  for (DashaPeriod& period : sub_periods(system, lord_index(system, parent.lord), parent.level,
                                         parent.start, parent.end, 1)) {
    if (period.end <= from || period.start >= to) continue;
    if (*budget == 0) return;
    --*budget;
    if (depth > 1) collect_within(system, period, from, to, depth - 1, budget, &period.periods);
    out->push_back(std::move(period));
  }
}

}  // namespace

Expected<std::vector<DashaPeriod>, EngineError> periods_within(
    const DashaSystem& system, const std::vector<DashaPeriod>& majors, double from, double to,
    int depth, size_t limit) {
  std::vector<DashaPeriod> out;
  size_t budget = limit + 1;  // spent to 0 only by one period too many
  for (const DashaPeriod& major : majors) {
    if (major.end <= from || major.start >= to) continue;
    if (budget == 0) break;
    --budget;
    DashaPeriod copy{major.lord, major.planet, 0, major.start, major.end, {}};
    if (depth > 1) collect_within(system, copy, from, to, depth - 1, &budget, &copy.periods);
    out.push_back(std::move(copy));
  }
  if (budget == 0) {
    return unexpected(EngineError::invalid_input(
        "the dasha span holds more than " + std::to_string(limit) +
        " periods at that depth: ask for a shorter span or fewer levels"));
  }
  return out;
}

std::vector<DashaPeriod> running_at(const DashaSystem& system,
                                    const std::vector<DashaPeriod>& majors, double jd, int depth) {
  std::vector<DashaPeriod> chain;
  const DashaPeriod* current = nullptr;
  for (const DashaPeriod& major : majors) {
    if (major.start <= jd && jd < major.end) current = &major;
  }
  if (!current) return chain;
  chain.push_back({current->lord, current->planet, 0, current->start, current->end, {}});
  while (static_cast<int>(chain.size()) < depth) {
    const DashaPeriod& parent = chain.back();
    const auto subs = sub_periods(system, lord_index(system, parent.lord), parent.level,
                                  parent.start, parent.end, 1);
    const DashaPeriod* found = &subs.back();
    for (const DashaPeriod& sub : subs) {
      if (sub.start <= jd && jd < sub.end) {
        found = &sub;
        break;
      }
    }
    chain.push_back({found->lord, found->planet, found->level, found->start, found->end, {}});
  }
  return chain;
}

void write(RecordWriter& out, const DashaPeriod& period) {
  ObjectWriter o(out);
  o.field("lord", period.lord);
  if (period.planet != period.lord) o.field("planet", period.planet);
  o.field("level", kDashaLevels[period.level])
      .field("start", instant_from_julian_day(period.start).isoformat())
      .field("end", instant_from_julian_day(period.end).isoformat());
  if (!period.periods.empty()) o.field("periods", period.periods);
}

void write(RecordWriter& out, const DashaTable& table) {
  ObjectWriter o(out);
  o.field("system", table.system)
      .field("total_years", table.total_years)
      .field("lord_at_birth", table.lord_at_birth)
      .field("balance_years", table.balance_years)
      .field("periods", table.periods);
  if (table.running) o.field("running", *table.running);
}

}  // namespace quorvane::jyotish
