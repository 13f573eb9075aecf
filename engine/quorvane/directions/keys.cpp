#include "quorvane/directions/keys.hpp"

#include <algorithm>
#include <string>

namespace quorvane::directions {
namespace {

struct KeyName {
  Key key;
  std::string_view name;
};
constexpr KeyName kKeyNames[] = {
    {Key::Ptolemy, "ptolemy"},
    {Key::Naibod, "naibod"},
    {Key::Cardan, "cardan"},
    {Key::TrueSolarArc, "true_solar_arc"},
    {Key::Simmonite, "simmonite"},
    {Key::Kepler, "kepler"},
};

// The cubic Hermite interpolant on a step with values y0, y1 and rates m0,
// m1 (per step) at fraction t of the step.
double hermite(double y0, double y1, double m0, double m1, double t) {
  const double t2 = t * t, t3 = t2 * t;
  return (2 * t3 - 3 * t2 + 1) * y0 + (t3 - 2 * t2 + t) * m0 + (-2 * t3 + 3 * t2) * y1 +
         (t3 - t2) * m1;
}

}  // namespace

Expected<Key, EngineError> key_from_text(std::string_view text) {
  for (const KeyName& entry : kKeyNames) {
    if (entry.name == text) return entry.key;
  }
  return unexpected(EngineError::invalid_input(
      "key must be ptolemy, naibod, cardan, true_solar_arc, simmonite or kepler, got " +
      std::string(text)));
}

std::string_view key_name(Key key) {
  for (const KeyName& entry : kKeyNames) {
    if (entry.key == key) return entry.name;
  }
  return {};
}

std::optional<double> days_to_gain(const SolarRightAscensionTrack& track, double arc) {
  const auto& ra = track.right_ascension;
  if (ra.size() < 2 || arc < 0.0) return std::nullopt;
  const double wanted = ra.front() + arc;
  const auto after = std::upper_bound(ra.begin(), ra.end(), wanted);
  if (after == ra.end()) return std::nullopt;
  const size_t k = static_cast<size_t>(after - ra.begin()) - 1;
  // The Sun's right ascension only grows: bisect the step for the crossing.
  const double h = track.step_days;
  double lo = 0.0, hi = 1.0;
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (hermite(ra[k], ra[k + 1], h * track.speed[k], h * track.speed[k + 1], mid) < wanted) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return h * (static_cast<double>(k) + 0.5 * (lo + hi));
}

std::optional<double> ArcKey::rate() const {
  if (key_ == Key::TrueSolarArc) return std::nullopt;
  return rate_;
}

std::optional<double> ArcKey::age(double arc) const {
  if (key_ == Key::TrueSolarArc) return days_to_gain(track_, arc);  // a day for a year
  return arc / rate_;
}

}  // namespace quorvane::directions
