// Electional assessment: the traditional rules for choosing a moment, each
// fired rule a signed weight, their sum a score from 0 to 100 with a verdict,
// and the caller's hard exclusions that the moment violates.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/chart.hpp"
#include "quorvane/election_criteria.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/error.hpp"
#include "quorvane/expected.hpp"
#include "quorvane/horary.hpp"
#include "quorvane/instant.hpp"
#include "quorvane/json.hpp"
#include "quorvane/planetary_hours.hpp"

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

// What a purpose asks for: its natural significator, the house of the
// matter and the two planetary hours that favour it.
struct PurposeRules {
  std::optional<std::string_view> significator;
  std::optional<uint8_t> house;
  std::array<std::string_view, 2> favoured_hours;
};
const PurposeRules& purpose_rules(Purpose purpose);

// A ruling planet's role and the magnitudes of its condition rules:
// dignity, angular, dark house, retrograde or combust.
struct ConditionRole {
  std::string_view prefix;  // "ASC_RULER_", "HOUSE_RULER_", "SIGNIFICATOR_"
  double dignity;
  double angular;
  double dark_house;
  double affliction;
};
inline constexpr ConditionRole kAscRulerRole{"ASC_RULER_", 6, 4, 5, 6};
inline constexpr ConditionRole kHouseRulerRole{"HOUSE_RULER_", 5, 3, 4, 5};
inline constexpr ConditionRole kSignificatorRole{"SIGNIFICATOR_", 4, 2, 3, 4};

// The condition rules of one ruling planet, appended to `factors`.
void condition(const ConditionRole& role, const Placement& planet, const Placement* sun,
               bool skip_retrograde, std::vector<ElectionFactor>& factors);

// Lilly's degree qualities of the Moon's ("Moon") or the Ascendant's
// ("Ascendant") degree, appended to `factors`.
void degree_factors(std::string_view point, double longitude, std::vector<ElectionFactor>& factors);

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

Json to_json(const ElectionFactor& factor);
Json to_json(const ElectionData& data);
Json to_json(const ElectionChart& chart);

}  // namespace quorvane
