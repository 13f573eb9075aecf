#include "quorvane/jyotish/jyotish.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/chart/chart.hpp"
#include "quorvane/time/julian_day.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::jyotish {
namespace {

constexpr size_t kSpanPeriodLimit = 20000;

// The chart's name of each graha's placement.
constexpr std::array<std::string_view, 9> kPlacementNames{
    "Sun", "Moon", "Mars", "Mercury", "Jupiter", "Venus", "Saturn", "North Node", "South Node"};

JyotishPoint point_at(std::string_view name, double longitude) {
  JyotishPoint p;
  p.name = name;
  p.longitude = reduced_degrees(longitude);
  p.sign = static_cast<uint8_t>(std::min(11, static_cast<int>(std::floor(p.longitude / 30.0))));
  p.degree = std::max(0.0, p.longitude - 30.0 * p.sign);
  p.nakshatra = nakshatra_of(p.longitude);
  return p;
}

uint8_t house_of(const JyotishPoint& p, const JyotishPoint& lagna, bool equal) {
  if (equal) {
    return static_cast<uint8_t>(
        std::min(11, static_cast<int>(std::floor(reduced_degrees(p.longitude - lagna.longitude) / 30.0))) + 1);
  }
  return static_cast<uint8_t>((p.sign - lagna.sign + 12) % 12 + 1);
}

bool combust(Graha graha, const JyotishPoint& p, double sun) {
  for (const CombustionOrb& orb : kCombustionOrbs) {
    if (orb.graha != graha) continue;
    const double distance = std::fabs(reduced_degrees(p.longitude - sun + 180.0) - 180.0);
    return distance <= (p.retrograde ? orb.retrograde : orb.direct);
  }
  return false;
}

Expected<Ok, EngineError> check_options(const JyotishRequest& r) {
  if (r.node != "mean" && r.node != "true") {
    return unexpected(EngineError::invalid_input("node must be \"mean\" or \"true\""));
  }
  if (r.house_division != "whole_sign" && r.house_division != "equal") {
    return unexpected(
        EngineError::invalid_input("house_division must be \"whole_sign\" or \"equal\""));
  }
  if (!dasha_year(r.dasha_year)) {
    return unexpected(EngineError::invalid_input(
        "dasha_year must be \"julian\" (365.25 days), \"tropical\" (365.2422) or \"savana\" (360)"));
  }
  if (!sunrise_convention(r.sunrise)) {
    return unexpected(
        EngineError::invalid_input("sunrise must be \"disc_centre\" or \"upper_limb\""));
  }
  const bool span = r.dasha_from && r.dasha_to;
  if (r.dasha_from.has_value() != r.dasha_to.has_value()) {
    return unexpected(EngineError::invalid_input("dasha_from and dasha_to go together"));
  }
  if (span && !(*r.dasha_from < *r.dasha_to)) {
    return unexpected(EngineError::invalid_input("dasha_from must come before dasha_to"));
  }
  const int most = span ? kMaxDashaDepth : kMaxFullListDepth;
  if (r.dasha_depth < 1 || r.dasha_depth > most) {
    return unexpected(EngineError::invalid_input(
        span ? "dasha_depth must be from 1 to 5"
             : "dasha_depth must be from 1 to 3 (up to 5 with dasha_from and dasha_to)"));
  }
  return Ok{};
}

Expected<DashaTable, EngineError> dasha_table(const DashaSystem& system, DashaEntry entry,
                                              double birth, int cycles, const JyotishRequest& r,
                                              const DashaYear& year) {
  DashaTable table;
  table.system = system.name;
  table.total_years = system.total_years();
  const DashaLord& first = system.lords[static_cast<size_t>(entry.lord)];
  table.lord_at_birth = first.lord;
  table.balance_years = (1.0 - entry.elapsed) * first.years;
  const bool span = r.dasha_from && r.dasha_to;
  table.periods = major_periods(system, entry, birth, year.days, cycles, span ? 1 : r.dasha_depth);
  if (r.dasha_at) {
    table.running = running_at(system, table.periods, julian_day_from_instant(*r.dasha_at),
                               kMaxDashaDepth);
  }
  if (span) {
    auto within = periods_within(system, table.periods, julian_day_from_instant(*r.dasha_from),
                                 julian_day_from_instant(*r.dasha_to), r.dasha_depth,
                                 kSpanPeriodLimit);
    if (!within) return unexpected(std::move(within).error());
    table.periods = std::move(*within);
  }
  return table;
}

AshtottariCondition ashtottari_condition(const Jyotish& chart) {
  AshtottariCondition c;
  const uint8_t lord_sign = chart.bodies[kSignLords[chart.lagna.sign]].sign;
  c.rahu_from_lagna_lord = (chart.bodies[Rahu].sign - lord_sign + 12) % 12 + 1;
  const int h = c.rahu_from_lagna_lord;
  c.rahu_placed = h == 4 || h == 7 || h == 10 || h == 5 || h == 9;
  const bool krishna = chart.panchanga.paksha == "krishna";
  c.paksha_and_time = chart.panchanga.day == krishna;
  return c;
}

}  // namespace

