// The bodies of a chart: apparent geocentric ecliptic positions of date
// from the kernels, the mean lunar nodes, Chiron and the mean apogee.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"

namespace quorvane {

struct BodyPosition {
  std::string_view name;
  std::string_view symbol;
  double longitude;  // degrees in [0, 360), tropical of date minus the ayanamsa
  double latitude;   // degrees
  double distance;   // au
  double speed;      // degrees per day
  bool retrograde;
};

struct PlanetsAndSiderealTime {
  std::vector<BodyPosition> bodies;
  double sidereal_time;  // Greenwich apparent sidereal time, hours
};

// `jd` is the UT Julian day of the chart, `ayanamsa` in degrees. The
// "North Node" and "South Node" are the mean nodes, or with `true_node` the
// nodes of the Moon's osculating orbit (as Engine.positions' "True Node").
Expected<PlanetsAndSiderealTime, EngineError> planets_and_sidereal_time(const KernelSet& kernels,
                                                                        double jd, double ayanamsa,
                                                                        bool true_node = false);

}  // namespace quorvane
