#include "quorvane/events/eclipses.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/base/root_search.hpp"
#include "quorvane/events/saros.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr double kEarthRadiusKm = 6378.137;   // WGS 84 equatorial
constexpr double kEarthPolarKm = 6356.752314;  // WGS 84 polar
constexpr double kSunRadiusKm = 696000.0;      // IAU 2015 nominal
constexpr double kMoonRadiusKm = 1737.4;       // IAU mean radius
constexpr double kMoonRadius = kMoonRadiusKm / kEarthRadiusKm;  // in Earth radii
constexpr double kDanjonEnlargement = 1.0 / 85.0;
constexpr double kSynodicMonth = 29.530588861;  // days, mean
constexpr double kFirstNewMoon2000 = 2451550.09766;  // 2000-01-06, TT ~ UT then
constexpr double kTolerance = 2e-6;  // days, about 0.2 s
constexpr double kContactTolerance = 1e-5;  // days, about 1 s: contacts are given to the second

struct Geometry {
  Vec3 sun;   // geocentric apparent places, km
  Vec3 moon;
  Orientation orientation;
};

Expected<Geometry, EngineError> geometry(const KernelSet& kernels, double jd) {
  auto chosen = choose_kernel(kernels, jd);
  if (!chosen) return unexpected(chosen.error());
  const Time time = Time::from_ut1(jd);
  auto sky = ApparentSky::geocentric(**chosen, time, orientation_2000b);
  if (!sky) return unexpected(EngineError::spk(sky.error()));
  auto sun = sky->gcrs(10);
  if (!sun) return unexpected(EngineError::spk(sun.error()));
  auto moon = sky->gcrs(301);
  if (!moon) return unexpected(EngineError::spk(moon.error()));
  return Geometry{kAuKm * *sun, kAuKm * *moon, sky->orientation};
}

