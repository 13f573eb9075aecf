#include "quorvane/directions/direction_points.hpp"

#include <cmath>
#include <optional>
#include <string>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/catalog.hpp"
#include "quorvane/zodiac/fixed_stars.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane::directions {
namespace {

struct PtolemaicAspect {
  std::string_view name;
  double angle;
};
// Ptolemy, Tetrabiblos I.13: the aspects of the signs.
constexpr PtolemaicAspect kPtolemaicAspects[] = {
    {"sextile", 60.0}, {"square", 90.0}, {"trine", 120.0}, {"opposition", 180.0}};

constexpr std::string_view kFamilyNames[] = {"planets", "aspects", "antiscia", "bounds", "stars"};
constexpr std::string_view kLatitudeNames[] = {"zero", "bianchini", "planet"};

const BodyPlace* body(const NatalSky& sky, std::string_view name) {
  for (const BodyPlace& b : sky.bodies) {
    if (b.name == name) return &b;
  }
  return nullptr;
}

// A point of the zodiac at a longitude and ecliptic latitude.
DirectionPoint zodiac_point(std::string name, Family family, std::string_view aspect,
                            std::string_view side, double longitude, double latitude,
                            const NatalSky& sky) {
  DirectionPoint p{std::move(name), family, aspect, side, normalize_degrees(longitude), latitude, {},
                   0.0};
  p.place = equatorial_point(p.longitude, latitude, sky.obliquity);
  return p;
}

double aspect_latitude(PromissorLatitude option, double body_latitude, double angle) {
  switch (option) {
    case PromissorLatitude::Zero:
      return 0.0;
    case PromissorLatitude::Planet:
      return body_latitude;
    case PromissorLatitude::Bianchini:
      return std::atan(std::tan(body_latitude * kRadiansPerDegree) *
                       std::cos(angle * kRadiansPerDegree)) *
             kDegreesPerRadian;
  }
  return 0.0;
}

void add_body_points(const NatalSky& sky, const BodyPlace& b, Method method,
                     PromissorLatitude latitude, std::vector<DirectionPoint>* out) {
  const bool mundane = method == Method::PlacidusMundane;
  const double own_latitude = mundane ? b.ecliptic_latitude : aspect_latitude(latitude, b.ecliptic_latitude, 0.0);
  DirectionPoint conjunction =
      zodiac_point(std::string(b.name), Family::Planets, "conjunction", "", b.longitude,
                   own_latitude, sky);
  if (mundane || latitude != PromissorLatitude::Zero) conjunction.place = b.place;
  out->push_back(conjunction);
  for (const PtolemaicAspect& aspect : kPtolemaicAspects) {
    for (double sign : {1.0, -1.0}) {
      if (aspect.angle == 180.0 && sign < 0.0) continue;
      const std::string_view side =
          aspect.angle == 180.0 ? std::string_view() : (sign > 0.0 ? "sinister" : "dexter");
      if (mundane) {
        DirectionPoint p = conjunction;
        p.family = Family::Aspects;
        p.aspect = aspect.name;
        p.side = side;
        // A sinister aspect falls ahead in the order of the signs: east of
        // the body, behind it in the Placidian measure.
        p.mundane_offset = -sign * aspect.angle;
        out->push_back(p);
        continue;
      }
      out->push_back(zodiac_point(std::string(b.name), Family::Aspects, aspect.name, side,
                                  b.longitude + sign * aspect.angle,
                                  aspect_latitude(latitude, b.ecliptic_latitude, aspect.angle),
                                  sky));
    }
  }
  // Antiscia mirror the body across the solstitial axis, contra-antiscia
  // across the equinoctial; the mirror keeps the latitude option's choice.
  const double mirrored = mundane ? 0.0 : own_latitude;
  out->push_back(zodiac_point(std::string(b.name), Family::Antiscia, "antiscion", "",
                              180.0 - b.longitude, mirrored, sky));
  out->push_back(zodiac_point(std::string(b.name), Family::Antiscia, "contra-antiscion", "",
                              360.0 - b.longitude, mirrored, sky));
}

}  // namespace

std::optional<std::string_view> side_or_none(std::string_view side) {
  if (side.empty()) return std::nullopt;
  return side;
}

