// The aspects the engine looks for and the orb settings that govern them:
// the caller's settings merged into the defaults and read once into typed
// rules.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"

namespace quorvane {

struct AspectKind {
  std::string_view name;
  std::string_view symbol;
  double angle;
  double default_orb;
  bool major;
};

// Table order is also the order in which aspects are tried: with wide orbs
// an earlier aspect takes the separation first.
inline constexpr std::array<AspectKind, 7> kAspectTable{{
    {"Conjunction", "\u260C", 0.0, 8.0, true},
    {"Sextile", "\u26B9", 60.0, 6.0, true},
    {"Square", "\u25A1", 90.0, 7.0, true},
    {"Trine", "\u25B3", 120.0, 8.0, true},
    {"Opposition", "\u260D", 180.0, 8.0, true},
    {"Semi-Sextile", "\u26BA", 30.0, 2.5, false},
    {"Quincunx", "\u26BB", 150.0, 3.0, false},
}};

struct AspectWeight {
  std::string_view name;
  double weight;
};

// Weights of the "moiety_aspect_weighted" method when the caller's
// aspect_orbs cannot supply the ratio to the conjunction.
inline constexpr std::array<AspectWeight, 7> kAspectWeights{{
    {"Conjunction", 1.0},
    {"Opposition", 1.0},
    {"Trine", 1.0},
    {"Square", 0.875},
    {"Sextile", 0.75},
    {"Semi-Sextile", 0.35},
    {"Quincunx", 0.4},
}};

// The static weight of an aspect name; 1.0 for a name not in the table.
constexpr double aspect_weight(std::string_view name) {
  for (const auto& entry : kAspectWeights) {
    if (entry.name == name) return entry.weight;
  }
  return 1.0;
}

// How the orb of an aspect between two points is found: from the aspect's
// orb alone, or from the moiety (the mean of the two points' own orbs).
enum class OrbMethod { Hybrid, Weighted, Traditional, AspectOnly };

// The effective orb settings of one call, read once into typed rules. The
// merged JSON object is kept only to be reported as it is.
class OrbSettings {
 public:
  using Orb = Expected<double, EngineError>;

  // The caller's settings merged into the defaults. An absent, non-object
  // or empty `user` gives the defaults. The fixed-star orb must be a
  // number now; aspect and planet orbs are read now but a bad one only
  // fails when an aspect search first needs it.
  static Expected<OrbSettings, EngineError> merge(const Json* user);

  // Settings read as they stand, without the defaults: a missing aspect
  // orb is 8, a missing planet orb 5, a missing fixed-star orb 1.5.
  static Expected<OrbSettings, EngineError> read(Json value);

  OrbMethod method() const { return method_; }
  bool uses_planet_orbs() const { return method_ != OrbMethod::AspectOnly; }
  // The orb of kAspectTable[k], and whether the settings name it.
  const Orb& aspect_orb(size_t k) const { return aspect_orbs_[k]; }
  bool aspect_given(size_t k) const { return aspect_given_[k]; }
  // The orb of a point by name; 5 for a name the settings do not know.
  const Orb& planet_orb(std::string_view name) const;
  double fixed_star_orb() const { return fixed_star_orb_; }

  // The merged object, as the chart reports it under orb_settings.
  const Json& json() const { return value_; }

 private:
  explicit OrbSettings(Json value);

  Json value_;
  OrbMethod method_ = OrbMethod::AspectOnly;
  std::vector<Orb> aspect_orbs_;  // parallel to kAspectTable
  std::array<bool, kAspectTable.size()> aspect_given_{};
  std::vector<std::pair<std::string, Orb>> planet_orbs_;  // in the object's order
  double fixed_star_orb_ = 1.5;
};

OrbSettings default_orb_settings();

}  // namespace quorvane
