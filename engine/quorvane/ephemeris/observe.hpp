// Apparent places: what an observer sees of a body, with light time,
// gravitational deflection and aberration. Vectors in GCRS axes, au.
#pragma once

#include <optional>

#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/expected.hpp"
#include "quorvane/time.hpp"
#include "quorvane/vector.hpp"

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

// Speed of light in au/day.
inline constexpr double kLightAuPerDay = 173.14463267424034;

Expected<Astrometric, SpkError> observe_from(const Kernel& kernel, const Observer& observer,
                                             int32_t target, const Time& time);

// The correction (au) that one deflecting body adds to `position`: the
// turn of its direction times its length.
Vec3 deflection(const Vec3& position, const Vec3& observer_minus_deflector, double reciprocal_mass);

Expected<Vec3, SpkError> apparent(const Kernel& kernel, const Astrometric& astrometric,
                                  const Time& time);

}  // namespace quorvane