std::string_view family_name(Family family) { return kFamilyNames[static_cast<int>(family)]; }

Expected<Family, EngineError> family_from_text(std::string_view text) {
  for (size_t i = 0; i < std::size(kFamilyNames); ++i) {
    if (kFamilyNames[i] == text) return static_cast<Family>(i);
  }
  return unexpected(EngineError::invalid_input(
      "families must be among planets, aspects, antiscia, bounds and stars, got " +
      std::string(text)));
}

Expected<PromissorLatitude, EngineError> promissor_latitude_from_text(std::string_view text) {
  for (size_t i = 0; i < std::size(kLatitudeNames); ++i) {
    if (kLatitudeNames[i] == text) return static_cast<PromissorLatitude>(i);
  }
  return unexpected(EngineError::invalid_input(
      "promissor_latitude must be zero, bianchini or planet, got " + std::string(text)));
}

std::string_view promissor_latitude_name(PromissorLatitude option) {
  return kLatitudeNames[static_cast<int>(option)];
}

bool is_diurnal(const NatalSky& sky) {
  const BodyPlace* sun = body(sky, "Sun");
  return sun && normalize_degrees(sun->longitude - sky.ascendant) >= 180.0;
}

double part_of_fortune(double ascendant, double sun, double moon, bool diurnal) {
  return normalize_degrees(diurnal ? ascendant + moon - sun : ascendant + sun - moon);
}

std::vector<DirectionPoint> significators(const NatalSky& sky) {
  std::vector<DirectionPoint> out;
  out.push_back(
      zodiac_point("Ascendant", Family::Planets, "conjunction", "", sky.ascendant, 0.0, sky));
  DirectionPoint midheaven =
      zodiac_point("Midheaven", Family::Planets, "conjunction", "", sky.midheaven, 0.0, sky);
  midheaven.place.right_ascension = normalize_degrees(sky.ramc);  // exactly on the meridian
  out.push_back(midheaven);
  const BodyPlace* sun = body(sky, "Sun");
  const BodyPlace* moon = body(sky, "Moon");
  for (const BodyPlace* light : {sun, moon}) {
    if (!light) continue;
    DirectionPoint p = zodiac_point(std::string(light->name), Family::Planets, "conjunction", "",
                                    light->longitude, light->ecliptic_latitude, sky);
    p.place = light->place;
    out.push_back(p);
  }
  if (sun && moon) {
    const double fortune =
        part_of_fortune(sky.ascendant, sun->longitude, moon->longitude, is_diurnal(sky));
    out.push_back(zodiac_point("Fortune", Family::Planets, "conjunction", "", fortune, 0.0, sky));
  }
  return out;
}

std::vector<DirectionPoint> promissors(const NatalSky& sky, Method method,
                                       PromissorLatitude latitude, DignityScheme scheme) {
  std::vector<DirectionPoint> out;
  for (const BodyPlace& b : sky.bodies) add_body_points(sky, b, method, latitude, &out);
  // Each bound begins where the one before it ends.
  const auto& table = bounds(scheme);
  for (size_t sign = 0; sign < table.size(); ++sign) {
    int start = 0;
    for (const Bound& bound : table[sign]) {
      out.push_back(zodiac_point(std::string(bound.lord), Family::Bounds, "bound", "",
                                 30.0 * static_cast<double>(sign) + start, 0.0, sky));
      start = bound.end;
    }
  }
  for (const FixedStar& star : kFixedStars) {
    out.push_back(zodiac_point(std::string(star.name), Family::Stars, "conjunction", "",
                               star_longitude(star, sky.jd), star.latitude, sky));
  }
  return out;
}

void write(RecordWriter& out, const DirectionPoint& point) {
  ObjectWriter o(out);
  o.field("name", point.name)
      .field("family", family_name(point.family))
      .field("aspect", point.aspect)
      .field("side", side_or_none(point.side))
      .field("mundane_offset", point.mundane_offset)
      .field("longitude", point.longitude)
      .field("latitude", point.ecliptic_latitude)
      .field("right_ascension", point.place.right_ascension)
      .field("declination", point.place.declination);
}

}  // namespace quorvane::directions
