#include "quorvane/astronomy/planets.hpp"

#include <cmath>
#include <optional>

#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/astronomy/chiron.hpp"
#include "quorvane/astronomy/lunar_orbit.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/time/time_scales.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// A body's ecliptic place; zeroed or non-finite coefficients give no
// direction, so the body is unavailable rather than at 0 Aries.
Expected<EclipticPlace, SpkError> ecliptic_of(const ApparentSky& sky, int32_t code) {
  auto place = sky.ecliptic(code);
  if (!place) return place;
  if (!std::isfinite(place->distance) || !(place->distance > 0.0)) {
    return unexpected(SpkError::malformed("the kernel gives no position"));
  }
  return place;
}

bool unreadable(const SpkError& error) { return std::holds_alternative<SpkIo>(error.kind); }

// The ascending node of the Moon's osculating orbit: its geometric
// geocentric state in the axes of the true ecliptic and equinox of date.
Expected<double, SpkError> true_node_longitude(const Kernel& kernel, const Time& time,
                                               const Orientation& orientation,
                                               RecordCache* records) {
  auto moon = kernel.barycentric(kMoonCode, time, records);
  if (!moon) return unexpected(moon.error());
  auto earth = kernel.barycentric(kEarthCode, time, records);
  if (!earth) return unexpected(earth.error());
  const Mat3& m = orientation.true_ecliptic;
  return osculating_orbit(m * (moon->position - earth->position),
                          m * (moon->velocity - earth->velocity))
      .node.longitude;
}

}  // namespace

Expected<PlanetsAndSiderealTime, EngineError> planets_and_sidereal_time(const KernelSet& kernels,
                                                                        double jd, double ayanamsa,
                                                                        bool true_node) {
  const Time t0 = Time::from_ut1(jd);
  const Time t1 = Time::from_ut1(t0.whole + t0.ut1_fraction + 1.0 / 24.0);
  auto chosen = choose_kernel(kernels, jd);
  if (!chosen) return unexpected(chosen.error());
  const Kernel& kernel = **chosen;

  const std::array<Orientation, 2> orientations = orientation_2000a(t0, t1);
  RecordCache records;
  std::optional<ApparentSky> skies[2];
  for (int i = 0; i < 2; ++i) {
    auto sky = ApparentSky::geocentric(kernel, i == 0 ? t0 : t1, orientations[i], &records);
    if (!sky && unreadable(sky.error())) return unexpected(EngineError::spk(sky.error()));
    if (sky) skies[i] = *sky;
  }

  PlanetsAndSiderealTime result;
  result.bodies.reserve(14);
  if (skies[0] && skies[1]) {
    for (const Body& body : kKernelBodies) {
      // A body the kernel lacks is unavailable; a file that cannot be read
      // fails the chart rather than passing for one without the body.
      auto now = ecliptic_of(*skies[0], body.naif_code);
      if (!now && unreadable(now.error())) return unexpected(EngineError::spk(now.error()));
      if (!now) continue;
      auto later = ecliptic_of(*skies[1], body.naif_code);
      if (!later && unreadable(later.error())) return unexpected(EngineError::spk(later.error()));
      if (!later) continue;
      const double speed =
          (normalize_degrees(later->longitude - now->longitude + 180.0) - 180.0) * 24.0;
      result.bodies.push_back({body.name, body.glyph, normalize_degrees(now->longitude - ayanamsa),
                               now->latitude, now->distance, speed,
                               body.can_retrograde && speed < 0.0});
    }
  }

  // The lunar nodes (mean unless asked otherwise) and the mean apogee (Lilith).
  if (true_node) {
    auto now = true_node_longitude(kernel, t0, orientations[0], &records);
    if (!now) return unexpected(EngineError::spk(now.error()));
    auto later = true_node_longitude(kernel, t1, orientations[1], &records);
    if (!later) return unexpected(EngineError::spk(later.error()));
    const double north = normalize_degrees(*now - ayanamsa);
    const double speed = (normalize_degrees(*later - *now + 180.0) - 180.0) * 24.0;
    for (const char* name : {"North Node", "South Node"}) {
      const double longitude = name[0] == 'N' ? north : normalize_degrees(north + 180.0);
      result.bodies.push_back({name, symbol_of(name), longitude, 0.0, 0.00257, speed, speed < 0.0});
    }
  } else {
    const double node = mean_lunar_node(jd);
    const double north = normalize_degrees(node - ayanamsa);
    result.bodies.push_back(
        {"North Node", symbol_of("North Node"), north, 0.0, 0.00257, -0.05295, true});
    result.bodies.push_back({"South Node", symbol_of("South Node"),
                             normalize_degrees(north + 180.0), 0.0, 0.00257, -0.05295, true});
  }

  if (auto chiron = chiron::position(jd, ayanamsa)) {
    result.bodies.push_back({"Chiron", symbol_of("Chiron"), chiron->longitude, 0.0, 0.0,
                             chiron->speed, chiron->retrograde});
  }

  result.bodies.push_back({"Lilith", symbol_of("Lilith"), mean_lunar_apogee(jd, ayanamsa), 0.0,
                           0.0027, 0.1114, false});

  result.sidereal_time = orientations[0].gast;
  return result;
}

}  // namespace quorvane
