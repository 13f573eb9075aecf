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

}  // namespace

Time retarded(const Time& time, double days) {
  Time t = time;
  t.tdb_fraction = time.tdb_fraction - days;
  t.tt_fraction = time.tt_fraction - days;
  t.ut1_fraction = 0.0;
  return t;
}


Expected<Astrometric, SpkError> observe_from(const Kernel& kernel, const Observer& observer,
                                             int32_t target, const Time& time,
                                             RecordCache* records) {
  return observe_through(
      [&](int32_t code, const Time& t) { return kernel.barycentric(code, t, records); }, observer,
      target, time);
}

Expected<Deflectors, SpkError> deflectors_at(const Kernel& kernel, const Time& time,
                                             RecordCache* records) {
  Deflectors out;
  for (size_t i = 0; i < std::size(kDeflectors); ++i) {
    const Deflector& d = kDeflectors[i];
    out.codes[i] = kernel.has_body(d.code) ? d.code : d.fallback;
    auto state = kernel.barycentric(out.codes[i], time, records);
    if (!state) return unexpected(state.error());
    out.positions[i] = state->position;
  }
  return out;
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

Expected<Vec3, SpkError> deflected_by_bodies(const Kernel& kernel, const Astrometric& astrometric,
                                             const Time& time, RecordCache* records,
                                             const Deflectors* at_time) {
  Deflectors found;
  if (!at_time) {
    auto now = deflectors_at(kernel, time, records);
    if (!now) return unexpected(now.error());
    found = *now;
    at_time = &found;
  }
  const Observer& observer = astrometric.observer;
  Vec3 p = astrometric.position;
  const double p_length = length(p);
  const double tlt = p_length / kLightAuPerDay;
  const Vec3 ph = p / (p_length + kTiny);
  // TDB - TT at the passes carried from the moment by its rate: over a
  // light time of hours that is within 1e-7 s, in which a deflector moves
  // far less than a millimetre.
  const double tdb_minus_tt_now = time.tdb_fraction - time.tt_fraction;
  const double rate = tdb_minus_tt_rate(time.whole + time.tt_fraction) / 86400.0;

  for (size_t i = 0; i < std::size(kDeflectors); ++i) {
    const int32_t code = at_time->codes[i];
    const Vec3 g = at_time->positions[i] - observer.position;
    const double dlt = std::clamp(dot(ph, g) / kLightAuPerDay, 0.0, tlt);
    // Deflector at the time the light passed it (TT parts shifted back);
    // a state needs TDB only, so UT1 is not looked up (left at 0).
    Time passed;
    passed.whole = time.whole;
    passed.tt_fraction = time.tt_fraction - dlt;
    passed.tdb_fraction = passed.tt_fraction + (tdb_minus_tt_now - rate * dlt);
    auto at_pass = kernel.barycentric(code, passed, records);
    if (!at_pass) return unexpected(at_pass.error());
    p = p + deflection(p, observer.position - at_pass->position, kDeflectors[i].reciprocal_mass);
  }
  return p;
}

Vec3 deflected_by_earth(const Vec3& position, const Vec3& gcrs) {
  const double g_length = length(gcrs);
  const Vec3 earth = deflection(position, gcrs, kEarthReciprocalMass);
  const double limb = std::asin(std::min(kEarthRadiusAu / g_length, 1.0));
  const double zenith =
      std::acos(std::clamp(dot(position, gcrs) / (length(position) * g_length), -1.0, 1.0));
  return (std::numbers::pi - zenith) / limb >= 0.8 ? position + earth : position;
}

Vec3 aberrated(const Vec3& position, const Vec3& velocity, double light_time) {
  const Vec3& p = position;
  const Vec3& v = velocity;
  const double tau = light_time;
  const double v_length = length(v);
  const double beta = v_length / kLightAuPerDay;
  const double cos_d = dot(p, v) / (tau * kLightAuPerDay * v_length + kTiny);
  const double gamma_inverse = std::sqrt(1.0 - beta * beta);
  const double big_p = beta * cos_d;
  const double big_q = (1.0 + big_p / (1.0 + gamma_inverse)) * tau;
  return (1.0 / (1.0 + big_p)) * (gamma_inverse * p + big_q * v);
}

Expected<Vec3, SpkError> apparent(const Kernel& kernel, const Astrometric& astrometric,
                                  const Time& time, RecordCache* records,
                                  const Deflectors* at_time) {
  auto p = deflected_by_bodies(kernel, astrometric, time, records, at_time);
  if (!p) return p;
  const Observer& observer = astrometric.observer;
  if (observer.gcrs) *p = deflected_by_earth(*p, *observer.gcrs);
  return aberrated(*p, observer.velocity, astrometric.light_time);
}

Expected<Vec3, SpkError> apparent_place(const Kernel& kernel, const Observer& observer,
                                        int32_t target, const Time& time, RecordCache* records,
                                        const Deflectors* at_time) {
  auto astrometric = observe_from(kernel, observer, target, time, records);
  if (!astrometric) return unexpected(astrometric.error());
  return apparent(kernel, *astrometric, time, records, at_time);
}

Expected<Observer, SpkError> geocentre(const Kernel& kernel, const Time& time,
                                       RecordCache* records) {
  auto earth = kernel.barycentric(kEarthCode, time, records);
  if (!earth) return unexpected(earth.error());
  return Observer{std::nullopt, earth->position, earth->velocity};
}

Expected<Observer, SpkError> on_earth(const Kernel& kernel, const Time& time,
                                      const Mat3& to_celestial, const Vec3& fixed_position,
                                      const Vec3& fixed_velocity) {
  auto earth = kernel.barycentric(kEarthCode, time);
  if (!earth) return unexpected(earth.error());
  const Vec3 gcrs = to_celestial * fixed_position;
  return Observer{gcrs, earth->position + gcrs, earth->velocity + to_celestial * fixed_velocity};
}

}  // namespace quorvane
