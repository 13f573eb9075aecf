#include "quorvane/zodiac/orb_settings.hpp"

#include <algorithm>
#include <utility>

namespace quorvane {
namespace {

constexpr double kMissingAspectOrb = 8.0;
constexpr double kMissingPlanetOrb = 5.0;
constexpr double kDefaultFixedStarOrb = 1.5;

OrbMethod method_from(const Json& value) {
  if (value.is_string()) {
    const auto& name = value.get_ref<const std::string&>();
    if (name == "moiety_hybrid") return OrbMethod::Hybrid;
    if (name == "moiety_aspect_weighted") return OrbMethod::Weighted;
    if (name == "moiety_traditional") return OrbMethod::Traditional;
  }
  return OrbMethod::AspectOnly;  // whatever else the caller wrote
}

Json make_default_settings() {
  Json settings = Json::object();
  settings["method"] = "moiety_hybrid";
  settings["include_minor_aspects"] = false;
  settings["include_chiron"] = false;
  settings["include_lilith"] = false;
  Json aspect_orbs = Json::object();
  for (const auto& aspect : kAspectTable) aspect_orbs[std::string(aspect.name)] = aspect.default_orb;
  settings["aspect_orbs"] = std::move(aspect_orbs);
  static constexpr std::pair<const char*, double> kPlanetOrbs[] = {
      {"Sun", 15.0},        {"Moon", 12.0},      {"Mercury", 7.0},    {"Venus", 7.0},
      {"Mars", 8.0},        {"Jupiter", 9.0},    {"Saturn", 9.0},     {"Uranus", 5.0},
      {"Neptune", 5.0},     {"Pluto", 5.0},      {"North Node", 5.0}, {"South Node", 5.0},
      {"Chiron", 5.0},      {"Lilith", 5.0},     {"Ascendant", 5.0},  {"Midheaven", 5.0},
  };
  Json planet_orbs = Json::object();
  for (const auto& [name, orb] : kPlanetOrbs) planet_orbs[name] = orb;
  settings["planet_orbs"] = std::move(planet_orbs);
  settings["fixed_star_orb"] = kDefaultFixedStarOrb;
  return settings;
}

}  // namespace

OrbSettings::OrbSettings(Json value) : value_(std::move(value)) {
  const Json* aspect_table = nullptr;
  const Json* planet_table = nullptr;
  if (value_.is_object()) {
    if (const auto it = value_.find("method"); it != value_.end()) method_ = method_from(*it);
    if (const auto it = value_.find("aspect_orbs"); it != value_.end() && it->is_object()) {
      aspect_table = &*it;
    }
    if (const auto it = value_.find("planet_orbs"); it != value_.end() && it->is_object()) {
      planet_table = &*it;
    }
  }
  aspect_orbs_.reserve(kAspectTable.size());
  for (size_t k = 0; k < kAspectTable.size(); ++k) {
    const auto it = aspect_table ? aspect_table->find(std::string(kAspectTable[k].name))
                                 : Json::const_iterator();
    aspect_given_[k] = aspect_table && it != aspect_table->end();
    aspect_orbs_.push_back(aspect_given_[k] ? py_float(*it) : Orb(kMissingAspectOrb));
  }
  if (planet_table) {
    planet_orbs_.reserve(planet_table->size());
    for (const auto& [name, orb] : planet_table->items()) {
      planet_orbs_.emplace_back(name, py_float(orb));
    }
  }
}

const OrbSettings::Orb& OrbSettings::planet_orb(std::string_view name) const {
  static const Orb missing(kMissingPlanetOrb);
  if (!uses_planet_orbs()) return missing;  // never consulted
  for (const auto& [known, orb] : planet_orbs_) {
    if (known == name) return orb;
  }
  return missing;
}

namespace {

const OrbSettings& defaults() {
  static const OrbSettings settings = *OrbSettings::read(make_default_settings());
  return settings;
}

}  // namespace

OrbSettings default_orb_settings() { return defaults(); }

Expected<OrbSettings, EngineError> OrbSettings::read(Json value) {
  double star_orb = kDefaultFixedStarOrb;
  if (value.is_object()) {
    if (const auto it = value.find("fixed_star_orb"); it != value.end()) {
      auto read = py_float(*it);
      if (!read) return unexpected(std::move(read).error());
      star_orb = *read;
    }
  }
  OrbSettings settings(std::move(value));
  settings.fixed_star_orb_ = star_orb;
  return settings;
}

Expected<OrbSettings, EngineError> OrbSettings::merge(const Json* user) {
  if (user == nullptr || !user->is_object() || user->empty()) return defaults();
  Json settings = defaults().json();

  if (const auto it = user->find("method"); it != user->end()) settings["method"] = *it;

  double star_orb = kDefaultFixedStarOrb;
  if (const auto it = user->find("fixed_star_orb"); it != user->end()) {
    auto value = py_float(*it);
    if (!value) return unexpected(std::move(value).error());
    star_orb = *value;
  }
  settings["fixed_star_orb"] = star_orb;

  for (const char* key : {"aspect_orbs", "planet_orbs"}) {
    const auto it = user->find(key);
    if (it == user->end()) continue;
    if (!it->is_object()) {
      return unexpected(EngineError::invalid_input(std::string(key) + " must be an object, got " +
                                                   message_json(*it)));
    }
    // Json's objects look keys up by a scan; the caller's keys are
    // distinct already, so only the few defaults are searched for each,
    // which keeps the merge linear in the caller's keys.
    auto& table = settings[key].get_ref<Json::object_t&>();
    const size_t defaults = table.size();
    for (const auto& [name, value] : it->items()) {
      const auto known = std::find_if(table.begin(), table.begin() + defaults,
                                      [&](const auto& member) { return member.first == name; });
      if (known != table.begin() + defaults) {
        known->second = value;
      } else {
        table.emplace_back(name, value);
      }
    }
  }
  OrbSettings merged(std::move(settings));
  merged.fixed_star_orb_ = star_orb;
  return merged;
}

}  // namespace quorvane
