#include "quorvane/traditional/chart_dignities.hpp"

#include <algorithm>
#include <string>

namespace quorvane {
namespace {

constexpr std::string_view kReadBodies[] = {"Sun",  "Moon",    "Mercury", "Venus",
                                            "Mars", "Jupiter", "Saturn",  "Ascendant"};

// Aspect types a chart's own aspects can carry; anything else is ignored.
constexpr std::string_view kReadAspects[] = {"Conjunction", "Sextile",      "Square",  "Trine",
                                             "Opposition",  "Semi-Sextile", "Quincunx"};

template <size_t N>
bool listed(const std::string_view (&names)[N], const std::string& name) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

const Json* member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

// The views borrow their names from `planets`.
std::vector<BodyView> read_bodies(const Json& planets) {
  std::vector<BodyView> bodies;
  for (const Json& entry : planets) {
    const Json* name = member(entry, "name");
    const Json* longitude = member(entry, "ecliptic_longitude");
    if (!name || !name->is_string() || !longitude || !longitude->is_number()) continue;
    const std::string& text = name->get_ref<const std::string&>();
    if (!listed(kReadBodies, text)) continue;
    const Json* speed = member(entry, "speed");
    bodies.push_back({text, longitude->get<double>(),
                      speed && speed->is_number() ? speed->get<double>() : 0.0});
  }
  return bodies;
}

std::vector<Aspect> read_aspects(const Json* aspects) {
  std::vector<Aspect> result;
  if (!aspects || !aspects->is_array()) return result;
  for (const Json& entry : *aspects) {
    const Json* body1 = member(entry, "body1");
    const Json* body2 = member(entry, "body2");
    const Json* type = member(entry, "aspect_type");
    if (!body1 || !body1->is_string() || !body2 || !body2->is_string() || !type ||
        !type->is_string() || !listed(kReadAspects, type->get_ref<const std::string&>())) {
      continue;
    }
    Aspect aspect;
    aspect.body1 = body1->get<std::string>();
    aspect.body2 = body2->get<std::string>();
    aspect.aspect_type = type->get<std::string>();
    result.push_back(std::move(aspect));
  }
  return result;
}

}  // namespace

Expected<ChartDignities, EngineError> chart_dignities(const Json& chart, std::string_view scheme_code) {
  const DignityScheme scheme = DignityScheme::from_code(scheme_code);
  const Json* planets = member(chart, "planets");
  if (!planets || !planets->is_array()) {
    return unexpected(EngineError::invalid_input("the chart has no planets"));
  }
  const std::vector<BodyView> bodies = read_bodies(*planets);
  const BodyView* sun = first_named(bodies, "Sun");
  const BodyView* ascendant = first_named(bodies, "Ascendant");
  if (!sun || !ascendant) {
    return unexpected(EngineError::invalid_input("the chart needs the Sun and the Ascendant"));
  }
  const std::vector<Aspect> aspects = read_aspects(member(chart, "aspects"));

  ChartDignities result;
  result.dignity_scheme = scheme.name();
  result.sect = chart_sect(sun->longitude, ascendant->longitude);
  for (const BodyView& body : bodies) {
    auto c = condition(body.name, body.longitude, body.speed, scheme, sun->longitude,
                       ascendant->longitude);
    if (c) result.conditions.push_back({std::string(body.name), std::move(*c)});
  }
  result.receptions = receptions(bodies, aspects, scheme);
  return result;
}

void write(RecordWriter& out, const ChartDignities& d) {
  ObjectWriter(out)
      .field("dignity_scheme", d.dignity_scheme)
      .field("sect", d.sect)
      .field("conditions", d.conditions)
      .field("receptions", d.receptions);
}

}  // namespace quorvane
