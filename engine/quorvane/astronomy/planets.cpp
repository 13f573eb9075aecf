#include "quorvane/astronomy/planets.hpp"

#include <cmath>
#include <numbers>

#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/astronomy/chiron.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

struct Instant {
  Time time;
  Orientation orientation;
  Observer earth;
};

struct Ecliptic {
  double longitude;  // degrees, [0, 360)
  double latitude;   // degrees
  double distance;   // au
};

Expected<Ecliptic, SpkError> ecliptic_of(const Kernel& kernel, const Instant& at, int32_t code) {
  auto seen = apparent_place(kernel, at.earth, code, at.time);
  if (!seen) return unexpected(seen.error());
  const Vec3 v = at.orientation.true_ecliptic * *seen;
  // Zeroed or non-finite coefficients give no direction: the body is
  // unavailable rather than at 0 Aries.
  const double distance = length(v);
  if (!std::isfinite(distance) || !(distance > 0.0)) {
    return unexpected(SpkError::malformed("the kernel gives no position"));
  }
  return Ecliptic{normalize_degrees(std::atan2(v[1], v[0]) * kDegrees),
                  std::atan2(v[2], std::hypot(v[0], v[1])) * kDegrees, distance};
}

bool unreadable(const SpkError& error) { return std::holds_alternative<SpkIo>(error.kind); }

}  // namespace

Expected<PlanetsAndSiderealTime, EngineError> planets_and_sidereal_time(const KernelSet& kernels,
                                                                        double jd, double ayanamsa) {
  const Time t0 = Time::from_ut1(jd);
  const Time t1 = Time::from_ut1(t0.whole + t0.ut1_fraction + 1.0 / 24.0);
  auto chosen = choose_kernel(kernels, jd);
  if (!chosen) return unexpected(chosen.error());
  const Kernel& kernel = **chosen;

  Instant instants[2] = {{t0, orientation_2000a(t0), {}}, {t1, orientation_2000a(t1), {}}};
  bool have_earth[2] = {false, false};
  for (int i = 0; i < 2; ++i) {
    auto earth = geocentre(kernel, instants[i].time);
    if (!earth && unreadable(earth.error())) return unexpected(EngineError::spk(earth.error()));
    if (earth) {
      instants[i].earth = *earth;
      have_earth[i] = true;
    }
  }

  PlanetsAndSiderealTime result;
  result.bodies.reserve(14);
  if (have_earth[0] && have_earth[1]) {
    for (const Body& body : kKernelBodies) {
      // A body the kernel lacks is unavailable; a file that cannot be read
      // fails the chart rather than passing for one without the body.
      auto now = ecliptic_of(kernel, instants[0], body.naif_code);
      if (!now && unreadable(now.error())) return unexpected(EngineError::spk(now.error()));
      if (!now) continue;
      auto later = ecliptic_of(kernel, instants[1], body.naif_code);
      if (!later && unreadable(later.error())) return unexpected(EngineError::spk(later.error()));
      if (!later) continue;
      const double speed =
          (normalize_degrees(later->longitude - now->longitude + 180.0) - 180.0) * 24.0;
      result.bodies.push_back({body.name, body.glyph, normalize_degrees(now->longitude - ayanamsa),
                               now->latitude, now->distance, speed,
                               body.can_retrograde && speed < 0.0});
    }
  }

  // Mean lunar node and mean apogee, UT centuries from J2000.
  const double t = (jd - 2451545.0) / 36525.0;
  const double node = normalize_degrees(125.0445479 - 1934.1362891 * t + 0.0020754 * t * t +
                                        t * t * t / 467441.0 - t * t * t * t / 60616000.0);
  const double north = normalize_degrees(node - ayanamsa);
  result.bodies.push_back({"North Node", symbol_of("North Node"), north, 0.0, 0.00257, -0.05295, true});
  result.bodies.push_back(
      {"South Node", symbol_of("South Node"), normalize_degrees(north + 180.0), 0.0, 0.00257, -0.05295, true});

  if (auto chiron = chiron::position(jd, ayanamsa)) {
    result.bodies.push_back(
        {"Chiron", symbol_of("Chiron"), chiron->longitude, 0.0, 0.0, chiron->speed, chiron->retrograde});
  }

  const double perigee = normalize_degrees(83.3532465 + 4069.0137287 * t - 0.01032 * t * t -
                                           t * t * t / 80053.0);
  const double apogee = normalize_degrees(perigee + 180.0);
  const double u = normalize_degrees(apogee - node) / kDegrees;
  const double lambda = std::atan2(0.9959703203465923 * std::sin(u), std::cos(u)) * kDegrees;
  result.bodies.push_back({"Lilith", symbol_of("Lilith"), normalize_degrees(lambda + node - ayanamsa), 0.0,
                           0.0027, 0.1114, false});

  result.sidereal_time = instants[0].orientation.gast;
  return result;
}

}  // namespace quorvane
