#include "quorvane/zodiac/houses.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "quorvane/base/angles.hpp"
#include "quorvane/time/time_scales.hpp"
#include "quorvane/zodiac/houses/systems.hpp"
#include "quorvane/zodiac/options.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

namespace {



double rem_2pi(double x) {
  // Inside one turn fmod is exact and returns its argument: spare the call.
  if (x > -kTwoPi && x < kTwoPi) return x < 0.0 ? x + kTwoPi : x;
  const double r = std::fmod(x, kTwoPi);
  return r < 0.0 ? r + kTwoPi : r;
}

// The ecliptic point cut by the circle of pole `pole` whose equator
// crossing lies at right ascension `a`: for pole = latitude and a = RAMC + 90
// it is the Ascendant.
double project(double a, double pole, double obliquity) {
  return normalize_degrees(
      std::atan2(sind(a), cosd(a) * cosd(obliquity) - tand(pole) * sind(obliquity)) * kDegreesPerRadian);
}

double opposite(double x) { return normalize_degrees(x + 180.0); }

// House h is the whole h-th sign counted from the Ascendant's.
void whole_signs(std::array<double, 12>& cusps, double ascendant) {
  const int s = sign_index(ascendant);
  for (int h = 0; h < 12; ++h) cusps[h] = normalize_degrees((s + h) * 30.0);
}

// Cusps 4 to 9 from cusps 10 to 3, the angles already in place.
void fill_opposites(std::array<double, 12>& c) {
  c[6] = opposite(c[0]);
  c[3] = opposite(c[9]);
  c[4] = opposite(c[10]);
  c[5] = opposite(c[11]);
  c[7] = opposite(c[1]);
  c[8] = opposite(c[2]);
}

// A Placidus cusp: the ecliptic point whose hour angle is the fraction
// -k of its semi-arc, found by correcting the longitude with the
// right-ascension error until it is below 1e-8 rad (at most 25 rounds,
// which leaves a cusp's hour angle up to 1e-4 degrees off from latitude 60
// and 2e-3 within a degree of the polar circles).
double placidus_cusp(double ramc, double latitude, double obliquity, double offset, double k) {
  const double sin_e = sind(obliquity), cos_e = cosd(obliquity), tan_phi = tand(latitude);
  double lambda = normalize_degrees(ramc + offset);
  const double target = normalize_degrees(ramc + offset) * kRadiansPerDegree;
  for (int round = 0; round < 25; ++round) {
    const double l = lambda * kRadiansPerDegree;
    const double dec = std::asin(std::clamp(sin_e * std::sin(l), -1.0, 1.0));
    const double ra = std::atan2(std::sin(l) * cos_e, std::cos(l));
    const double x = tan_phi * std::tan(dec);
    if (std::fabs(x) >= 1.0) break;  // circumpolar: no semi-arc
    const double d = rem_2pi(rem_2pi(ra) - target + k * std::asin(x) + kPi) - kPi;
    if (std::fabs(d) < 1e-8) break;
    lambda = normalize_degrees(lambda - d * kDegreesPerRadian);
  }
  return lambda;
}

}  // namespace

namespace {

// Lower-cased ASCII letters, without spaces, hyphens and underscores.
std::string squeezed(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '-' || c == '_') continue;
    out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return out;
}

