// Electional assessment: the traditional rules for choosing a moment, each
// fired rule a signed weight, their sum a score from 0 to 100 with a verdict,
// and the caller's hard exclusions that the moment violates.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chart/chart.hpp"
#include "quorvane/election/election_criteria.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/horary/horary.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"
#include "quorvane/traditional/planetary_hours.hpp"

namespace quorvane {

struct ElectionFactor {
  std::string code;
  double weight = 0.0;
  std::optional<std::string> planet;
  std::optional<std::string> target;
  std::optional<std::string> aspect;
  std::optional<uint8_t> house;
  std::optional<std::string> sign;
};

struct ElectionData {
  double score = 50.0;  // one decimal
  std::string_view verdict;
  Purpose purpose = Purpose::General;
  std::vector<ElectionFactor> factors;  // in rule order
  std::vector<std::string_view> excluded_by;
  PlanetaryHours planetary_hours;
  MoonStatus moon_status;
};

// The chart of the moment with its assessment under `election_data`.
struct ElectionChart {
  Chart chart;
  ElectionData election_data;
};

// "unfavourable" below 45, "mixed" below 65, else "favourable".
std::string_view verdict_of(double score);

// Scores one moment. `cusps` are the house cusps in house order, `hours` the
// moment's planetary hours. Fails only when there is no Moon.
Expected<ElectionData, EngineError> assess(const std::vector<Placement>& placements,
                                           std::span<const double> cusps,
                                           const PlanetaryHours& hours, UtcInstant moment,
                                           const ElectionCriteria::Resolved& criteria);

// The whole chart of the request's moment and place with its assessment.
Expected<ElectionChart, EngineError> calculate_election_chart(const KernelSet& kernels,
                                                              const ChartRequest& request,
                                                              const ElectionCriteria& criteria);

void write(RecordWriter& out, const ElectionFactor& factor);
void write(RecordWriter& out, const ElectionData& data);
void write(RecordWriter& out, const ElectionChart& chart);

}  // namespace quorvane
