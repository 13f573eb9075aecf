#include "quorvane/chart/chart_structure.hpp"

#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

const Json* member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::optional<StructurePoint> read_point(const Json& entry) {
  const Json* name = member(entry, "name");
  const Json* longitude = member(entry, "ecliptic_longitude");
  if (!name || !name->is_string() || !longitude || !longitude->is_number()) return std::nullopt;
  const double value = longitude->get<double>();
  if (!std::isfinite(value)) return std::nullopt;
  StructurePoint point{name->get<std::string>(), std::fmod(std::fmod(value, 360.0) + 360.0, 360.0),
                       std::nullopt};
  const Json* house = member(entry, "house");
  if (house && house->is_number_integer()) {
    const auto h = house->get<long long>();
    if (h >= 1 && h <= 12) point.house = static_cast<int>(h);
  }
  return point;
}

bool is_planet(std::string_view name) {
  return std::find(kStructurePlanets.begin(), kStructurePlanets.end(), name) !=
         kStructurePlanets.end();
}

}  // namespace

Expected<StructureInput, EngineError> read_structure_input(const Json& chart) {
  const Json* planets = member(chart, "planets");
  if (!planets || !planets->is_array()) {
    return unexpected(EngineError::invalid_input("the chart has no planets"));
  }
  StructureInput input;
  for (std::string_view wanted : kStructurePlanets) {
    for (const Json& entry : *planets) {
      auto point = read_point(entry);
      if (point && point->name == wanted) {
        input.planets.push_back(std::move(*point));
        break;
      }
    }
  }
  for (const Json& entry : *planets) {
    auto point = read_point(entry);
    if (!point) continue;
    if (point->name == "Ascendant" && !input.ascendant) input.ascendant = point;
    if (point->name == "Midheaven" && !input.midheaven) input.midheaven = point;
    if (point->name == "North Node" && !input.north_node) input.north_node = point;
  }
  const Json* aspects = member(chart, "aspects");
  if (aspects && aspects->is_array()) {
    for (const Json& entry : *aspects) {
      const Json* body1 = member(entry, "body1");
      const Json* body2 = member(entry, "body2");
      const Json* type = member(entry, "aspect_type");
      const Json* orb = member(entry, "orb");
      if (!body1 || !body1->is_string() || !body2 || !body2->is_string() || !type ||
          !type->is_string()) {
        continue;
      }
      StructureAspect aspect{body1->get<std::string>(), body2->get<std::string>(),
                             type->get<std::string>(),
                             orb && orb->is_number() ? orb->get<double>() : 0.0};
      if (is_planet(aspect.body1) && is_planet(aspect.body2) && aspect.body1 != aspect.body2) {
        input.aspects.push_back(std::move(aspect));
      }
    }
  }
  return input;
}

Expected<Json, EngineError> chart_structure(const Json& chart, std::string_view rulers,
                                            double midpoint_orb) {
  if (rulers != "traditional" && rulers != "modern") {
    return unexpected(EngineError::invalid_input("rulers must be \"traditional\" or \"modern\""));
  }
  if (!std::isfinite(midpoint_orb) || midpoint_orb < 0.0 || midpoint_orb > 22.5) {
    return unexpected(EngineError::invalid_input("midpoint_orb must be within [0, 22.5] degrees"));
  }
  auto input = read_structure_input(chart);
  if (!input) return unexpected(std::move(input).error());
  Json out = Json::object();
  out["aspect_patterns"] = aspect_patterns(*input);
  out["tallies"] = balance_tallies(*input);
  out["dispositors"] = dispositors(*input, rulers == "modern");
  out["shape"] = jones_shape(*input);
  out["midpoints"] = midpoints(*input, midpoint_orb);
  return out;
}

}  // namespace quorvane
