// Keys of primary directions: how many years of life an arc of the equator
// stands for. Ages are in years; a year is kDirectionYearDays days.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"

namespace quorvane::directions {

// The tropical year, as the progressions and time lords count it.
inline constexpr double kDirectionYearDays = 365.24219;

// Ptolemy, Tetrabiblos III.10: a degree of the equator for a year.
inline constexpr double kPtolemyDegreesPerYear = 1.0;
// Naibod: the Sun's mean daily motion, 0 deg 59' 08.33".
inline constexpr double kNaibodDegreesPerYear = 59.0 / 60.0 + 8.33 / 3600.0;
// Cardan: 0 deg 59' 12".
inline constexpr double kCardanDegreesPerYear = 59.0 / 60.0 + 12.0 / 3600.0;

enum class Key {
  Ptolemy,
  Naibod,
  Cardan,
  // The age at which the secondary-progressed Sun (a day after birth for
  // each year) has gained the arc in right ascension.
  TrueSolarArc,
  // The Sun's speed in right ascension at birth (over the hour after it),
  // a day's worth per year.
  Simmonite,
  // The Sun's advance in right ascension over the whole day after birth, per
  // year: the natal Sun's daily motion in right ascension.
  Kepler,
};

// "ptolemy", "naibod", "cardan", "true_solar_arc", "simmonite" or "kepler";
// anything else is an InvalidInput error.
Expected<Key, EngineError> key_from_text(std::string_view text);
std::string_view key_name(Key key);

// The Sun's right ascension every `step_days` from the birth, unwrapped
// (each entry at least the one before), with its rate per day: the track
// the true solar arc key reads.
struct SolarRightAscensionTrack {
  double step_days = 1.0;
  std::vector<double> right_ascension;  // degrees, k steps after birth at index k
  std::vector<double> speed;            // degrees per day
};

// The days after birth at which the track has gained `arc` over its first
// entry (cubic Hermite between the samples); none beyond its end.
std::optional<double> days_to_gain(const SolarRightAscensionTrack& track, double arc);

// Turns arcs into ages under one key.
class ArcKey {
 public:
  // `rate` in degrees per year for the uniform keys, Simmonite's and Kepler's.
  static ArcKey uniform(Key key, double rate) { return ArcKey(key, rate, {}); }
  static ArcKey solar(SolarRightAscensionTrack track) {
    return ArcKey(Key::TrueSolarArc, 0.0, std::move(track));
  }
  Key key() const { return key_; }
  // Degrees per year; none for the true solar arc, which has no one rate.
  std::optional<double> rate() const;
  std::optional<double> age(double arc) const;

 private:
  ArcKey(Key key, double rate, SolarRightAscensionTrack track)
      : key_(key), rate_(rate), track_(std::move(track)) {}
  Key key_;
  double rate_;
  SolarRightAscensionTrack track_;
};

}  // namespace quorvane::directions