Expected<Jyotish, EngineError> jyotish(const KernelSet& kernels, const JyotishRequest& r) {
  auto checked = check_options(r);
  if (!checked) return unexpected(std::move(checked).error());
  ChartRequest request;
  request.house_system = "E";
  request.zodiac_type = "sidereal";
  request.ayanamsa = r.ayanamsa;
  request.node = r.node;
  request.moment = r.moment;
  request.latitude = r.latitude;
  request.longitude = r.longitude;
  auto sky_of = sky(kernels, request);
  if (!sky_of) return unexpected(std::move(sky_of).error());

  Jyotish chart;
  chart.ayanamsa = sky_of->ayanamsa.code;
  chart.ayanamsa_name = sky_of->ayanamsa.name;
  chart.ayanamsa_degrees = sky_of->ayanamsa.value;
  chart.node = r.node == "true" ? "true" : "mean";
  chart.house_division = r.house_division == "equal" ? "equal" : "whole_sign";
  chart.dasha_year = *dasha_year(r.dasha_year);
  chart.moment = r.moment.isoformat();
  chart.julian_day = julian_day_from_instant(r.moment);

  const Placement* ascendant = nullptr;
  for (const Placement& p : sky_of->placements) {
    if (p.name == "Ascendant") ascendant = &p;
  }
  if (!ascendant) return unexpected(EngineError::invalid_input("no lagna at this place"));
  chart.lagna = point_at("Lagna", ascendant->ecliptic_longitude);
  for (size_t g = 0; g < 9; ++g) {
    const auto found = std::find_if(sky_of->placements.begin(), sky_of->placements.end(),
                                    [&](const Placement& p) { return p.name == kPlacementNames[g]; });
    if (found == sky_of->placements.end()) {
      return unexpected(EngineError::invalid_input("no position for " + std::string(kGrahaNames[g])));
    }
    JyotishPoint p = point_at(kGrahaNames[g], found->ecliptic_longitude);
    p.speed = found->speed;
    p.retrograde = found->is_retrograde;
    chart.bodies.push_back(p);
  }
  const bool equal = chart.house_division == "equal";
  chart.lagna.house = 1;
  for (size_t g = 0; g < 9; ++g) {
    JyotishPoint& p = chart.bodies[g];
    const Graha graha = static_cast<Graha>(g);
    p.house = house_of(p, chart.lagna, equal);
    p.combust = combust(graha, p, chart.bodies[Sun].longitude);
    p.dignity = natural_dignity(graha, p.sign, p.degree);
    const Graha lord = kSignLords[p.sign];
    p.compound_dignity = compound_dignity(graha, p.sign, p.degree, chart.bodies[lord].sign);
  }

  for (size_t v = 0; v < kVargas.size(); ++v) {
    chart.vargas[v][0] = varga_sign(kVargas[v].division, chart.lagna.longitude);
    for (size_t g = 0; g < 9; ++g) {
      chart.vargas[v][g + 1] = varga_sign(kVargas[v].division, chart.bodies[g].longitude);
    }
  }
  constexpr size_t kD9 = 5;
  if (chart.vargas[0][0] == chart.vargas[kD9][0]) chart.vargottama.push_back("Lagna");
  for (size_t g = 0; g < 9; ++g) {
    if (chart.vargas[0][g + 1] == chart.vargas[kD9][g + 1]) chart.vargottama.push_back(kGrahaNames[g]);
  }

  std::array<uint8_t, kContributors> signs{};
  for (size_t g = 0; g < 7; ++g) signs[g] = chart.bodies[g].sign;
  signs[7] = chart.lagna.sign;
  chart.ashtakavarga = ashtakavarga(signs);

  auto day = panchanga(kernels, chart.julian_day, r.latitude, r.longitude, chart.ayanamsa,
                       *sunrise_convention(r.sunrise));
  if (!day) return unexpected(std::move(day).error());
  chart.panchanga = std::move(*day);

  const double moon = chart.bodies[Moon].longitude;
  struct Plan {
    const DashaSystem& system;
    DashaEntry entry;
    int cycles;
  };
  // Yogini's 36-year cycle repeats to cover a life of 120 years.
  const Plan plans[3] = {{kVimshottariSystem, vimshottari_entry(moon), 1},
                         {kYoginiSystem, yogini_entry(moon), 4},
                         {kAshtottariSystem, ashtottari_entry(moon), 1}};
  for (size_t i = 0; i < 3; ++i) {
    auto table = dasha_table(plans[i].system, plans[i].entry, chart.julian_day, plans[i].cycles,
                             r, chart.dasha_year);
    if (!table) return unexpected(std::move(table).error());
    chart.dashas[i] = std::move(*table);
  }
  chart.ashtottari_condition = ashtottari_condition(chart);
  return chart;
}

