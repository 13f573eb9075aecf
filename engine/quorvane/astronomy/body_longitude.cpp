#include "quorvane/astronomy/body_longitude.hpp"

#include <cmath>
#include <numbers>

#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

}  // namespace

ZodiacChoice ZodiacChoice::from_texts(std::string_view zodiac_type, std::string_view ayanamsa) {
  return {zodiac_type_from_text(zodiac_type) == ZodiacType::Sidereal, std::string(ayanamsa)};
}

double ZodiacChoice::offset(double jd) const {
  return sidereal ? ayanamsa_info(ayanamsa, jd).value : 0.0;
}

Expected<double, EngineError> LongitudeSource::longitude(int32_t code, double jd) const {
  double out = 0.0;
  auto done = longitudes(std::span<const int32_t>(&code, 1), jd, std::span<double>(&out, 1));
  if (!done) return unexpected(std::move(done).error());
  return out;
}

Expected<Ok, EngineError> LongitudeSource::longitudes(std::span<const int32_t> codes, double jd,
                                                      std::span<double> out) const {
  if (!std::isfinite(jd)) return unexpected(EngineError::out_of_range(jd, kernels_.coverage()));
  auto chosen = choose_kernel(kernels_, jd);
  if (!chosen) return unexpected(chosen.error());
  const Kernel& kernel = **chosen;
  const Time time = Time::from_ut1(jd);
  auto earth = kernel.barycentric(kEarthCode, time);
  if (!earth) return unexpected(EngineError::spk(earth.error()));
  const Observer observer{std::nullopt, earth->position, earth->velocity};
  const Orientation orientation = nutation_ && nutation_->covers(jd)
                                      ? nutation_->orientation(time, jd)
                                      : orientation_2000a(time);
  const double offset = zodiac_.offset(jd);
  for (size_t i = 0; i < codes.size(); ++i) {
    auto astrometric = observe_from(kernel, observer, codes[i], time);
    if (!astrometric) return unexpected(EngineError::spk(astrometric.error()));
    auto seen = apparent(kernel, *astrometric, time);
    if (!seen) return unexpected(EngineError::spk(seen.error()));
    const Vec3 v = orientation.true_ecliptic * *seen;
    out[i] = normalize_degrees(normalize_degrees(std::atan2(v[1], v[0]) * kDegrees) - offset);
  }
  return Ok{};
}

double signed_difference(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d < -180.0) d += 360.0;
  if (d >= 180.0) d -= 360.0;
  return d;
}

}  // namespace quorvane
