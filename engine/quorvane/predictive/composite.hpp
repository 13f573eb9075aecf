// Relationship charts of two births. The composite chart puts every body at
// the nearer midpoint of its two places; its Midheaven is the nearer
// midpoint of the two Midheavens and its houses are cast from that
// Midheaven's right ascension at the mean of the two latitudes, with the
// obliquity of the midpoint moment. The Davison chart is the ordinary
// chart of the midpoint moment at the midpoint place.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chart/chart.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"
#include "quorvane/zodiac/aspects.hpp"

namespace quorvane {

struct BirthPlace {
  UtcInstant moment;
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
};

// The midpoint moment (to the microsecond), the mean latitude and the
// nearer midpoint of the longitudes, in (-180, 180].
BirthPlace midpoint_place(const BirthPlace& a, const BirthPlace& b);

// The nearer midpoint of two longitudes, degrees in [0, 360).
double nearer_midpoint(double a, double b);

struct CompositeChart {
  BirthPlace midpoint;  // its moment gives the obliquity, its latitude the houses
  std::string zodiac_type;
  std::optional<std::string> ayanamsa;
  std::vector<Placement> planets;  // bodies both charts have, then Ascendant, Midheaven
  std::vector<HouseCusp> houses;
  std::vector<Aspect> aspects;
};

struct DavisonChart {
  BirthPlace midpoint;
  Chart chart;
};

// `options` gives the house system, zodiac, ayanamsa, orb settings and
// dignity scheme; its moment and place are not used.
Expected<CompositeChart, EngineError> composite_chart(const KernelSet& kernels,
                                                      const ChartRequest& options,
                                                      const BirthPlace& a, const BirthPlace& b);
Expected<DavisonChart, EngineError> davison_chart(const KernelSet& kernels,
                                                  const ChartRequest& options,
                                                  const BirthPlace& a, const BirthPlace& b);

// The place fields: moment, julian_day, latitude, longitude.
void write(RecordWriter& out, const BirthPlace& place);
void write(RecordWriter& out, const CompositeChart& chart);
void write(RecordWriter& out, const DavisonChart& chart);

}  // namespace quorvane
