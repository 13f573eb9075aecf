#include "quorvane/chart/house_positions.hpp"

#include <cmath>

#include "quorvane/astronomy/positions.hpp"
#include "quorvane/chart/chart.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/house_position.hpp"
#include "quorvane/zodiac/options.hpp"

namespace quorvane {

Expected<HousePositions, EngineError> house_positions(const KernelSet& kernels,
                                                      const HousePositionsRequest& request) {
  if (request.house_obliquity != "mean" && request.house_obliquity != "true") {
    return unexpected(EngineError::invalid_input(
        "house_positions: house_obliquity must be \"mean\" or \"true\", not \"" +
        request.house_obliquity + "\""));
  }
  PositionsRequest asked;
  asked.jds = {request.moment.julian_day()};
  std::vector<std::string> names = request.bodies;
  if (names.empty()) {
    for (std::string_view name : chart_body_names()) names.emplace_back(name);
  }
  // Sunshine divides the Sun's semi-arcs: the Sun comes along, unlisted.
  names.emplace_back("Sun");
  auto bodies = position_bodies(names, "house_positions");
  if (!bodies) return unexpected(std::move(bodies).error());
  asked.bodies = std::move(bodies).value();
  auto columns = positions(kernels, asked);
  if (!columns) return unexpected(std::move(columns).error().error);
  const PositionColumns& c = *columns;

  HousePositions out;
  out.moment = request.moment;
  out.jd = asked.jds[0];
  const HouseSystem system = HouseSystem::from_code(request.house_system);
  out.house_system = system.code();
  out.obliquity =
      mean_obliquity_iau1980(out.jd) + house_obliquity_nutation(request.house_obliquity, out.jd);
  out.ramc = ramc_degrees(c.sidereal_time[0], request.longitude);
  out.polar_fallback = is_quadrant_system(system) && beyond_polar_circle(request.latitude, out.obliquity);
  const size_t sun = names.size() - 1;
  const double sun_declination =
      std::asin(std::sin(c.longitude[sun] * kRadiansPerDegree) *
                std::sin(out.obliquity * kRadiansPerDegree)) *
      kDegreesPerRadian;
  const HouseFrame frame{out.ramc, request.latitude, out.obliquity, sun_declination, 0.0};
  for (size_t k = 0; k < sun; ++k) {
    out.positions.push_back({names[k], c.longitude[k], c.latitude[k],
                             house_position(system, frame, c.longitude[k], c.latitude[k])});
  }
  return out;
}

void write(RecordWriter& out, const HousePositions& p) {
  ObjectWriter o(out);
  o.field("moment", p.moment.isoformat())
      .field("jd", p.jd)
      .field("house_system", std::string(1, p.house_system))
      .field("polar_fallback", p.polar_fallback)
      .field("ramc", p.ramc)
      .field("obliquity", p.obliquity);
  o.writer().key("positions");
  write_list(out, p.positions, [](RecordWriter& w, const BodyHousePosition& b) {
    ObjectWriter(w)
        .field("body", b.body)
        .field("longitude", b.longitude)
        .field("latitude", b.latitude)
        .field("house_position", b.house_position);
  });
}

}  // namespace quorvane
