#include "quorvane/astronomy/body_longitude.hpp"

#include <cmath>

#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
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
  const Orientation orientation = nutation_ && nutation_->covers(jd)
                                      ? nutation_->orientation(time, jd)
                                      : orientation_2000a(time);
  auto sky = ApparentSky::geocentric(kernel, time, orientation);
  if (!sky) return unexpected(EngineError::spk(sky.error()));
  const double offset = zodiac_.offset(jd);
  for (size_t i = 0; i < codes.size(); ++i) {
    auto seen = sky->gcrs(codes[i]);
    if (!seen) return unexpected(EngineError::spk(seen.error()));
    out[i] = normalize_degrees(ecliptic_longitude(sky->orientation, *seen) - offset);
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