double angle_between(const Vec3& a, const Vec3& b) {
  const Vec3 c{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  return std::atan2(length(c), dot(a, b));
}

// Beyond this ecliptic latitude of the Moon (degrees) half a day from a
// syzygy, no eclipse is possible at it (the limits are near 1.6 degrees and
// the latitude changes by at most 1.5 degrees a day).
constexpr double kNoEclipseLatitude = 2.6;

// Whether the Moon's mean argument of latitude at lunation `k` (a half for
// a full moon) keeps it far enough from its node that no eclipse can occur:
// |sin F| above 0.40, where the eclipses of 1550-2650 reach 0.352 and
// Meeus takes 0.36 (Astronomical Algorithms, ch. 49 for F, ch. 54).
bool far_from_node(double k) {
  const double t = k / 1236.85;  // Julian centuries from 2000
  const double f = 160.7108 + 390.67050284 * k - 0.0016118 * t * t - 0.00000227 * t * t * t;
  return std::fabs(std::sin(f * kRadiansPerDegree)) > 0.40;
}

// The moment near `guess` at which the Moon's apparent longitude minus the
// Sun's is `target` degrees; none when the Moon is too far from the
// ecliptic for an eclipse.
Expected<std::optional<double>, EngineError> syzygy(const KernelSet& kernels, double guess,
                                                    double target) {
  double jd = guess;
  for (int i = 0; i < 6; ++i) {
    auto g = geometry(kernels, jd);
    if (!g) return unexpected(std::move(g).error());
    if (i == 0 && std::fabs(ecliptic_place(g->orientation, g->moon).latitude) > kNoEclipseLatitude) {
      return std::optional<double>();
    }
    const double e = ecliptic_longitude(g->orientation, g->moon) -
                     ecliptic_longitude(g->orientation, g->sun);
    const double off = signed_difference(e, target);
    jd -= off / 12.19;
    // A start for the search of greatest eclipse: within minutes will do.
    if (std::fabs(off) < 0.05) break;
  }
  return std::optional<double>(jd);
}

// The least value of a distance `f` near `centre` (within a quarter day).
// Through its least value a distance in near-uniform motion has a square
// that is a parabola in time: each three-point fit of the square moves to
// its vertex, the points closing in, until the move is below kTolerance.
// `rate` is the square's second derivative there (twice the square of the
// speed), for predicting the contacts.
struct Least {
  double t;
  double rate;  // d2(f^2)/dt2, per day squared
};

constexpr double kNarrowestFit = 1e-3;  // days: the vertex then within a millisecond

template <class F>
Expected<Least, EngineError> least(F&& f, double centre) {
  double t = centre, h = 0.04, rate = 0.0;
  for (int i = 0; i < 12; ++i) {
    std::array<double, 3> square{};
    for (int k = 0; k < 3; ++k) {
      auto v = f(t + (k - 1) * h);
      if (!v) return unexpected(std::move(v).error());
      square[k] = *v * *v;
    }
    const double curvature = square[0] - 2.0 * square[1] + square[2];
    if (!(curvature > 0.0)) break;  // not near a least value: keep the start
    rate = curvature / (h * h);
    const double step = std::clamp(0.5 * h * (square[0] - square[2]) / curvature, -0.25, 0.25);
    t += step;
    // A wide fit's vertex is off by up to seconds (the motion is not quite
    // uniform over an hour); only the narrowest fit may end the search.
    if (std::fabs(step) < kTolerance && h <= kNarrowestFit) break;
    h = std::clamp(std::fabs(step), kNarrowestFit, 0.04);
  }
  return Least{t, rate};
}

// A root of `f` by secant steps from t0 and t1, once a step is shorter than
// `tolerance`; none if six steps do not get there or one leaps more than
// `leap`.
template <class F>
Expected<std::optional<double>, EngineError> secant_root(F&& f, double t0, double t1, double tolerance,
                                                         double leap) {
  auto f0 = f(t0);
  if (!f0) return unexpected(std::move(f0).error());
  auto f1 = f(t1);
  if (!f1) return unexpected(std::move(f1).error());
  for (int i = 0; i < 6; ++i) {
    if (*f1 == *f0) break;
    const double step = -*f1 * (t1 - t0) / (*f1 - *f0);
    if (!(std::fabs(step) < leap)) break;
    t0 = t1, f0 = f1, t1 += step;
    if (std::fabs(step) < tolerance) return std::optional<double>(t1);
    f1 = f(t1);
    if (!f1) return unexpected(std::move(f1).error());
  }
  return std::optional<double>();
}

// The series, and the member number where the catalogue counts one.
void add_saros(SkyEvent& e, long lunation, bool solar) {
  e.detail("saros", static_cast<double>(saros_series(lunation, solar)));
  if (const auto member = saros_member(lunation, solar)) e.detail("saros_member", static_cast<double>(*member));
}

struct LunarShadow {
  double separation;  // Moon centre from the shadow axis, radians
  double penumbra;    // radii, radians
  double umbra;
  double moon;
  double parallax;    // the Moon's horizontal parallax, radians
};

Expected<LunarShadow, EngineError> lunar_shadow(const KernelSet& kernels, double jd) {
  auto g = geometry(kernels, jd);
  if (!g) return unexpected(std::move(g).error());
  const double moon_distance = length(g->moon), sun_distance = length(g->sun);
  const double moon_parallax = std::asin(kEarthRadiusKm / moon_distance) * (1.0 + kDanjonEnlargement);
  const double sun_parallax = std::asin(kEarthRadiusKm / sun_distance);
  const double sun_radius = std::asin(kSunRadiusKm / sun_distance);
  return LunarShadow{angle_between(-1.0 * g->sun, g->moon), moon_parallax + sun_parallax + sun_radius,
                     moon_parallax + sun_parallax - sun_radius,
                     std::asin(kMoonRadiusKm / moon_distance),
                     std::asin(kEarthRadiusKm / moon_distance)};
}

Expected<std::optional<SkyEvent>, EngineError> lunar_eclipse(const KernelSet& kernels,
                                                             double full_moon, long lunation) {
  auto at_full = lunar_shadow(kernels, full_moon);
  if (!at_full) return unexpected(std::move(at_full).error());
  if (at_full->separation > 1.1 * (at_full->penumbra + at_full->moon)) return std::optional<SkyEvent>();
  const auto separation = [&](double t) -> Expected<double, EngineError> {
    auto s = lunar_shadow(kernels, t);
    if (!s) return unexpected(std::move(s).error());
    return s->separation;
  };
  auto fit = least(separation, full_moon);
  if (!fit) return unexpected(std::move(fit).error());
  const double greatest = fit->t;
  auto s = lunar_shadow(kernels, greatest);
  if (!s) return unexpected(std::move(s).error());
  const double penumbral = (s->penumbra + s->moon - s->separation) / (2.0 * s->moon);
  const double umbral = (s->umbra + s->moon - s->separation) / (2.0 * s->moon);
  if (penumbral <= 0.0) return std::optional<SkyEvent>();
  auto g = geometry(kernels, greatest);
  if (!g) return unexpected(std::move(g).error());
  const double moon_latitude = ecliptic_place(g->orientation, g->moon).latitude;
  SkyEvent e;
  e.group = "eclipses";
  e.kind = "lunar_eclipse";
  e.bodies = {"Moon", "Sun"};
  e.jd = greatest;
  e.longitudes = {ecliptic_longitude(g->orientation, g->moon), ecliptic_longitude(g->orientation, g->sun)};
  e.detail("type", std::string(umbral >= 1.0 ? "total" : umbral > 0.0 ? "partial" : "penumbral"))
      .detail("penumbral_magnitude", penumbral)
      .detail("umbral_magnitude", umbral)
      .detail("gamma", std::copysign(std::sin(s->separation) / std::sin(s->parallax), moon_latitude));
  add_saros(e, lunation, false);
  e.detail("shadow", std::string("danjon"));
  // Contacts: where the separation equals each radius sum, either side.
  // Secant steps start where the Moon's uniform motion through greatest
  // eclipse would reach each (within seconds of it); a bracket over the
  // 0.3 days either side takes over should they stray.
  const std::array<std::pair<const char*, const char*>, 3> names{
      {{"P1", "P4"}, {"U1", "U4"}, {"U2", "U3"}}};
  const auto limit = [](const LunarShadow& c, size_t k) {
    return k == 0 ? c.penumbra + c.moon : k == 1 ? c.umbra + c.moon : c.umbra - c.moon;
  };
  for (size_t k = 0; k < names.size(); ++k) {
    const auto gap = [&](double t) -> Expected<double, EngineError> {
      auto c = lunar_shadow(kernels, t);
      if (!c) return unexpected(std::move(c).error());
      return c->separation - limit(*c, k);
    };
    const double inner = s->separation - limit(*s, k);
    if (inner >= 0.0) continue;
    const double reach = std::sqrt((limit(*s, k) * limit(*s, k) - s->separation * s->separation) /
                                   (0.5 * fit->rate));
    for (int side : {-1, 1}) {
      Expected<std::optional<double>, EngineError> t = std::optional<double>();
      if (reach < 0.3) {
        t = secant_root(gap, greatest + side * reach, greatest + side * (reach + 1e-4), kContactTolerance, 0.1);
        if (!t) return unexpected(std::move(t).error());
      }
      if (!*t || side * (**t - greatest) <= 0.0 || std::fabs(**t - greatest) > 0.3) {
        const double outer_t = greatest + side * 0.3;
        auto outer = gap(outer_t);
        if (!outer) return unexpected(std::move(outer).error());
        auto bracketed = bracketed_root(gap, greatest, inner, outer_t, *outer, kContactTolerance);
        if (!bracketed) return unexpected(std::move(bracketed).error());
        *t = *bracketed;
      }
      e.detail(side < 0 ? names[k].first : names[k].second, **t);
    }
  }
  return std::optional<SkyEvent>(std::move(e));
}

// The solar shadow at one moment, in Earth equatorial radii on the
// fundamental plane of the stretched (spherical) Earth.
struct SolarShadow {
  Vec3 axis_point;  // the axis point nearest the Earth's centre
  Vec3 towards_sun; // unit vector along the axis
  double moon_height;      // the Moon's height above the plane
  double tan_penumbra;     // cone half-angle tangents
  double tan_umbra;
  double axis_distance;    // of the axis from the centre of the unstretched Earth
  double gamma() const { return length(axis_point); }
};

Expected<SolarShadow, EngineError> solar_shadow(const KernelSet& kernels, double jd,
                                                Orientation* orientation = nullptr) {
  auto g = geometry(kernels, jd);
  if (!g) return unexpected(std::move(g).error());
  // Into true-of-date axes, the pole stretched to make the Earth a sphere.
  const auto stretched = [&](const Vec3& v) {
    Vec3 d = g->orientation.true_equator * v;
    d[2] *= kEarthRadiusKm / kEarthPolarKm;
    return d / kEarthRadiusKm;
  };
  const Vec3 sun = stretched(g->sun), moon = stretched(g->moon);
  const Vec3 along = sun - moon;
  const double sm = length(along);
  const Vec3 axis = along / sm;
  const double height = dot(moon, axis);
  const double sm_km = length(g->sun - g->moon);
  const Vec3 plain_axis = (g->sun - g->moon) / sm_km;
  const Vec3 plain_point = g->moon - dot(g->moon, plain_axis) * plain_axis;
  SolarShadow out{moon - height * axis, axis, height,
                  std::tan(std::asin((kSunRadiusKm + kMoonRadiusKm) / sm_km)),
                  std::tan(std::asin((kSunRadiusKm - kMoonRadiusKm) / sm_km)),
                  length(plain_point) / kEarthRadiusKm};
  if (orientation) *orientation = g->orientation;
  return out;
}

// The umbral radius on the Earth's surface where the shadow axis meets it
// (at the limb, where it misses): positive for the umbra (total there),
// negative for the antumbra (annular), in Earth radii.
double surface_umbra(const SolarShadow& s) {
  const double g = s.gamma();
  const double z = g < 1.0 ? std::sqrt(1.0 - g * g) : 0.0;
  return kMoonRadius - (s.moon_height - z) * s.tan_umbra;
}

// Over a central path (at most about 4 hours) the umbral radius at a given
// height above the fundamental plane drifts by less than 0.0005 Earth radii
// (the Moon's distance changes by under 300 km an hour, times the cone's
// slope, about 0.0047). Along the path the surface lies between the limb
// (height zero) and its height at greatest eclipse, so when the umbral
// radius at both is beyond this margin from zero, with one sign, that sign
// holds along the whole path.
constexpr double kUmbraDriftBound = 0.002;
constexpr int kPathSamples = 16;

// Total, annular or hybrid for an eclipse whose shadow axis meets the Earth
// at greatest eclipse: the sign of the umbral radius along the central
// line, from where the axis first meets the Earth to where it leaves it
// (hybrid when it changes).
Expected<std::string, EngineError> central_type(const KernelSet& kernels, double greatest,
                                                const SolarShadow& at_greatest) {
  const double centre = surface_umbra(at_greatest);
  const double limb = kMoonRadius - at_greatest.moon_height * at_greatest.tan_umbra;
  const bool total = centre > 0.0;
  if ((limb > 0.0) == total && std::fmin(std::fabs(centre), std::fabs(limb)) > kUmbraDriftBound) {
    return std::string(total ? "total" : "annular");
  }
  const auto beyond_limb = [&](double t) -> Expected<double, EngineError> {
    auto s = solar_shadow(kernels, t);
    if (!s) return unexpected(std::move(s).error());
    return s->gamma() - 1.0;
  };
  auto inside = beyond_limb(greatest);
  if (!inside) return unexpected(std::move(inside).error());
  std::array<double, 2> ends{};
  for (int side : {0, 1}) {
    double outer_t = greatest;
    Expected<double, EngineError> outer = *inside;
    for (double reach : {0.15, 0.3}) {
      outer_t = greatest + (side == 0 ? -reach : reach);
      outer = beyond_limb(outer_t);
      if (!outer) return unexpected(std::move(outer).error());
      if (*outer > 0.0) break;
    }
    if (*outer <= 0.0) return std::string(total ? "total" : "annular");
    auto end = bracketed_root(beyond_limb, greatest, *inside, outer_t, *outer, kContactTolerance);
    if (!end) return unexpected(std::move(end).error());
    ends[side] = *end;
  }
  for (int i = 0; i <= kPathSamples; ++i) {
    const double t = ends[0] + (ends[1] - ends[0]) * i / kPathSamples;
    auto s = solar_shadow(kernels, t);
    if (!s) return unexpected(std::move(s).error());
    if ((surface_umbra(*s) > 0.0) != total) return std::string("hybrid");
  }
  return std::string(total ? "total" : "annular");
}

Expected<std::optional<SkyEvent>, EngineError> solar_eclipse(const KernelSet& kernels,
                                                             double new_moon, long lunation) {
  auto at_new = solar_shadow(kernels, new_moon);
  if (!at_new) return unexpected(std::move(at_new).error());
  const auto penumbra_at_plane = [&](const SolarShadow& s) {
    return kMoonRadius + s.moon_height * s.tan_penumbra;
  };
  if (at_new->gamma() > 1.2 * (1.0 + penumbra_at_plane(*at_new))) return std::optional<SkyEvent>();
  const auto gamma = [&](double t) -> Expected<double, EngineError> {
    auto s = solar_shadow(kernels, t);
    if (!s) return unexpected(std::move(s).error());
    return s->axis_distance;
  };
  auto fit = least(gamma, new_moon);
  if (!fit) return unexpected(std::move(fit).error());
  const double greatest = fit->t;
  Orientation orientation;
  auto s = solar_shadow(kernels, greatest, &orientation);
  if (!s) return unexpected(std::move(s).error());
  const double g = s->gamma();
  const double l1 = penumbra_at_plane(*s);
  if (g >= 1.0 + l1) return std::optional<SkyEvent>();
  // Umbral radius at a height above the plane: positive for the umbra
  // (total), negative for the antumbra (annular).
  const auto umbra_at = [&](double z) { return kMoonRadius - (s->moon_height - z) * s->tan_umbra; };
  const auto penumbra_at = [&](double z) { return kMoonRadius + (s->moon_height - z) * s->tan_penumbra; };
  std::string type;
  double magnitude = 0.0;
  Vec3 place;
  if (g < 1.0) {
    const double z = std::sqrt(1.0 - g * g);
    const double umbra = umbra_at(z);
    auto central = central_type(kernels, greatest, *s);
    if (!central) return unexpected(std::move(central).error());
    type = std::move(*central);
    // The ratio of the Moon's apparent diameter to the Sun's there.
    magnitude = (penumbra_at(z) + umbra) / (penumbra_at(z) - umbra);
    place = s->axis_point + z * s->towards_sun;
  } else {
    const double umbra = umbra_at(0.0);
    type = g < 1.0 + std::fabs(umbra) ? (umbra > 0.0 ? "total" : "annular") : "partial";
    magnitude = (l1 - (g - 1.0)) / (l1 - umbra);
    place = s->axis_point / g;
  }
  // The place back on the ellipsoid: geodetic latitude, east longitude.
  const double ratio = kEarthRadiusKm / kEarthPolarKm;
  const double geocentric = std::atan2(place[2] / ratio, std::hypot(place[0], place[1]));
  const double latitude = std::atan(std::tan(geocentric) * ratio * ratio) * kDegreesPerRadian;
  const double longitude = signed_difference(
      std::atan2(place[1], place[0]) * kDegreesPerRadian - orientation.gast * 15.0, 0.0);
  auto geo = geometry(kernels, greatest);
  if (!geo) return unexpected(std::move(geo).error());
  // Gamma's sign: north of the Earth's centre is towards the pole.
  const double signed_gamma = std::copysign(s->axis_distance, s->axis_point[2]);
  SkyEvent e;
  e.group = "eclipses";
  e.kind = "solar_eclipse";
  e.bodies = {"Sun", "Moon"};
  e.jd = greatest;
  e.longitudes = {ecliptic_longitude(geo->orientation, geo->sun), ecliptic_longitude(geo->orientation, geo->moon)};
  e.detail("type", type)
      .detail("magnitude", magnitude)
      .detail("gamma", signed_gamma);
  add_saros(e, lunation, true);
  e.detail("latitude", latitude).detail("longitude", longitude);
  return std::optional<SkyEvent>(std::move(e));
}

}  // namespace

