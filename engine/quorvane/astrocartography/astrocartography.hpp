// Astrocartography: for one moment, where on Earth each body stands on an
// angle (lines), where two stand on angles together (parans), and the
// local-space circles from one place.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/astrocartography/angle_lines.hpp"
#include "quorvane/astrocartography/local_space.hpp"
#include "quorvane/astrocartography/parans.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane {

// mundo: the body's own apparent right ascension and declination;
// zodiaco: the point of the ecliptic at the body's longitude (latitude 0),
// through the obliquity the chart's houses use.
enum class MapMode { mundo, zodiaco };

std::optional<MapMode> map_mode(std::string_view name);
std::string_view map_mode_name(MapMode mode);

struct MapPlace {
  double latitude;   // degrees, north positive
  double longitude;  // degrees, east positive
};

struct AstrocartographyRequest {
  UtcInstant moment;
  std::vector<std::string> bodies;  // empty: Sun to Pluto
  MapMode mode = MapMode::mundo;
  std::optional<MapPlace> local_space;  // the place the local-space circles start from
  double tolerance = 0.01;  // degrees between a drawn segment and the true curve
};

struct MappedBody {
  std::string body;
  double longitude;        // apparent ecliptic longitude of date, degrees
  double latitude;         // the body's (mundo), 0 (zodiaco)
  double right_ascension;  // the point the lines are drawn for, degrees of date
  double declination;
};

struct BodyLine {
  std::string body;
  AngleLine line;
};

struct NamedParan {
  std::string first;
  std::string second;
  Paran paran;
};

struct BodyLocalSpace {
  std::string body;
  LocalSpaceLine line;
};

struct Astrocartography {
  UtcInstant moment;
  double jd;
  MapMode mode;
  double sidereal_time;  // Greenwich apparent sidereal time, degrees
  double obliquity;      // of the zodiaco points: the charts' houses' (IAU 1980 mean), degrees
  double tolerance;
  std::vector<MappedBody> bodies;
  std::vector<BodyLine> lines;
  std::vector<NamedParan> parans;
  std::optional<MapPlace> place;
  std::vector<BodyLocalSpace> local_space;
};

// The default body list: the ten bodies of the kernels, Sun to Pluto.
const std::vector<std::string>& map_body_names();

Expected<Astrocartography, EngineError> astrocartography(const KernelSet& kernels,
                                                         const AstrocartographyRequest& request);

void write(RecordWriter& out, const Astrocartography& map);

}  // namespace quorvane