bool begins(const std::string& text, std::string_view start) {
  return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

HouseSystem by_first_letter(std::string_view code);

// One of the systems after Whole Sign named in full, or by four letters
// or more that begin its name alone; the older systems keep their
// first-letter reading.
std::optional<HouseSystem> by_name(std::string_view code) {
  const std::string given = squeezed(code);
  if (given.size() < 3) return {};
  const std::string first = squeezed(kHouseSystemCodes[by_first_letter(code)].name);
  std::optional<HouseSystem> found;
  for (size_t i = HouseSystem::EqualMidheaven; i < kHouseSystemCodes.size(); ++i) {
    const std::string name = squeezed(kHouseSystemCodes[i].name);
    if (name == given) return HouseSystem(static_cast<HouseSystem::Value>(i));
    if (given.size() >= 4 && begins(name, given) && !begins(first, given)) {
      if (found) return {};
      found = HouseSystem(static_cast<HouseSystem::Value>(i));
    }
  }
  return found;
}

HouseSystem by_first_letter(std::string_view code) {
  if (code.empty()) return HouseSystem::Placidus;
  // A lead byte outside ASCII starts a character that cannot be a code.
  char c = code.front();
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  switch (c) {
    case 'K': return HouseSystem::Koch;
    case 'R': return HouseSystem::Regiomontanus;
    case 'C': return HouseSystem::Campanus;
    case 'T': return HouseSystem::Topocentric;
    case 'B': return HouseSystem::Alcabitius;
    case 'M': return HouseSystem::Morinus;
    case 'O': return HouseSystem::Porphyry;
    case 'E': return HouseSystem::Equal;
    case 'V': return HouseSystem::Vehlow;
    case 'W': return HouseSystem::WholeSign;
    case 'D': return HouseSystem::EqualMidheaven;
    case 'N': return HouseSystem::EqualAries;
    case 'X': return HouseSystem::Meridian;
    case 'H': return HouseSystem::Horizontal;
    case 'F': return HouseSystem::Carter;
    case 'U': return HouseSystem::Krusinski;
    case 'Y': return HouseSystem::Apc;
    case 'S': return HouseSystem::Sripati;
    case 'I': return HouseSystem::Sunshine;
    case 'L': return HouseSystem::PullenDelta;
    case 'Q': return HouseSystem::PullenRatio;
    case 'G': return HouseSystem::Gauquelin;
    default: return HouseSystem::Placidus;
  }
}

}  // namespace

HouseSystem HouseSystem::from_code(std::string_view code) {
  if (const auto named = by_name(code)) return *named;
  return by_first_letter(code);
}

char HouseSystem::code() const { return kHouseSystemCodes[value_].code.front(); }

double mean_obliquity_iau1980(double jd) {
  const double t = (jd - kJ2000) / 36525.0;
  return 23.4392911 - 0.0130042 * t - 1.6e-7 * t * t + 5.04e-7 * std::pow(t, 3.0);
}

double ramc_degrees(double sidereal_time_hours, double longitude) {
  return normalize_degrees(normalize_degrees(15.0 * sidereal_time_hours + longitude) + 360.0);
}

bool is_quadrant_system(HouseSystem system) {
  switch (system) {
    case HouseSystem::Placidus:
    case HouseSystem::Koch:
    case HouseSystem::Regiomontanus:
    case HouseSystem::Campanus:
    case HouseSystem::Topocentric:
    case HouseSystem::Alcabitius:
    case HouseSystem::Porphyry:
    case HouseSystem::Sunshine:
    case HouseSystem::Gauquelin:
      return true;
    default:
      return false;
  }
}

void porphyry(std::array<double, 12>& cusps, double ascendant, double midheaven) {
  const double ic = opposite(midheaven);
  cusps[0] = ascendant;
  cusps[9] = midheaven;
  const double q1 = normalize_degrees(ascendant - midheaven);
  cusps[10] = normalize_degrees(midheaven + q1 / 3.0);
  cusps[11] = normalize_degrees(midheaven + 2.0 * q1 / 3.0);
  const double q2 = normalize_degrees(ic - ascendant);
  cusps[1] = normalize_degrees(ascendant + q2 / 3.0);
  cusps[2] = normalize_degrees(ascendant + 2.0 * q2 / 3.0);
  fill_opposites(cusps);
}

double midheaven_degrees(double ramc, double obliquity) {
  return normalize_degrees(std::atan2(sind(ramc), cosd(obliquity) * cosd(ramc)) * kDegreesPerRadian);
}

double ascendant_degrees(double ramc, double latitude, double obliquity) {
  const double eps = obliquity;
  const double asc = normalize_degrees(
      std::atan2(cosd(ramc), -sind(ramc) * cosd(eps) - tand(latitude) * sind(eps)) * kDegreesPerRadian);
  // The formula gives one of the two points where the ecliptic meets the
  // horizon; beyond the polar circles it can be the setting one. The rising
  // point has a negative hour angle: its right ascension lies within 180
  // degrees after the RAMC, and so its longitude within 180 after the MC's,
  // which keeps the quadrants in zodiac order.
  const double ra = std::atan2(sind(asc) * cosd(eps), cosd(asc)) * kDegreesPerRadian;
  return sind(ramc - ra) > 0.0 ? opposite(asc) : asc;
}

