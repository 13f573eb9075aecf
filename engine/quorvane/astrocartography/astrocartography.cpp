#include "quorvane/astrocartography/astrocartography.hpp"

#include <cmath>

#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/astronomy/positions.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/houses.hpp"

namespace quorvane {

std::optional<MapMode> map_mode(std::string_view name) {
  if (name == "mundo") return MapMode::mundo;
  if (name == "zodiaco") return MapMode::zodiaco;
  return std::nullopt;
}

std::string_view map_mode_name(MapMode mode) {
  return mode == MapMode::mundo ? "mundo" : "zodiaco";
}

const std::vector<std::string>& map_body_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const Body& body : kKernelBodies) out.emplace_back(body.name);
    return out;
  }();
  return names;
}

namespace {

// The ecliptic point at `longitude` (latitude 0) in equatorial coordinates
// under the obliquity `obliquity` (degrees).
EquatorialPoint ecliptic_point(double longitude, double obliquity) {
  const double l = longitude * kRadiansPerDegree;
  const double e = obliquity * kRadiansPerDegree;
  double ra = std::atan2(std::sin(l) * std::cos(e), std::cos(l)) * kDegreesPerRadian;
  if (ra < 0.0) ra += 360.0;
  return {ra, std::asin(std::sin(e) * std::sin(l)) * kDegreesPerRadian};
}

}  // namespace

Expected<Astrocartography, EngineError> astrocartography(const KernelSet& kernels,
                                                         const AstrocartographyRequest& request) {
  if (!(request.tolerance > 0.0) || !std::isfinite(request.tolerance)) {
    return unexpected(EngineError::invalid_input("astrocartography: tolerance must be positive"));
  }
  const std::vector<std::string>& names =
      request.bodies.empty() ? map_body_names() : request.bodies;
  PositionsRequest asked;
  asked.jds = {request.moment.julian_day()};
  auto bodies = position_bodies(names, "astrocartography");
  if (!bodies) return unexpected(std::move(bodies).error());
  asked.bodies = std::move(bodies).value();
  auto columns = positions(kernels, asked);
  if (!columns) return unexpected(std::move(columns).error().error);
  const PositionColumns& c = *columns;

  Astrocartography map;
  map.moment = request.moment;
  map.jd = asked.jds[0];
  map.mode = request.mode;
  map.sidereal_time = c.sidereal_time[0] * 15.0;
  // The obliquity the chart's angles are computed with, so that a chart
  // cast on a zodiaco ASC line has the body's longitude on its Ascendant.
  map.obliquity = mean_obliquity_iau1980(map.jd);
  map.tolerance = request.tolerance;
  std::vector<EquatorialPoint> points;
  for (size_t k = 0; k < names.size(); ++k) {
    EquatorialPoint point{c.right_ascension[k], c.declination[k]};
    double latitude = c.latitude[k];
    if (request.mode == MapMode::zodiaco) {
      point = ecliptic_point(c.longitude[k], map.obliquity);
      latitude = 0.0;
    }
    points.push_back(point);
    map.bodies.push_back(
        {names[k], c.longitude[k], latitude, point.right_ascension, point.declination});
    for (AngleLine& line : angle_lines(point.right_ascension, point.declination,
                                       map.sidereal_time, request.tolerance)) {
      map.lines.push_back({names[k], std::move(line)});
    }
  }
  for (const Paran& p : parans(points, map.sidereal_time)) {
    map.parans.push_back({names[p.first], names[p.second], p});
  }
  if (request.local_space) {
    map.place = request.local_space;
    for (size_t k = 0; k < names.size(); ++k) {
      map.local_space.push_back(
          {names[k], local_space_line(points[k], request.local_space->latitude,
                                      request.local_space->longitude, map.sidereal_time,
                                      request.tolerance)});
    }
  }
  return map;
}

void write(RecordWriter& out, const Astrocartography& map) {
  ObjectWriter o(out);
  o.field("moment", map.moment.isoformat())
      .field("jd", map.jd)
      .field("mode", map_mode_name(map.mode))
      .field("sidereal_time", map.sidereal_time)
      .field("obliquity", map.obliquity)
      .field("tolerance", map.tolerance);
  o.writer().key("bodies");
  write_list(out, map.bodies, [](RecordWriter& w, const MappedBody& b) {
    ObjectWriter(w)
        .field("body", b.body)
        .field("longitude", b.longitude)
        .field("latitude", b.latitude)
        .field("right_ascension", b.right_ascension)
        .field("declination", b.declination);
  });
  o.writer().key("lines");
  write_list(out, map.lines, [](RecordWriter& w, const BodyLine& l) {
    ObjectWriter(w)
        .field("body", l.body)
        .field("angle", angle_name(l.line.angle))
        .field("south", l.line.south)
        .field("north", l.line.north)
        .field("segments", l.line.segments);
  });
  o.writer().key("parans");
  write_list(out, map.parans, [](RecordWriter& w, const NamedParan& p) {
    ObjectWriter(w)
        .field("first", p.first)
        .field("first_angle", angle_name(p.paran.first_angle))
        .field("second", p.second)
        .field("second_angle", angle_name(p.paran.second_angle))
        .field("latitude", p.paran.latitude)
        .field("longitude", p.paran.longitude);
  });
  o.writer().key("local_space");
  if (!map.place) {
    out.null();
    return;
  }
  ObjectWriter space(out);
  space.field("latitude", map.place->latitude).field("longitude", map.place->longitude);
  space.writer().key("lines");
  write_list(out, map.local_space, [](RecordWriter& w, const BodyLocalSpace& l) {
    ObjectWriter(w)
        .field("body", l.body)
        .field("azimuth", l.line.azimuth)
        .field("altitude", l.line.altitude)
        .field("segments", l.line.segments);
  });
}

}  // namespace quorvane
