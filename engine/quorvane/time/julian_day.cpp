#include "quorvane/time/julian_day.hpp"

#include <cmath>
#include <cstdint>

#include "quorvane/base/integer_math.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {
namespace {

constexpr int64_t kJ2000Micros = 946'728'000'000'000;  // 2000-01-01T12:00:00Z

}  // namespace

double julian_day_from_instant(UtcInstant moment) {
  const __int128 micros = static_cast<__int128>(moment.micros()) - kJ2000Micros;
  return static_cast<double>(micros) / 1'000'000.0 / 86'400.0 + kJ2000;
}

UtcInstant instant_from_julian_day(double jd) {
  const double d = jd - kJ2000;
  const double whole = std::trunc(d);
  const double frac = d - whole;
  int64_t micros = saturating_mul(saturate(whole), UtcInstant::kMicrosPerDay);
  micros = saturating_add(micros, saturate(std::nearbyint(frac * 86'400'000'000.0)));
  return UtcInstant(saturating_add(micros, kJ2000Micros));
}

}  // namespace quorvane
