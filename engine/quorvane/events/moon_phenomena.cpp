#include "quorvane/events/moon_phenomena.hpp"

#include <cmath>
#include <functional>

#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/base/root_search.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr double kKilometresPerAu = 149597870.7;
// Sampling step, days: a quarter day puts several samples on every swing
// of latitude, distance and declination.
constexpr double kStep = 0.25;
// Half-width of the central difference whose zero is an extreme, days.
constexpr double kSlopeDelta = 0.01;
constexpr double kTolerance = 1e-7;  // days, about 10 ms

struct MoonGeometry {
  double latitude;     // degrees, apparent, ecliptic of date
  double distance;     // au
  double declination;  // degrees, true equator of date
  double obliquity;    // true obliquity of date, degrees
};

using Reading = std::function<Expected<MoonGeometry, EngineError>(double)>;

Expected<MoonGeometry, EngineError> moon_geometry(const KernelSet& kernels,
                                                  const NutationSamples& nutation, double jd) {
  auto chosen = choose_kernel(kernels, jd);
  if (!chosen) return unexpected(chosen.error());
  const Time time = Time::from_ut1(jd);
  const Orientation orientation =
      nutation.covers(jd) ? nutation.orientation(time, jd) : orientation_2000a(time);
  auto sky = ApparentSky::geocentric(**chosen, time, orientation);
  if (!sky) return unexpected(EngineError::spk(sky.error()));
  auto seen = sky->gcrs(301);
  if (!seen) return unexpected(EngineError::spk(seen.error()));
  const EclipticPlace ecliptic = ecliptic_place(orientation, *seen);
  const EquatorialPlace equatorial = equatorial_place(orientation, *seen);
  return MoonGeometry{ecliptic.latitude, ecliptic.distance, equatorial.declination,
                      (orientation.mean_obliquity + orientation.deps) * kDegreesPerRadian};
}

// One quantity of the Moon's geometry, read exactly.
Expected<double, EngineError> read(const Reading& reading, double MoonGeometry::*field, double jd) {
  auto g = reading(jd);
  if (!g) return unexpected(std::move(g).error());
  return (*g).*field;
}

// The zero of the quantity's slope between a and b.
Expected<double, EngineError> extreme(const Reading& reading, double MoonGeometry::*field,
                                      double a, double b) {
  const auto slope = [&](double t) -> Expected<double, EngineError> {
    auto hi = read(reading, field, t + kSlopeDelta);
    if (!hi) return hi;
    auto lo = read(reading, field, t - kSlopeDelta);
    if (!lo) return lo;
    return *hi - *lo;
  };
  auto sa = slope(a);
  if (!sa) return sa;
  auto sb = slope(b);
  if (!sb) return sb;
  if ((*sa > 0.0) == (*sb > 0.0)) return 0.5 * (a + b);  // flat to rounding: the middle
  return bracketed_root(slope, a, *sa, b, *sb, kTolerance);
}

}  // namespace

Expected<std::vector<SkyEvent>, EngineError> moon_phenomena(const KernelSet& kernels,
                                                            const NutationSamples& nutation,
                                                            const SampledTrack& moon,
                                                            double from, double to) {
  const Reading reading = [&](double jd) { return moon_geometry(kernels, nutation, jd); };
  std::vector<double> times;
  std::vector<MoonGeometry> samples;
  for (double t = from - kStep; t <= to + kStep; t += kStep) {
    auto g = reading(t);
    if (!g) return unexpected(std::move(g).error());
    times.push_back(t);
    samples.push_back(*g);
  }
  std::vector<SkyEvent> out;
  const auto event = [&](std::string kind, double jd) -> SkyEvent& {
    SkyEvent e;
    e.group = "phenomena";
    e.kind = std::move(kind);
    e.bodies = {"Moon"};
    e.jd = jd;
    e.longitudes = {normalize_degrees(moon.at(jd))};
    out.push_back(std::move(e));
    return out.back();
  };
  for (size_t i = 1; i + 1 < samples.size(); ++i) {
    const MoonGeometry& p = samples[i - 1];
    const MoonGeometry& c = samples[i];
    const MoonGeometry& n = samples[i + 1];
    // Node crossings: the latitude changes sign between samples i and i+1.
    if ((c.latitude < 0.0) != (n.latitude < 0.0)) {
      const auto latitude = [&](double t) { return read(reading, &MoonGeometry::latitude, t); };
      auto t = bracketed_root(latitude, times[i], c.latitude, times[i + 1], n.latitude, kTolerance);
      if (!t) return unexpected(std::move(t).error());
      if (*t >= from && *t <= to) event(n.latitude > 0.0 ? "ascending_node" : "descending_node", *t);
    }
    // Extremes: the sampled differences change sign at sample i.
    const auto turns = [&](double MoonGeometry::*field) {
      return ((c.*field - p.*field) > 0.0) != ((n.*field - c.*field) > 0.0);
    };
    if (turns(&MoonGeometry::distance)) {
      auto t = extreme(reading, &MoonGeometry::distance, times[i - 1], times[i + 1]);
      if (!t) return unexpected(std::move(t).error());
      auto g = reading(*t);
      if (!g) return unexpected(std::move(g).error());
      if (*t >= from && *t <= to) {
        event(c.distance < p.distance ? "perigee" : "apogee", *t)
            .detail("distance_km", g->distance * kKilometresPerAu);
      }
    }
    if (turns(&MoonGeometry::declination)) {
      auto t = extreme(reading, &MoonGeometry::declination, times[i - 1], times[i + 1]);
      if (!t) return unexpected(std::move(t).error());
      auto g = reading(*t);
      if (!g) return unexpected(std::move(g).error());
      if (*t >= from && *t <= to) {
        event(g->declination > 0.0 ? "greatest_north_declination" : "greatest_south_declination", *t)
            .detail("declination", g->declination)
            .detail("out_of_bounds", std::fabs(g->declination) > g->obliquity);
      }
    }
  }
  return out;
}

}  // namespace quorvane
