// Comparisons and re-readings of charts: the transit chart of a moment with
// its cross-aspects to natal points, synastry between two sets of planets,
// and derived (turned) charts, in which a radix house becomes house 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/aspects.hpp"
#include "quorvane/chart.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/error.hpp"
#include "quorvane/expected.hpp"
#include "quorvane/json.hpp"
#include "quorvane/record_writer.hpp"

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

// An English and an Italian text.
struct Topic {
  std::string_view en;
  std::string_view it;
};

// What derived house `house` signifies counted from radix house `root`
// (both 1-12).
Topic derived_topic(int root, int house);
// The theme of a root house (1-12).
Topic root_theme(int root);

// The derived number (1-12) of radix house `radix` when radix house `root`
// becomes house 1; any integer radix is taken modulo 12.
int derived_house_number(int64_t radix, int root);
// The radix house (1-12) of derived house `house` (1-12).
int radix_house_of(int house, int root);

// A copy of the key's value, or `fallback` when the object lacks the key
// (or is not an object).
Json get(const Json& object, std::string_view key, Json fallback);

// The list under `key` with every item's "house" turned to root `root`
// and its former value kept as "radix_house"; missing or null is [].
Expected<Json, EngineError> turn_items(const Json& base, std::string_view key, int root);

// The chart dict `base` reread from radix house `root_house` (outside 1-12
// it is 1). `custom_name`, when given and not empty, names the new chart.
// The result stays a Json tree: most of it is the caller's own chart dict
// copied through key by key, whatever its values hold.
Expected<Json, EngineError> calculate_derived_chart(const Json& base, int64_t root_house,
                                                    const std::optional<std::string>& custom_name);

}  // namespace quorvane