namespace {

void write_point(ObjectWriter& o, const JyotishPoint& p) {
  o.field("longitude", p.longitude)
      .field("sign", kSigns[p.sign].name)
      .field("degree", p.degree)
      .field("house", p.house)
      .field("nakshatra", p.nakshatra.name)
      .field("pada", p.nakshatra.pada)
      .field("nakshatra_lord", p.nakshatra.lord);
}

}  // namespace

void write(RecordWriter& out, const JyotishPoint& p) {
  ObjectWriter o(out);
  o.field("name", p.name);
  write_point(o, p);
  o.field("speed", p.speed)
      .field("retrograde", p.retrograde)
      .field("combust", p.combust)
      .field("dignity", p.dignity)
      .field("compound_dignity", p.compound_dignity);
}

void write(RecordWriter& out, const Jyotish& chart) {
  ObjectWriter o(out);
  o.field("ayanamsa", chart.ayanamsa)
      .field("ayanamsa_name", chart.ayanamsa_name)
      .field("ayanamsa_degrees", chart.ayanamsa_degrees)
      .field("node", chart.node)
      .field("house_division", chart.house_division)
      .field("dasha_year", chart.dasha_year.name)
      .field("dasha_year_days", chart.dasha_year.days)
      .field("sunrise_convention", chart.panchanga.sunrise_convention)
      .field("moment", chart.moment)
      .field("julian_day", chart.julian_day);
  o.writer().key("lagna");
  {
    ObjectWriter l(out);
    write_point(l, chart.lagna);
  }
  o.field("bodies", chart.bodies);
  o.writer().key("vargas");
  {
    ObjectWriter vargas(out);
    for (size_t v = 0; v < kVargas.size(); ++v) {
      vargas.writer().key(kVargas[v].name);
      ObjectWriter signs(out);
      signs.field("Lagna", kSigns[chart.vargas[v][0]].name);
      for (size_t g = 0; g < 9; ++g) signs.field(kGrahaNames[g], kSigns[chart.vargas[v][g + 1]].name);
    }
  }
  o.field("vargottama", chart.vargottama);
  o.writer().key("dashas");
  {
    ObjectWriter d(out);
    d.field("vimshottari", chart.dashas[0]).field("yogini", chart.dashas[1]);
    d.field("ashtottari", chart.dashas[2]);
    d.writer().key("ashtottari_condition");
    ObjectWriter c(out);
    c.field("rahu_from_lagna_lord", chart.ashtottari_condition.rahu_from_lagna_lord)
        .field("rahu_in_kendra_or_trikona_from_lagna_lord", chart.ashtottari_condition.rahu_placed)
        .field("day_birth_krishna_or_night_birth_shukla", chart.ashtottari_condition.paksha_and_time)
        .field("applies", chart.ashtottari_condition.applies());
  }
  o.field("ashtakavarga", chart.ashtakavarga).field("panchanga", chart.panchanga);
}

}  // namespace quorvane::jyotish