Expected<std::vector<SkyEvent>, EngineError> eclipses(const KernelSet& kernels, double from,
                                                      double to, bool solar, bool lunar) {
  std::vector<SkyEvent> out;
  const long first = static_cast<long>(std::floor((from - kFirstNewMoon2000) / kSynodicMonth)) - 1;
  const long last = static_cast<long>(std::ceil((to - kFirstNewMoon2000) / kSynodicMonth)) + 1;
  for (long k = first; k <= last; ++k) {
    for (bool is_solar : {true, false}) {
      if (is_solar ? !solar : !lunar) continue;
      const double guess = kFirstNewMoon2000 + kSynodicMonth * (static_cast<double>(k) + (is_solar ? 0.0 : 0.5));
      if (guess < from - 20.0 || guess > to + 20.0) continue;
      if (far_from_node(static_cast<double>(k) + (is_solar ? 0.0 : 0.5))) continue;
      // At the kernels' ends, a syzygy they do not cover has no eclipse to report.
      if (!choose_kernel(kernels, guess - 1.0) || !choose_kernel(kernels, guess + 1.0)) continue;
      auto moment = syzygy(kernels, guess, is_solar ? 0.0 : 180.0);
      if (!moment) return unexpected(std::move(moment).error());
      if (!*moment) continue;
      auto found = is_solar ? solar_eclipse(kernels, **moment, k) : lunar_eclipse(kernels, **moment, k);
      if (!found) return unexpected(std::move(found).error());
      if (*found && (*found)->jd >= from && (*found)->jd <= to) out.push_back(std::move(**found));
    }
  }
  return out;
}

}  // namespace quorvane
