// Apparent places: what an observer sees of a body, with light time,
// gravitational deflection and aberration. Vectors in GCRS axes, au.
#pragma once

#include <array>
#include <cmath>
#include <optional>

#include "quorvane/base/expected.hpp"
#include "quorvane/base/vector.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {

struct Observer {
  std::optional<Vec3> gcrs;  // position relative to the geocentre, au (absent: geocentric)
  Vec3 position;             // barycentric, au
  Vec3 velocity;             // barycentric, au/day
};

struct Astrometric {
  Observer observer;
  Vec3 position;      // observer to target at the retarded time, au
  double light_time;  // days
};

// The NAIF codes of the bodies the engine names in its own computations.
inline constexpr int32_t kSunCode = 10;
inline constexpr int32_t kMoonCode = 301;
inline constexpr int32_t kEarthCode = 399;

// Speed of light in au/day.
inline constexpr double kLightAuPerDay = 173.14463267424034;
// The Sun's mass over the Earth's, for the Earth's own deflection.
inline constexpr double kEarthReciprocalMass = 332946.050895;

// The time whose TDB is earlier by `days`, for a state (which reads TDB
// alone): TT is moved back by the same days (TDB - TT changes by under
// 1e-5 s in a light time of hours), UT1 left at 0.
Time retarded(const Time& time, double days);

// Light time solved by iteration over any source of barycentric states
// (`barycentric(code, time)` gives Expected<State, SpkError>): the target
// where it was when the light now reaching the observer left it.
template <class Barycentric>
Expected<Astrometric, SpkError> observe_through(const Barycentric& barycentric,
                                                const Observer& observer, int32_t target,
                                                const Time& time) {
  auto state = barycentric(target, time);
  if (!state) return unexpected(state.error());
  Vec3 r = state->position - observer.position;
  double light_time = length(r) / kLightAuPerDay;
  if (std::abs(light_time) < 1e-12) return Astrometric{observer, r, light_time};

  for (int refinement = 0; refinement < 10; ++refinement) {
    if (refinement == 9) return unexpected(SpkError::malformed("light-travel time failed to converge"));
    state = barycentric(target, retarded(time, light_time));
    if (!state) return unexpected(state.error());
    r = state->position - observer.position;
    const double next = length(r) / kLightAuPerDay;
    const bool converged = std::abs(next - light_time) < 1e-12;
    light_time = next;
    if (converged) break;
  }
  return Astrometric{observer, r, light_time};
}

// The same over one kernel (its records kept in `records` when given).
Expected<Astrometric, SpkError> observe_from(const Kernel& kernel, const Observer& observer,
                                             int32_t target, const Time& time,
                                             RecordCache* records = nullptr);

// The deflecting bodies (the Sun, Jupiter and Saturn, or their barycentres
// when the kernel lacks the planet) at one instant: the same for every body
// seen then, so found once per instant.
struct Deflectors {
  std::array<int32_t, 3> codes{};
  std::array<Vec3, 3> positions{};  // barycentric, au
};
Expected<Deflectors, SpkError> deflectors_at(const Kernel& kernel, const Time& time,
                                             RecordCache* records = nullptr);

// The correction (au) that one deflecting body adds to `position`: the
// turn of its direction times its length.
Vec3 deflection(const Vec3& position, const Vec3& observer_minus_deflector, double reciprocal_mass);

// The astrometric position made apparent: deflected by the Sun, Jupiter and
// Saturn, by the Earth for an observer off the geocentre, then aberrated
// by the observer's velocity.
// `at_time`, when given, is deflectors_at(kernel, time).
Expected<Vec3, SpkError> apparent(const Kernel& kernel, const Astrometric& astrometric,
                                  const Time& time, RecordCache* records = nullptr,
                                  const Deflectors* at_time = nullptr);

// What `observer` sees of `target` at `time`: observe_from, then apparent.
// The one road from an observer to an apparent place (GCRS axes, au).
Expected<Vec3, SpkError> apparent_place(const Kernel& kernel, const Observer& observer,
                                        int32_t target, const Time& time,
                                        RecordCache* records = nullptr,
                                        const Deflectors* at_time = nullptr);

// The observers: the Earth's centre, or a place fixed on the Earth given by
// its Earth-fixed position (au) and velocity (au/day) and the rotation
// `to_celestial` from Earth-fixed to GCRS axes at `time`.
Expected<Observer, SpkError> geocentre(const Kernel& kernel, const Time& time,
                                       RecordCache* records = nullptr);
Expected<Observer, SpkError> on_earth(const Kernel& kernel, const Time& time,
                                      const Mat3& to_celestial, const Vec3& fixed_position,
                                      const Vec3& fixed_velocity);

// The steps of `apparent`, apart for callers that model some of them:
// deflection by the Sun, Jupiter and Saturn (each at the moment the light
// passed it); the Earth's own deflection for an observer at `gcrs` from the
// geocentre, applied only when the ray does not pass well below the limb;
// relativistic aberration for the observer's barycentric velocity, with the
// astrometric light time in days.
Expected<Vec3, SpkError> deflected_by_bodies(const Kernel& kernel, const Astrometric& astrometric,
                                             const Time& time, RecordCache* records = nullptr,
                                             const Deflectors* at_time = nullptr);
Vec3 deflected_by_earth(const Vec3& position, const Vec3& gcrs);
Vec3 aberrated(const Vec3& position, const Vec3& velocity, double light_time);

}  // namespace quorvane
