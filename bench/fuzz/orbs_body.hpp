// Fuzz body for orb settings and aspects over caller JSON. The input is
// JSON text: a pair [settings, points] gives both, any other value serves
// as settings and as points at once. The merge must keep the default keys
// in order, and natal and cross aspects must equal a plain, unoptimised
// reading of the rules (every orb read afresh for every pair).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/fuzz/fuzz_check.hpp"
#include "quorvane/base/pyfloat.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/zodiac/aspects.hpp"

namespace quorvane::fuzz {

inline bool same_double(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || a == b;
}

inline std::string error_message(const EngineError& error) {
  const auto* invalid = std::get_if<InvalidInput>(&error.kind);
  FUZZ_CHECK(invalid != nullptr);  // caller JSON only ever gives invalid input
  return invalid ? invalid->message : error.text();
}

// The number reader's result for a text made only of sign, digit, point
// and exponent characters must be the C library's reading of the same
// text (after dropping underscores), and fail exactly where strtod would
// not consume it all.
inline void check_py_float_text(const std::string& text) {
  std::string plain;
  for (char c : text) {
    if (c == '_') continue;
    if (!std::strchr("0123456789+-.eE", c) || c == '\0') return;
    plain.push_back(c == 'E' ? 'e' : c);
  }
  auto ours = py_float(Json(text));
  char* end = nullptr;
  const double theirs = plain.empty() ? 0.0 : std::strtod(plain.c_str(), &end);
  const bool whole = !plain.empty() && end == plain.c_str() + plain.size();
  FUZZ_CHECK(ours.has_value() == whole);
  if (ours && whole) FUZZ_CHECK(same_double(*ours, theirs));
}

inline void check_py_float(const Json& value) {
  auto number = py_float(value);
  switch (value.type()) {
    case Json::value_t::boolean:
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      FUZZ_CHECK(number.has_value());
      break;
    case Json::value_t::string:
      if (!number) {
        FUZZ_CHECK(error_message(number.error()) ==
                   "not a number: " + value.dump(-1, ' ', false, Json::error_handler_t::replace));
      }
      check_py_float_text(value.get<std::string>());
      break;
    default:
      FUZZ_CHECK(!number.has_value());
      if (!number) FUZZ_CHECK(error_message(number.error()) == "not a number: " + value.dump());
  }
}

// Every leaf and container reached from `value`, at most `budget` of them.
inline void walk_numbers(const Json& value, int& budget) {
  if (budget-- <= 0) return;
  check_py_float(value);
  if (value.is_structured()) {
    for (const auto& item : value) walk_numbers(item, budget);
  }
}

struct ReferenceMatch {
  size_t aspect;
  double deviation;
  double allowed;
};

using ReferenceResult = Expected<std::optional<ReferenceMatch>, EngineError>;

// An orb under `key` of the settings object, or `missing`.
inline Expected<double, EngineError> reference_orb(const Json& settings, const char* key,
                                                   std::string_view name, double missing) {
  const auto table = settings.find(key);
  if (table == settings.end() || !table->is_object()) return missing;
  const auto entry = table->find(std::string(name));
  if (entry == table->end()) return missing;
  return py_float(*entry);
}

inline ReferenceResult reference_find(const Json& settings, std::string_view name1,
                                      std::string_view name2, double separation) {
  const auto method_it = settings.find("method");
  const std::string method =
      method_it != settings.end() && method_it->is_string() ? method_it->get<std::string>() : "";
  const bool moiety = method == "moiety_hybrid" || method == "moiety_aspect_weighted" ||
                      method == "moiety_traditional";
  for (size_t k = 0; k < kAspectTable.size(); ++k) {
    const AspectKind& aspect = kAspectTable[k];
    auto aspect_orb = reference_orb(settings, "aspect_orbs", aspect.name, 8.0);
    if (!aspect_orb) return unexpected(aspect_orb.error());
    double allowed = *aspect_orb;
    if (moiety) {
      auto orb1 = reference_orb(settings, "planet_orbs", name1, 5.0);
      if (!orb1) return unexpected(orb1.error());
      auto orb2 = reference_orb(settings, "planet_orbs", name2, 5.0);
      if (!orb2) return unexpected(orb2.error());
      const double moiety_orb = (*orb1 + *orb2) * 0.5;
      if (method == "moiety_hybrid") {
        allowed = std::fmin(*aspect_orb, moiety_orb);
      } else if (method == "moiety_aspect_weighted") {
        auto conjunction = reference_orb(settings, "aspect_orbs", "Conjunction", 8.0);
        if (!conjunction) return unexpected(conjunction.error());
        const auto orbs = settings.find("aspect_orbs");
        const bool given = orbs != settings.end() && orbs->is_object() &&
                           orbs->contains(std::string(aspect.name));
        const double weight =
            given && *conjunction > 0.0 ? *aspect_orb / *conjunction : aspect_weight(aspect.name);
        allowed = moiety_orb * weight;
      } else {
        allowed = moiety_orb;
      }
      allowed = pyfloat::round(allowed, 2);
    }
    const double deviation = std::fabs(separation - aspect.angle);
    if (allowed >= deviation) return std::optional<ReferenceMatch>(ReferenceMatch{k, deviation, allowed});
  }
  return std::optional<ReferenceMatch>();
}

inline double reference_separation(double a, double b) {
  double s = std::fmod(std::fabs(a - b), 360.0);
  if (s == 0.0) s = 0.0;
  if (s > 180.0) s = 360.0 - s;
  return s;
}

inline bool node_pair(const std::string& a, const std::string& b) {
  return (a == "North Node" && b == "South Node") || (a == "South Node" && b == "North Node");
}

template <class Record>
void check_aspect_fields(const Record& record, const ReferenceMatch& match) {
  const AspectKind& aspect = kAspectTable[match.aspect];
  FUZZ_CHECK(record.aspect_type == aspect.name);
  FUZZ_CHECK(record.symbol == aspect.symbol);
  FUZZ_CHECK(record.angle == aspect.angle);
  FUZZ_CHECK(same_double(record.orb, pyfloat::round(match.deviation, 2)));
  FUZZ_CHECK(same_double(record.max_orb, pyfloat::round(match.allowed, 2)));
  FUZZ_CHECK(record.orb <= record.max_orb);
}

struct ExpectedAspect {
  const Point* first;
  const Point* second;
  ReferenceMatch match;
};

// The aspects of the pairs in order, or the first pair's error.
template <class Pairs>
Expected<std::vector<ExpectedAspect>, EngineError> reference_aspects(const Json& settings,
                                                                     const Pairs& pairs) {
  std::vector<ExpectedAspect> out;
  for (const auto& [a, b] : pairs) {
    if (node_pair(a->name, b->name)) continue;
    auto match = reference_find(settings, a->name, b->name,
                                reference_separation(a->longitude, b->longitude));
    if (!match) return unexpected(match.error());
    if (*match) out.push_back({a, b, **match});
  }
  return out;
}

template <class Record>
void compare_aspects(const Expected<std::vector<Record>, EngineError>& ours,
                     const Expected<std::vector<ExpectedAspect>, EngineError>& expected) {
  FUZZ_CHECK(ours.has_value() == expected.has_value());
  if (!ours || !expected) {
    if (!ours && !expected) {
      FUZZ_CHECK(error_message(ours.error()) == error_message(expected.error()));
    }
    return;
  }
  FUZZ_CHECK(ours->size() == expected->size());
  for (size_t k = 0; k < ours->size() && k < expected->size(); ++k) {
    const Record& found = (*ours)[k];
    const ExpectedAspect& want = (*expected)[k];
    FUZZ_CHECK(found.body1 == want.first->name && found.body2 == want.second->name);
    FUZZ_CHECK(found.is_major == kAspectTable[want.match.aspect].major);
    check_aspect_fields(found, want.match);
  }
}

inline void check_natal(const std::vector<Point>& points, const OrbSettings& settings) {
  std::vector<std::pair<const Point*, const Point*>> pairs;
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = i + 1; j < points.size(); ++j) pairs.emplace_back(&points[i], &points[j]);
  }
  compare_aspects(natal_aspects(points, settings), reference_aspects(settings.json(), pairs));
}

