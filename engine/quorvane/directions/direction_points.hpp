// The significators and promissors of primary directions, as points of the
// sky at birth: the angles, the lights and Fortune; the planets, their
// Ptolemaic aspects, antiscia, the bounds of the zodiac and the fixed stars.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/directions/direction_methods.hpp"
#include "quorvane/directions/spherical_arcs.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/traditional/dignities.hpp"

namespace quorvane::directions {

// A body's apparent place at birth (true ecliptic and equator of date).
struct BodyPlace {
  std::string_view name;
  double longitude = 0.0;
  double ecliptic_latitude = 0.0;
  EquatorialPoint place;
};

// The sky of the birth that directions are measured in.
struct NatalSky {
  double jd = 0.0;         // UT Julian day
  double latitude = 0.0;   // of the birthplace, degrees
  double ramc = 0.0;       // apparent sidereal time plus east longitude, degrees
  double obliquity = 0.0;  // true obliquity of date, degrees
  double ascendant = 0.0;  // the rising point of the ecliptic, as the chart's houses give it
  double midheaven = 0.0;
  std::vector<BodyPlace> bodies;  // the chart's kernel bodies, Sun to Pluto
};

enum class Family { Planets, Aspects, Antiscia, Bounds, Stars };
std::string_view family_name(Family family);
Expected<Family, EngineError> family_from_text(std::string_view text);

// The ecliptic latitude given to a zodiacal promissor.
enum class PromissorLatitude {
  Zero,       // every point on the ecliptic
  Bianchini,  // the body's own; an aspect on the circle through the body
              // that meets the ecliptic a quadrant away (tan b = tan B cos A)
  Planet,     // every aspect point at the body's latitude
};
Expected<PromissorLatitude, EngineError> promissor_latitude_from_text(std::string_view text);
std::string_view promissor_latitude_name(PromissorLatitude option);

struct DirectionPoint {
  std::string name;  // the body, star or bound lord
  Family family = Family::Planets;
  std::string_view aspect;  // "conjunction" ... "opposition", "antiscion", "contra-antiscion", "bound"
  std::string_view side;    // "sinister" (ahead in the zodiac), "dexter", or empty
  double longitude = 0.0;   // of the zodiac point; the body's for a mundane aspect
  double ecliptic_latitude = 0.0;
  EquatorialPoint place;
  // A mundane aspect's Placidian position less its body's (degrees of the
  // quadrant measure, see placidus_position); 0 for every other point.
  double mundane_offset = 0.0;
};

// Asc + Moon - Sun by day, Asc + Sun - Moon by night: the day when the Sun
// stands above the horizon (houses 7 to 12), as the chart's lots judge it.
bool is_diurnal(const NatalSky& sky);
double part_of_fortune(double ascendant, double sun, double moon, bool diurnal);

// Ascendant, Midheaven, Sun, Moon and Fortune (angles and Fortune on the
// ecliptic, the lights at their own places).
std::vector<DirectionPoint> significators(const NatalSky& sky);

// Every promissor of the chart for `method`: mundane aspects for
// placidus_mundane, zodiac aspect points with `latitude` otherwise.
std::vector<DirectionPoint> promissors(const NatalSky& sky, Method method,
                                       PromissorLatitude latitude, DignityScheme scheme);

// The side as a record shows it: none when the aspect has no sides.
std::optional<std::string_view> side_or_none(std::string_view side);

void write(RecordWriter& out, const DirectionPoint& point);

}  // namespace quorvane::directions