bool beyond_polar_circle(double latitude, double obliquity) {
  return std::fabs(latitude) >= 90.0 - obliquity;
}

HouseResult houses_at_ramc(HouseSystem system, double ramc, double latitude, double obliquity,
                           double sun_declination) {
  const double phi = latitude, eps = obliquity;
  const double mc = midheaven_degrees(ramc, eps);
  const double asc = ascendant_degrees(ramc, phi, eps);

  HouseResult result{{}, asc, mc};
  auto& c = result.cusps;
  c[0] = asc;
  c[9] = mc;

  // Beyond the polar circles parts of the ecliptic never rise or set: no
  // semi-arcs, no house circles through every cusp.
  if (is_quadrant_system(system) && beyond_polar_circle(phi, eps)) {
    porphyry(c, asc, mc);
    if (system == HouseSystem::Gauquelin) result.sectors = gauquelin_sectors(ramc, phi, eps, c);
    return result;
  }

  const HouseSky sky{ramc, phi, eps, asc, mc};
  switch (system) {
    case HouseSystem::Placidus:
    case HouseSystem::Gauquelin: {
      c[10] = placidus_cusp(ramc, phi, eps, 30.0, -1.0 / 3.0);
      c[11] = placidus_cusp(ramc, phi, eps, 60.0, -2.0 / 3.0);
      c[8] = placidus_cusp(ramc, phi, eps, -30.0, 1.0 / 3.0);
      c[7] = placidus_cusp(ramc, phi, eps, -60.0, 2.0 / 3.0);
      c[1] = opposite(c[7]);
      c[2] = opposite(c[8]);
      c[3] = opposite(mc);
      c[4] = opposite(c[10]);
      c[5] = opposite(c[11]);
      c[6] = opposite(asc);
      if (system == HouseSystem::Gauquelin) result.sectors = gauquelin_sectors(ramc, phi, eps, c);
      return result;
    }

    case HouseSystem::Koch: {
      const double f = std::clamp(sind(mc) * sind(eps) / cosd(phi), -1.0, 1.0);
      // Ascensional difference of the MC: asin(tan phi tan dec).
      const double ad = std::asin(f * std::sin(std::atan(tand(phi) / std::sqrt(1.0 - f * f)))) * kDegreesPerRadian;
      const double a = ad / 3.0;
      c[10] = project(ramc + 30.0 - 2.0 * a, phi, eps);
      c[11] = project(ramc + 60.0 - a, phi, eps);
      c[1] = project(ramc + 120.0 + a, phi, eps);
      c[2] = project(ramc + 150.0 + 2.0 * a, phi, eps);
      break;
    }

    case HouseSystem::Regiomontanus:
    case HouseSystem::Topocentric: {
      const bool regio = system == HouseSystem::Regiomontanus;
      const double p1 = std::atan((regio ? 0.5 : 0.3333333333333333) * tand(phi)) * kDegreesPerRadian;
      const double p2 = std::atan((regio ? 0.8660254037844387 : 0.6666666666666666) * tand(phi)) * kDegreesPerRadian;
      c[10] = project(ramc + 30.0, p1, eps);
      c[11] = project(ramc + 60.0, p2, eps);
      c[1] = project(ramc + 120.0, p2, eps);
      c[2] = project(ramc + 150.0, p1, eps);
      break;
    }

    case HouseSystem::Campanus: {
      const double p1 = std::asin(0.5 * sind(phi)) * kDegreesPerRadian;
      const double p2 = std::asin(0.8660254037844386 * sind(phi)) * kDegreesPerRadian;
      const double a1 = std::atan(1.7320508075688772 / cosd(phi)) * kDegreesPerRadian;
      const double a2 = std::atan(0.5773502691896258 / cosd(phi)) * kDegreesPerRadian;
      c[10] = project(ramc + 90.0 - a1, p1, eps);
      c[11] = project(ramc + 90.0 - a2, p2, eps);
      c[1] = project(ramc + 90.0 + a2, p2, eps);
      c[2] = project(ramc + 90.0 + a1, p1, eps);
      break;
    }

    case HouseSystem::Alcabitius: {
      // Trisect the Ascendant's diurnal and nocturnal semi-arcs in right ascension.
      const double dec = std::asin(sind(asc) * sind(eps)) * kDegreesPerRadian;
      const double dsa = std::acos(std::clamp(-tand(phi) * tand(dec), -1.0, 1.0)) * kDegreesPerRadian;
      const double nsa = 180.0 - dsa;
      c[10] = project(ramc + dsa / 3.0, 0.0, eps);
      c[11] = project(ramc + 2.0 * dsa / 3.0, 0.0, eps);
      c[1] = project(ramc + 180.0 - 2.0 * nsa / 3.0, 0.0, eps);
      c[2] = project(ramc + 180.0 - nsa / 3.0, 0.0, eps);
      break;
    }

    case HouseSystem::Morinus:
      for (int h = 1; h <= 12; ++h) {
        const int steps = (h + 1) % 12 + 1;  // 11 -> 1, 12 -> 2, 1 -> 3, ..., 10 -> 12
        const double a = ramc + 30.0 * steps;
        c[h - 1] = normalize_degrees(std::atan2(sind(a) * cosd(eps), cosd(a)) * kDegreesPerRadian);
      }
      return result;

    case HouseSystem::Porphyry:
      porphyry(c, asc, mc);
      return result;

    case HouseSystem::Equal:
      for (int h = 0; h < 12; ++h) c[h] = normalize_degrees(asc + 30.0 * h);
      return result;

    case HouseSystem::Vehlow:
      for (int h = 0; h < 12; ++h) c[h] = normalize_degrees(asc - 15.0 + 30.0 * h + 360.0);
      return result;

    case HouseSystem::WholeSign:
      whole_signs(c, asc);
      return result;

    case HouseSystem::EqualMidheaven: equal_from_midheaven(c, sky); return result;
    case HouseSystem::EqualAries: equal_from_aries(c, sky); return result;
    case HouseSystem::Meridian: meridian(c, sky); return result;
    case HouseSystem::Horizontal: horizontal(c, sky); return result;
    case HouseSystem::Carter: carter_poli_equatorial(c, sky); return result;
    case HouseSystem::Krusinski: krusinski(c, sky); return result;
    case HouseSystem::Apc: apc(c, sky); return result;
    case HouseSystem::Sripati: sripati(c, sky); return result;
    case HouseSystem::Sunshine:
      sunshine(c, sky, std::isnan(sun_declination) ? 0.0 : sun_declination);
      return result;
    case HouseSystem::PullenDelta: pullen_sinusoidal_delta(c, sky); return result;
    case HouseSystem::PullenRatio: pullen_sinusoidal_ratio(c, sky); return result;
  }
  fill_opposites(c);
  return result;
}

