// A finished chart's structure read from its dict: aspect patterns, the
// balance of elements, modes and houses, dispositors, the Jones shape and
// midpoints; and the chart's harmonic charts.
//
// Both work on the chart dict rather than inside the chart's computation:
// they then serve every chart the engine returns (natal, horary, return,
// composite, derived) and cost nothing when they are not asked for.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"

namespace quorvane {

// The ten planets the patterns, tallies, dispositors and shape look at.
inline constexpr std::array<std::string_view, 10> kStructurePlanets = {
    "Sun", "Moon", "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus", "Neptune", "Pluto"};

// A point read from the chart dict.
struct StructurePoint {
  std::string name;
  double longitude = 0.0;
  std::optional<int> house;  // 1-12 when the chart gives it
};

// One of the chart's own aspects between two points.
struct StructureAspect {
  std::string body1;
  std::string body2;
  std::string aspect_type;
  double orb = 0.0;
};

// The chart's ten planets (in the order above, those present) and the
// aspects among them.
struct StructureInput {
  std::vector<StructurePoint> planets;
  std::optional<StructurePoint> ascendant;
  std::optional<StructurePoint> midheaven;
  std::optional<StructurePoint> north_node;
  std::vector<StructureAspect> aspects;  // among the planets only
};

Expected<StructureInput, EngineError> read_structure_input(const Json& chart);

// Each part, as the record's block of that name.
Json aspect_patterns(const StructureInput& input);
Json balance_tallies(const StructureInput& input);
Json dispositors(const StructureInput& input, bool modern_rulers);
Json jones_shape(const StructureInput& input);
Json midpoints(const StructureInput& input, double tree_orb);

inline constexpr double kDefaultMidpointOrb = 1.5;

// `rulers` is "traditional" or "modern"; the midpoint trees take
// midpoints within `midpoint_orb` degrees of a 45-degree multiple.
Expected<Json, EngineError> chart_structure(const Json& chart, std::string_view rulers,
                                            double midpoint_orb);

// Every point of the chart's `planets` at n times its longitude, reduced to
// [0, 360), with the aspects the chart's orb settings find among them.
Expected<Json, EngineError> harmonic_chart(const Json& chart, long long n);

}  // namespace quorvane