inline void check_cross(const std::vector<Point>& base, const std::vector<Point>& overlay,
                        const Json* user, const OrbSettings& merged) {
  std::vector<std::pair<const Point*, const Point*>> pairs;
  for (const Point& over : overlay) {
    for (const Point& under : base) pairs.emplace_back(&over, &under);
  }
  auto ours = cross_aspects(base, overlay, user);
  compare_aspects(ours, reference_aspects(merged.json(), pairs));
  if (ours) {
    for (const CrossAspect& found : *ours) {
      FUZZ_CHECK(found.body1_source == "overlay" && found.body2_source == "base");
    }
  }
}

// The merged settings: the seven default keys in their order, the
// caller's method, a numeric fixed-star orb and both orb tables extended
// in place.
inline void check_merge(const Json& user, const OrbSettings& merged) {
  const Json& out = merged.json();
  const OrbSettings default_settings = default_orb_settings();
  const Json& defaults = default_settings.json();
  FUZZ_CHECK(out.is_object() && out.size() == defaults.size());
  auto d = defaults.begin();
  for (auto it = out.begin(); it != out.end() && d != defaults.end(); ++it, ++d) {
    FUZZ_CHECK(it.key() == d.key());
  }
  FUZZ_CHECK(out["fixed_star_orb"].is_number_float());
  FUZZ_CHECK(merged.fixed_star_orb() == out["fixed_star_orb"].get<double>());
  if (!user.is_object() || user.empty()) {
    FUZZ_CHECK(out == defaults);
    return;
  }
  if (user.contains("method")) FUZZ_CHECK(out["method"] == user["method"]);
  for (const char* key : {"aspect_orbs", "planet_orbs"}) {
    const Json& table = out[key];
    FUZZ_CHECK(table.is_object());
    auto default_entry = defaults[key].begin();
    for (auto it = table.begin(); default_entry != defaults[key].end(); ++it, ++default_entry) {
      FUZZ_CHECK(it != table.end() && it.key() == default_entry.key());
      if (it == table.end()) break;
    }
    if (!user.contains(key)) continue;
    for (const auto& [name, value] : user[key].items()) {
      FUZZ_CHECK(table.contains(name) && table[name] == value);
    }
  }
  FUZZ_CHECK(to_compact_json(out).has_value());
}