HouseResult houses_at_sidereal_time(HouseSystem system, double jd, double sidereal_time_hours,
                                    double latitude, double longitude, double ayanamsa,
                                    double sun_longitude, double obliquity_nutation) {
  const double eps = mean_obliquity_iau1980(jd) + obliquity_nutation;
  // The Sun's declination from its longitude on the ecliptic (its latitude
  // is under a second of arc).
  const double sun_declination =
      std::isnan(sun_longitude) ? kNoSun : std::asin(sind(sun_longitude) * sind(eps)) * kDegreesPerRadian;
  HouseResult result = houses_at_ramc(system, ramc_degrees(sidereal_time_hours, longitude), latitude,
                                      eps, sun_declination);
  for (double& cusp : result.cusps) cusp = normalize_degrees(cusp - ayanamsa);
  for (double& boundary : result.sectors) boundary = normalize_degrees(boundary - ayanamsa);
  result.ascendant = normalize_degrees(result.ascendant - ayanamsa);
  result.midheaven = normalize_degrees(result.midheaven - ayanamsa);
  // Whole signs are the signs of the chart's own zodiac: a sidereal chart
  // starts house 1 at 0 degrees of the sidereal Ascendant's sign.
  if (system == HouseSystem::WholeSign) whole_signs(result.cusps, result.ascendant);
  return result;
}

}  // namespace quorvane
