// Primary directions of a nativity: every promissor carried by the diurnal
// rotation to every significator (and the converse), timed by a key.
//
// Conventions, all named in the result's header: places are apparent and
// geocentric in the true equator and equinox of date; the obliquity is the
// true obliquity of date; the RAMC is the Greenwich apparent sidereal time
// plus the east longitude; ages turn into dates with kDirectionYearDays.
//
// Direction: "direct" carries the promissor by primary motion to the
// significator's position. "converse" is, under converse "traditional",
// the significator carried by primary motion to the promissor's position
// (the direct arc with the roles exchanged); under "reverse" (neo-converse),
// the promissor moved against primary motion to the significator (360
// degrees less the direct arc).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/directions/direction_methods.hpp"
#include "quorvane/directions/direction_points.hpp"
#include "quorvane/directions/keys.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/predictive/composite.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane::directions {

inline constexpr double kLongestDirectionAge = 150.0;  // years

enum class Converse { Traditional, Reverse };
Expected<Converse, EngineError> converse_from_text(std::string_view text);

struct PrimaryDirectionsRequest {
  BirthPlace birth;
  double start_age = 0.0;  // years
  double end_age = 100.0;
  std::string method = "placidus_zodiacal";
  std::string key = "naibod";
  std::string promissor_latitude = "zero";
  std::string converse = "traditional";
  std::string dignity_scheme = "egyptian";  // the bounds' table
  // Filters; empty keeps all. Directions: "direct", "converse".
  std::vector<std::string> significators;
  std::vector<std::string> promissors;
  std::vector<std::string> aspects;
  std::vector<std::string> families;
  std::vector<std::string> directions;
};

struct PrimaryDirection {
  const DirectionPoint* promissor = nullptr;  // into PrimaryDirections::promissors
  const DirectionPoint* significator = nullptr;
  Method method = Method::PlacidusZodiacal;
  bool converse = false;
  double arc = 0.0;  // degrees of the equator
  double age = 0.0;  // years
  UtcInstant date;
};

// Move-only: each direction points into the record's own point lists.
struct PrimaryDirections {
  PrimaryDirections() = default;
  PrimaryDirections(const PrimaryDirections&) = delete;
  PrimaryDirections& operator=(const PrimaryDirections&) = delete;
  PrimaryDirections(PrimaryDirections&&) = default;
  PrimaryDirections& operator=(PrimaryDirections&&) = default;

  BirthPlace birth;
  double start_age = 0.0;
  double end_age = 0.0;
  Method method = Method::PlacidusZodiacal;
  Key key = Key::Naibod;
  std::optional<double> key_rate;  // degrees per year; none for the true solar arc
  PromissorLatitude promissor_latitude = PromissorLatitude::Zero;
  Converse converse = Converse::Traditional;
  std::string_view bounds;  // the dignity scheme of the bounds
  double obliquity = 0.0;
  double ramc = 0.0;
  bool diurnal = false;
  std::vector<DirectionPoint> significators;
  std::vector<DirectionPoint> promissors;
  std::vector<PrimaryDirection> directions;  // by arc
};

Expected<PrimaryDirections, EngineError> primary_directions(const KernelSet& kernels,
                                                            const PrimaryDirectionsRequest& request);

void write(RecordWriter& out, const PrimaryDirection& direction);
void write(RecordWriter& out, const PrimaryDirections& directions);

}  // namespace quorvane::directions
