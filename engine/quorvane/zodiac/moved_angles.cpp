#include "quorvane/zodiac/moved_angles.hpp"

#include <cmath>

#include "quorvane/base/angles.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {


}  // namespace

double ecliptic_right_ascension(double longitude, double jd, double obliquity_nutation) {
  const double lambda = longitude * kRadiansPerDegree;
  const double epsilon = (mean_obliquity_iau1980(jd) + obliquity_nutation) * kRadiansPerDegree;
  return normalize_degrees(std::atan2(std::sin(lambda) * std::cos(epsilon), std::cos(lambda)) /
                           kRadiansPerDegree);
}

HouseResult houses_for_ramc(HouseSystem system, double ramc, double jd, double latitude,
                            double ayanamsa, double obliquity_nutation, double sun_longitude) {
  const double eps = mean_obliquity_iau1980(jd) + obliquity_nutation;
  const double sun_declination =
      std::isnan(sun_longitude)
          ? kNoSun
          : std::asin(std::sin(sun_longitude * kRadiansPerDegree) * std::sin(eps * kRadiansPerDegree)) *
                kDegreesPerRadian;
  HouseResult result = houses_at_ramc(system, normalize_degrees(ramc), latitude, eps, sun_declination);
  for (double& cusp : result.cusps) cusp = normalize_degrees(cusp - ayanamsa);
  for (double& boundary : result.sectors) boundary = normalize_degrees(boundary - ayanamsa);
  result.ascendant = normalize_degrees(result.ascendant - ayanamsa);
  result.midheaven = normalize_degrees(result.midheaven - ayanamsa);
  return result;
}

HouseResult houses_for_midheaven(HouseSystem system, double midheaven, double jd, double latitude,
                                 double ayanamsa, double obliquity_nutation, double sun_longitude) {
  const double ramc =
      ecliptic_right_ascension(normalize_degrees(midheaven + ayanamsa), jd, obliquity_nutation);
  return houses_for_ramc(system, ramc, jd, latitude, ayanamsa, obliquity_nutation, sun_longitude);
}

}  // namespace quorvane
