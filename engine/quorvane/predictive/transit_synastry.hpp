// Charts set against charts: the transit chart of a moment with its
// cross-aspects to natal points, and synastry between two sets of planets.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chart/chart.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/aspects.hpp"

namespace quorvane {

struct TransitChart {
  std::vector<Placement> transit_planets;
  std::vector<HouseCusp> transit_houses;
  std::vector<CrossAspect> cross_aspects;  // transit (overlay) to natal (base)
  std::string transit_datetime;
  double transit_lat = 0.0;
  double transit_lon = 0.0;
  std::string zodiac_type;
  std::optional<std::string> ayanamsa;
  std::optional<std::string> ayanamsa_name;
  std::optional<double> ayanamsa_value;
  std::optional<std::string> ayanamsa_formatted;
};

struct Synastry {
  std::vector<CrossAspect> cross_aspects;  // chart B (overlay) to chart A (base)
};

// The sky of the request's moment and its aspects to `natal_planets` (a
// JSON list of {"name", "ecliptic_longitude"} objects). The natal list is
// checked before any ephemeris work.
Expected<TransitChart, EngineError> calculate_transit_chart(const KernelSet& kernels,
                                                            const Json& natal_planets,
                                                            const ChartRequest& request);

Expected<Synastry, EngineError> calculate_synastry(const Json& chart_a_planets,
                                                   const Json& chart_b_planets,
                                                   const std::optional<Json>& orb_settings);

void write(RecordWriter& out, const TransitChart& chart);
void write(RecordWriter& out, const Synastry& synastry);

}  // namespace quorvane
