// One light view of a body or point (its name, longitude and motion), the
// one lookup by name over any list of named records, and the one angular
// separation of two longitudes.
#pragma once

#include <cmath>
#include <ranges>
#include <string_view>

namespace quorvane {

// A body as the judgements and placements read it. The name is borrowed:
// a static name or one owned by the record the view was taken from.
struct BodyView {
  std::string_view name;
  double longitude = 0.0;  // degrees
  double speed = 0.0;      // degrees a day
  bool retrograde = false;
};

// The first entry of `list` whose `name` equals `name`, or null.
template <std::ranges::forward_range List>
  requires requires(const std::ranges::range_value_t<List>& entry) {
    { entry.name == std::string_view() } -> std::convertible_to<bool>;
  }
const std::ranges::range_value_t<List>* first_named(const List& list, std::string_view name) {
  for (const auto& entry : list) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

// The angular distance of two longitudes, in [0, 180] for finite input;
// NaN stays NaN.
inline double angular_separation(double longitude1, double longitude2) {
  const double d = std::fmod(std::fabs(longitude1 - longitude2), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

}  // namespace quorvane
