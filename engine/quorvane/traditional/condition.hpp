// The accidental condition of a traditional planet (sect, horizon, solar
// phase, orientality, motion) with its essential dignity, and the sect of
// the chart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/traditional/dignities.hpp"

namespace quorvane {

// The planet's own sect: fixed, or (Mercury) by its side of the Sun.
enum class OwnSect : uint8_t { Diurnal, Nocturnal, DiurnalWhenOriental };

struct PlanetTraits {
  std::string_view name;
  OwnSect sect;
  double mean_motion;  // degrees a day, the yardstick of fast and slow
  bool orientality_judged;
  bool can_be_stationary;
};

inline constexpr PlanetTraits kPlanetTraits[7] = {
    {"Sun", OwnSect::Diurnal, 0.9855555555555555, false, false},  // 0°59'08"
    {"Moon", OwnSect::Nocturnal, 13.176666666666666, false, false},  // 13°10'36"
    {"Mercury", OwnSect::DiurnalWhenOriental, 0.9855555555555555, true, true},
    {"Venus", OwnSect::Nocturnal, 0.9855555555555555, true, true},
    {"Mars", OwnSect::Nocturnal, 0.5241666666666667, true, true},  // 0°31'27"
    {"Jupiter", OwnSect::Diurnal, 0.08305555555555555, true, true},  // 0°04'59"
    {"Saturn", OwnSect::Diurnal, 0.03361111111111111, true, true},  // 0°02'01"
};

// Within 17 arc-minutes of the Sun's centre.
inline constexpr double kCazimiOrb = 0.2833333333333333;
inline constexpr double kCombustOrb = 8.5;
inline constexpr double kUnderBeamsOrb = 15.0;

// The chart is diurnal when the Sun stands above the horizon, i.e. at least
// 180° past the Ascendant in zodiacal order.
bool is_diurnal_chart(double sun, double ascendant);
// "diurnal" or "nocturnal".
std::string_view chart_sect(double sun, double ascendant);
std::string_view sect_name(bool diurnal);

// Which side of the horizon a point of the ecliptic is on. Between the polar
// circles the Ascendant and the Descendant cut the ecliptic into the half
// above and the half below. Beyond them the houses keep the angles in
// zodiac order rather than on the horizon's sides, so the point's own
// (geometric) altitude decides.
class HorizonSides {
 public:
  static HorizonSides by_ascendant(double ascendant);
  // RAMC, latitude and obliquity in degrees; `offset` is added to a
  // longitude to make it tropical (the ayanamsa of a sidereal chart).
  static HorizonSides by_altitude(double ramc, double latitude, double obliquity, double offset);
  bool above(double longitude) const;

 private:
  double ascendant_ = 0.0;
  bool by_altitude_ = false;
  double ramc_ = 0.0, latitude_ = 0.0, obliquity_ = 0.0, offset_ = 0.0;
};

struct Condition {
  EssentialDignity essential;
  std::string_view sect;  // the planet's own sect
  bool in_sect = false;
  bool above_horizon = false;
  std::optional<std::string_view> solar_phase;
  std::optional<std::string_view> orientality;  // none for the lights
  std::string_view motion;
};

// A named condition, as re-judged charts list them.
struct PlanetCondition {
  std::string name;
  Condition condition;
};

// "cazimi", "combust" or "under_beams" by distance from the Sun; none beyond
// 15° and always none for the Sun itself.
std::optional<std::string_view> solar_phase(std::string_view planet, double longitude, double sun);

// The condition of a body at `longitude` moving `speed` degrees a day; none
// for anything but the seven traditional planets.
std::optional<Condition> condition(std::string_view name, double longitude, double speed,
                                   DignityScheme scheme, double sun, double ascendant);
// The same with the sides of the horizon given, and so the chart's sect.
std::optional<Condition> condition(std::string_view name, double longitude, double speed,
                                   DignityScheme scheme, double sun, const HorizonSides& sides);

void write(RecordWriter& out, const Condition& condition);
void write(RecordWriter& out, const PlanetCondition& condition);

}  // namespace quorvane
