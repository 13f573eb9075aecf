#include "quorvane/election/election.hpp"

#include <algorithm>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/election/election_rules.hpp"
#include "quorvane/records/record_extension.hpp"
#include "quorvane/zodiac/body_view.hpp"

namespace quorvane {
namespace {

// The caller's hard exclusions that the moment violates.
std::vector<std::string_view> exclusions(const ElectedMoment& m, UtcInstant moment) {
  const ElectionCriteria::Resolved& criteria = m.criteria;
  std::vector<std::string_view> excluded;
  const Placement* mercury = first_named(m.placements, "Mercury");
  const Placement* venus = first_named(m.placements, "Venus");
  if (!criteria.within_local_hours(moment)) excluded.push_back("outside_hours");
  if (criteria.daytime_only && !m.hours.is_day) excluded.push_back("night");
  if (criteria.avoid_void_moon && m.moon_status.void_of_course) excluded.push_back("void_moon");
  if (criteria.avoid_mercury_retrograde && mercury && mercury->is_retrograde) {
    excluded.push_back("mercury_retrograde");
  }
  if (criteria.avoid_venus_retrograde && venus && venus->is_retrograde) {
    excluded.push_back("venus_retrograde");
  }
  return excluded;
}

}  // namespace

std::string_view verdict_of(double score) {
  if (score < 45.0) return "unfavourable";
  if (score < 65.0) return "mixed";
  return "favourable";
}

Expected<ElectionData, EngineError> assess(const std::vector<Placement>& placements,
                                           std::span<const double> cusps,
                                           const PlanetaryHours& hours, UtcInstant moment,
                                           const ElectionCriteria::Resolved& criteria) {
  const Placement* moon = first_named(placements, "Moon");
  if (!moon) return unexpected(EngineError::invalid_input("chart has no Moon"));

  ElectionData data;
  data.purpose = criteria.purpose;
  data.planetary_hours = hours;
  data.moon_status = moon_status(*moon, placements);
  const ElectedMoment m{placements,       cusps, *moon, first_named(placements, "Sun"),
                        data.moon_status, hours, criteria, purpose_rules(criteria.purpose)};
  std::vector<ElectionFactor>& factors = data.factors;
  moon_rules(m, factors);
  const std::optional<double> ascendant = ascendant_of(m);
  const std::optional<std::string_view> asc_ruler = ascendant_rules(m, ascendant, factors);
  angle_rules(m, factors);
  retrograde_rules(m, factors);
  matter_rules(m, asc_ruler, factors);
  hour_rules(m, factors);
  natal_rules(m, ascendant, factors);

  double sum = 0.0;
  for (const ElectionFactor& f : factors) sum += f.weight;
  data.score = pyfloat::round(std::min(std::max(50.0 + sum, 0.0), 100.0), 1);
  data.verdict = verdict_of(data.score);
  data.excluded_by = exclusions(m, moment);
  return data;
}

Expected<ElectionChart, EngineError> calculate_election_chart(const KernelSet& kernels,
                                                              const ChartRequest& request,
                                                              const ElectionCriteria& criteria) {
  auto resolved = criteria.resolve();
  if (!resolved) return unexpected(resolved.error());
  auto chart = chart_without_hours(kernels, request);
  if (!chart) return unexpected(chart.error());
  const SolarDay day = solar_day(kernels, request.moment, request.latitude, request.longitude);
  const PlanetaryHours hours = hours_in(day, request.moment);
  chart->planetary_hours = hours;
  auto data = assess(chart->planets, twelve_cusps(chart->houses), hours, request.moment, *resolved);
  if (!data) return unexpected(data.error());
  return ElectionChart{std::move(chart).value(), std::move(data).value()};
}

void write(RecordWriter& out, const ElectionFactor& f) {
  ObjectWriter(out)
      .field("code", f.code)
      .field("weight", f.weight)
      .field("planet", f.planet)
      .field("target", f.target)
      .field("aspect", f.aspect)
      .field("house", f.house)
      .field("sign", f.sign);
}

void write(RecordWriter& out, const ElectionData& data) {
  ObjectWriter(out)
      .field("score", data.score)
      .field("verdict", data.verdict)
      .field("purpose", purpose_name(data.purpose))
      .field("factors", data.factors)
      .field("excluded_by", data.excluded_by)
      .field("planetary_hours", data.planetary_hours)
      .field("moon_status", data.moon_status);
}

void write(RecordWriter& out, const ElectionChart& chart) {
  write_with_field(out, chart.chart, "election_data", chart.election_data);
}

}  // namespace quorvane
