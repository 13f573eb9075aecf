#include "quorvane/predictive/transit_synastry.hpp"

namespace quorvane {

Expected<TransitChart, EngineError> calculate_transit_chart(const KernelSet& kernels,
                                                            const Json& natal_planets,
                                                            const ChartRequest& request) {
  auto natal = points_from_json(natal_planets);
  if (!natal) return unexpected(std::move(natal).error());
  // Natal positions are fixed in the sky; only the transiting bodies move.
  for (Point& point : *natal) point.speed = 0.0;
  auto chart = chart_without_hours(kernels, request);
  if (!chart) return unexpected(std::move(chart).error());

  std::vector<Point> transit;
  transit.reserve(chart->planets.size());
  for (const Placement& p : chart->planets) transit.push_back({p.name, p.ecliptic_longitude, p.speed});
  auto aspects = cross_aspects(*natal, transit,
                               request.orb_settings ? &*request.orb_settings : nullptr);
  if (!aspects) return unexpected(std::move(aspects).error());

  TransitChart out;
  out.transit_planets = std::move(chart->planets);
  out.transit_houses = std::move(chart->houses);
  out.cross_aspects = std::move(aspects).value();
  out.transit_datetime = request.moment.isoformat();
  out.transit_lat = request.latitude;
  out.transit_lon = request.longitude;
  out.zodiac_type = std::move(chart->zodiac_type);
  out.ayanamsa = std::move(chart->ayanamsa);
  out.ayanamsa_name = std::move(chart->ayanamsa_name);
  out.ayanamsa_value = chart->ayanamsa_value;
  out.ayanamsa_formatted = std::move(chart->ayanamsa_formatted);
  return out;
}

Expected<Synastry, EngineError> calculate_synastry(const Json& chart_a_planets,
                                                   const Json& chart_b_planets,
                                                   const std::optional<Json>& orb_settings) {
  auto a = points_from_json(chart_a_planets);
  if (!a) return unexpected(std::move(a).error());
  auto b = points_from_json(chart_b_planets);
  if (!b) return unexpected(std::move(b).error());
  auto aspects = cross_aspects(*a, *b, orb_settings ? &*orb_settings : nullptr);
  if (!aspects) return unexpected(std::move(aspects).error());
  return Synastry{std::move(aspects).value()};
}

void write(RecordWriter& out, const TransitChart& chart) {
  ObjectWriter(out)
      .field("transit_planets", chart.transit_planets)
      .field("transit_houses", chart.transit_houses)
      .field("cross_aspects", chart.cross_aspects)
      .field("transit_datetime", chart.transit_datetime)
      .field("transit_lat", chart.transit_lat)
      .field("transit_lon", chart.transit_lon)
      .field("zodiac_type", chart.zodiac_type)
      .field("ayanamsa", chart.ayanamsa)
      .field("ayanamsa_name", chart.ayanamsa_name)
      .field("ayanamsa_value", chart.ayanamsa_value)
      .field("ayanamsa_formatted", chart.ayanamsa_formatted);
}

void write(RecordWriter& out, const Synastry& synastry) {
  ObjectWriter(out).field("cross_aspects", synastry.cross_aspects);
}

}  // namespace quorvane