inline std::vector<Point> standard_points() {
  return {{"Sun", 10.0},         {"Moon", 17.0},       {"Mercury", 70.5},  {"Venus", 100.0},
          {"Mars", 190.0},       {"Jupiter", 250.25},  {"Saturn", 340.0},  {"North Node", 45.0},
          {"South Node", 225.0}, {"Ascendant", 130.0}, {"Midheaven", 40.0}};
}

inline void fuzz_orbs(const uint8_t* data, size_t size) {
  auto parsed = parse_json(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed) return;
  const Json& value = *parsed;
  const Json* settings_value = &value;
  const Json* points_value = &value;
  if (value.is_array() && value.size() == 2) {
    settings_value = &value[0];
    points_value = &value[1];
  }

  int budget = 256;
  walk_numbers(value, budget);

  auto merged = OrbSettings::merge(settings_value);
  if (merged) {
    check_merge(*settings_value, *merged);
  } else {
    const std::string message = error_message(merged.error());
    FUZZ_CHECK(message.rfind("not a number: ", 0) == 0 ||
               message.find(" must be an object, got ") != std::string::npos);
  }
  const OrbSettings settings = merged ? *merged : default_orb_settings();

  std::vector<Point> points = standard_points();
  auto read = points_from_json(*points_value);
  if (read) {
    FUZZ_CHECK(points_value->is_array() && read->size() == points_value->size());
    points = std::move(*read);
    if (points.size() > 48) points.resize(48);  // pairs grow quadratically
  } else {
    const std::string message = error_message(read.error());
    FUZZ_CHECK(message == "planets must be a list" || message == "every planet needs a name" ||
               message.rfind("not a number: ", 0) == 0 ||
               message.find(" has no ecliptic_longitude") != std::string::npos);
  }

  check_natal(points, settings);
  if (merged) check_cross(points, standard_points(), settings_value, *merged);

  // Separations outside [0, 180], from the input's last bytes.
  if (size >= 8) {
    double separation = 0.0;
    std::memcpy(&separation, data + size - 8, 8);
    auto ours = find_aspect(settings, "Sun", "Moon", separation);
    auto theirs = reference_find(settings.json(), "Sun", "Moon", separation);
    FUZZ_CHECK(ours.has_value() == theirs.has_value());
    if (ours && theirs) {
      FUZZ_CHECK(ours->has_value() == theirs->has_value());
      if (*ours && *theirs) {
        FUZZ_CHECK((*ours)->aspect == &kAspectTable[(*theirs)->aspect]);
        FUZZ_CHECK(same_double((*ours)->allowed, (*theirs)->allowed));
      }
    }
  }
}

}  // namespace quorvane::fuzz
