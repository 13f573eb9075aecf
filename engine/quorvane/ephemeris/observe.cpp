#include "quorvane/ephemeris/observe.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace quorvane {
namespace {

constexpr double kAuMeters = 1.495978707e11;
constexpr double kTwiceSunGm = 2.65424880035974e20;  // m^3/s^2
constexpr double kLightSquared = 89875517873681764.0;  // m^2/s^2
constexpr double kEarthRadiusAu = 0.000042635209780429045;
constexpr double kEarthReciprocalMass = 332946.050895;
constexpr double kTiny = std::numeric_limits<double>::min();  // smallest positive normal

struct Deflector {
  int32_t code;
  int32_t fallback;  // barycentre used when the kernel lacks the planet itself
  double reciprocal_mass;
};
constexpr Deflector kDeflectors[] = {
    {10, 10, 1.0},
    {599, 5, 1047.3486},
    {699, 6, 3497.898},
};

Vec3 unit_or_same(const Vec3& v) {
  const double n = length(v);
  return v / (n == 0.0 ? 1.0 : n);
}

// The time whose TDB is earlier by `days`, TT following from it.
Time retarded(const Time& time, double days) {
  Time t = time;
  t.tdb_fraction = time.tdb_fraction - days;
  const double tdb = t.whole + t.tdb_fraction;
  t.tt_fraction = t.tdb_fraction - tdb_minus_tt(tdb) / 86400.0;
  t.ut1_fraction = 0.0;
  return t;
}

}  // namespace

Expected<Astrometric, SpkError> observe_from(const Kernel& kernel, const Observer& observer,
                                             int32_t target, const Time& time) {
  auto state = kernel.barycentric(target, time);
  if (!state) return unexpected(state.error());
  Vec3 r = state->position - observer.position;
  double light_time = length(r) / kLightAuPerDay;
  if (std::abs(light_time) < 1e-12) return Astrometric{observer, r, light_time};

  for (int refinement = 0; refinement < 10; ++refinement) {
    if (refinement == 9) return unexpected(SpkError::malformed("light-travel time failed to converge"));
    state = kernel.barycentric(target, retarded(time, light_time));
    if (!state) return unexpected(state.error());
    r = state->position - observer.position;
    const double next = length(r) / kLightAuPerDay;
    const bool converged = std::abs(next - light_time) < 1e-12;
    light_time = next;
    if (converged) break;
  }
  return Astrometric{observer, r, light_time};
}

Vec3 deflection(const Vec3& position, const Vec3& observer_minus_deflector, double reciprocal_mass) {
  const Vec3& e = observer_minus_deflector;
  const Vec3 q = position + e;
  const Vec3 ph = unit_or_same(position);
  const Vec3 qh = unit_or_same(q);
  const Vec3 eh = unit_or_same(e);
  const double ep = dot(eh, ph);
  if (std::abs(ep) > 0.99999999999) return {0.0, 0.0, 0.0};
  const double f1 = kTwiceSunGm / (kLightSquared * length(e) * kAuMeters * reciprocal_mass);
  const double f2 = 1.0 + dot(qh, eh);
  const double pq = dot(ph, qh);
  // The bracket turns the unit direction; scaling by the distance makes it a
  // correction to the position itself, so near bodies are not over-deflected.
  const double scale = f1 * length(position) / f2;
  return {scale * (pq * eh[0] - ep * qh[0]), scale * (pq * eh[1] - ep * qh[1]),
          scale * (pq * eh[2] - ep * qh[2])};
}

Expected<Vec3, SpkError> apparent(const Kernel& kernel, const Astrometric& astrometric,
                                  const Time& time) {
  const Observer& observer = astrometric.observer;
  Vec3 p = astrometric.position;
  const double p_length = length(p);
  const double tlt = p_length / kLightAuPerDay;
  const Vec3 ph = p / (p_length + kTiny);

  for (const Deflector& d : kDeflectors) {
    const int32_t code = kernel.has_body(d.code) ? d.code : d.fallback;
    auto first = kernel.barycentric(code, time);
    if (!first) return unexpected(first.error());
    const Vec3 g = first->position - observer.position;
    const double dlt = std::clamp(dot(ph, g) / kLightAuPerDay, 0.0, tlt);
    // Deflector at the time the light passed it (TT parts shifted back).
    Time passed = Time::from_tt(time.whole, time.tt_fraction - dlt);
    auto at_pass = kernel.barycentric(code, passed);
    if (!at_pass) return unexpected(at_pass.error());
    p = p + deflection(p, observer.position - at_pass->position, d.reciprocal_mass);
  }

  if (observer.gcrs) {
    const Vec3& g = *observer.gcrs;
    const double g_length = length(g);
    const Vec3 earth = deflection(p, g, kEarthReciprocalMass);
    const double limb = std::asin(std::min(kEarthRadiusAu / g_length, 1.0));
    const double zenith =
        std::acos(std::clamp(dot(p, g) / (length(p) * g_length), -1.0, 1.0));
    if ((std::numbers::pi - zenith) / limb >= 0.8) p = p + earth;
  }

  const Vec3& v = observer.velocity;
  const double tau = astrometric.light_time;
  const double v_length = length(v);
  const double beta = v_length / kLightAuPerDay;
  const double cos_d = dot(p, v) / (tau * kLightAuPerDay * v_length + kTiny);
  const double gamma_inverse = std::sqrt(1.0 - beta * beta);
  const double big_p = beta * cos_d;
  const double big_q = (1.0 + big_p / (1.0 + gamma_inverse)) * tau;
  return (1.0 / (1.0 + big_p)) * (gamma_inverse * p + big_q * v);
}

}  // namespace quorvane
