#include "quorvane/astronomy/almanac.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/astronomy/sun_track.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {
namespace {

constexpr double kEquatorialRadiusAu = 4.26352124542639e-5;
constexpr double kOneMinusFlatteningSquared = 0.9933056200098587;
constexpr double kEarthRotationPerDay = 6.30038736;  // rad/day

constexpr double kGridStep = 0.04;  // days
constexpr double kMillisecond = 1.1574074074074074e-8;  // days
constexpr int kSubdivisions = 11;


// TT Julian day (whole plus fraction) of a UT Julian day.
double tt_of_ut(double jd_ut) {
  const Time t = Time::from_ut1(jd_ut);
  return t.whole + t.tt_fraction;
}

// UT Julian day of a TT Julian day.
double ut_of_tt(double jd_tt) {
  const double whole = std::floor(jd_tt);
  const Time t = Time::from_tt(whole, jd_tt - whole);
  return t.whole + t.ut1_fraction;
}

// The first grid: n + 2 evenly spaced points from t0 to exactly t1.
std::vector<double> first_grid(double t0, double t1) {
  const double quotient = std::floor((t1 - t0) / kGridStep);
  // A negative or NaN quotient is no interior point at all.
  const size_t n = quotient >= 1.0 ? static_cast<size_t>(quotient) : 0;
  std::vector<double> grid(n + 2);
  const double count = static_cast<double>(n + 1);
  for (size_t i = 0; i < grid.size(); ++i) grid[i] = t0 + static_cast<double>(i) * (t1 - t0) / count;
  grid.back() = t1;
  return grid;
}

// The weights k/11 that cut a bracket into eleven equal parts.
constexpr std::array<double, kSubdivisions + 1> subdivision_weights() {
  std::array<double, kSubdivisions + 1> r{};
  for (int k = 0; k <= kSubdivisions; ++k) r[k] = static_cast<double>(k) / kSubdivisions;
  return r;
}
constexpr auto kWeights = subdivision_weights();

}  // namespace

SurfaceObserver SurfaceObserver::at(double latitude, double longitude) {
  const double phi = latitude * kRadiansPerDegree;
  const double lambda = longitude * kRadiansPerDegree;
  const double sin_phi = std::sin(phi), cos_phi = std::cos(phi);
  const double sin_lambda = std::sin(lambda), cos_lambda = std::cos(lambda);
  const double c = 1.0 / std::sqrt(cos_phi * cos_phi + kOneMinusFlatteningSquared * sin_phi * sin_phi);
  const double s = kOneMinusFlatteningSquared * c;

  SurfaceObserver o;
  o.position = {kEquatorialRadiusAu * c * cos_phi * cos_lambda,
                kEquatorialRadiusAu * c * cos_phi * sin_lambda, kEquatorialRadiusAu * s * sin_phi};
  o.velocity = {-kEarthRotationPerDay * o.position[1], kEarthRotationPerDay * o.position[0], 0.0};
  o.north = {-sin_phi * cos_lambda, -sin_phi * sin_lambda, cos_phi};
  o.east = {-sin_lambda, cos_lambda, 0.0};
  o.up = {cos_phi * cos_lambda, cos_phi * sin_lambda, sin_phi};
  return o;
}

Expected<double, SpkError> sun_altitude(const Kernel& kernel, const SurfaceObserver& observer,
                                        double tt) {
  const double whole = std::floor(tt);
  const Time time = Time::from_tt(whole, tt - whole);

  // The IAU 2000B nutation is ample for a horizon test and many times cheaper.
  const Orientation orientation = orientation_2000b(time);

  const Mat3 to_fixed = orientation.to_earth_fixed();
  auto site = on_earth(kernel, time, transpose(to_fixed), observer.position, observer.velocity);
  if (!site) return unexpected(site.error());
  auto place = ApparentSky{&kernel, time, orientation, *site}.gcrs(kSunCode);
  if (!place) return unexpected(place.error());

  const Vec3 local = to_fixed * *place;
  const double north = dot(observer.north, local);
  const double east = dot(observer.east, local);
  const double up = dot(observer.up, local);
  return std::atan2(up, std::hypot(north, east)) * kDegreesPerRadian;
}

Expected<bool, SpkError> sun_is_up(const Kernel& kernel, const SurfaceObserver& observer,
                                   double tt) {
  auto altitude = sun_altitude(kernel, observer, tt);
  if (!altitude) return unexpected(altitude.error());
  return *altitude >= kSunUpAltitude;  // false for NaN
}

Expected<std::vector<Transition>, SpkError> find_transitions(double t0, double t1,
                                                             const SunUpTest& sun_up) {
  std::vector<double> grid = first_grid(t0, t1);
  std::vector<char> state(grid.size());
  for (size_t i = 0; i < grid.size(); ++i) {
    auto up = sun_up(grid[i]);
    if (!up) return unexpected(up.error());
    state[i] = *up ? 1 : 0;
  }

  std::vector<size_t> changes;
  std::vector<double> next_grid;
  std::vector<char> next_state;
  double previous_width = INFINITY;
  for (;;) {
    changes.clear();
    double width = 0.0;
    for (size_t i = 0; i + 1 < grid.size(); ++i) {
      if (state[i] != state[i + 1]) {
        changes.push_back(i);
        width = std::max(width, grid[i + 1] - grid[i]);
      }
    }
    // Brackets that rounding no longer lets shrink are as narrow as they get.
    if (changes.empty() || width <= kMillisecond || !(width < previous_width)) {
      std::vector<Transition> out;
      out.reserve(changes.size());
      for (size_t i : changes) out.push_back({grid[i + 1], state[i + 1] != 0});
      return out;
    }
    previous_width = width;

    // Cut every bracket into eleven. Its two ends come back exactly (weights
    // 1 and 0), so their states are already known and are not asked again.
    next_grid.clear();
    next_state.clear();
    for (size_t i : changes) {
      for (int k = 0; k <= kSubdivisions; ++k) {
        const double t = grid[i] * kWeights[kSubdivisions - k] + grid[i + 1] * kWeights[k];
        next_grid.push_back(t);
        if (k == 0) {
          next_state.push_back(state[i]);
        } else if (k == kSubdivisions) {
          next_state.push_back(state[i + 1]);
        } else {
          auto up = sun_up(t);
          if (!up) return unexpected(up.error());
          next_state.push_back(*up ? 1 : 0);
        }
      }
    }
    grid.swap(next_grid);
    state.swap(next_state);
  }
}

Expected<std::vector<Transition>, SpkError> find_transitions(const Kernel& kernel,
                                                             const SurfaceObserver& observer,
                                                             double t0, double t1,
                                                             SunUpMethod method) {
  if (method == SunUpMethod::exact) {
    return find_transitions(t0, t1, [&](double tt) { return sun_is_up(kernel, observer, tt); });
  }
  FastSunUp fitted(kernel, observer, t0, t1);
  return find_transitions(t0, t1, std::ref(fitted));
}

SolarDayTriple select_rise_set(std::span<const Transition> transitions, double jd) {
  std::vector<double> risings, settings;
  for (const Transition& t : transitions) (t.up ? risings : settings).push_back(ut_of_tt(t.tt));

  double sunrise = jd - 0.5;
  for (auto it = risings.rbegin(); it != risings.rend(); ++it) {
    if (*it <= jd + 0.05) {
      sunrise = *it;
      break;
    }
  }
  double sunset = sunrise + 0.5;
  for (double t : settings) {
    if (t >= sunrise) {
      sunset = t;
      break;
    }
  }
  double next_sunrise = sunrise + 1.0;
  for (double t : risings) {
    if (t > sunrise + 0.1) {
      next_sunrise = t;
      break;
    }
  }
  return {sunrise, sunset, next_sunrise};
}

bool lacks_rise_or_set(const SolarDayTriple& triple, double jd) {
  const auto [sunrise, sunset, next_sunrise] = triple;
  return sunrise == jd - 0.5 || sunset == sunrise + 0.5 || !(next_sunrise > jd);
}

Expected<bool, EngineError> sun_is_up_at(const KernelSet& kernels, double jd, double latitude,
                                         double longitude) {
  if (kernels.empty()) return unexpected(EngineError::out_of_range(jd, std::nullopt));
  const Kernel* kernel = kernels.for_jd(jd);
  if (!kernel) return unexpected(EngineError::out_of_range(jd, kernels.coverage()));
  auto up = sun_is_up(*kernel, SurfaceObserver::at(latitude, longitude), tt_of_ut(jd));
  if (!up) return unexpected(EngineError::spk(std::move(up).error()));
  return *up;
}

Expected<SolarDayTriple, EngineError> rise_set(const KernelSet& kernels, double jd,
                                               double latitude, double longitude,
                                               SunUpMethod method) {
  if (kernels.empty()) return unexpected(EngineError::out_of_range(jd, std::nullopt));
  const Kernel* kernel = kernels.for_jd(jd);
  if (!kernel) return unexpected(EngineError::out_of_range(jd, kernels.coverage()));

  const SurfaceObserver observer = SurfaceObserver::at(latitude, longitude);
  auto transitions =
      find_transitions(*kernel, observer, tt_of_ut(jd - 1.5), tt_of_ut(jd + 1.5), method);
  if (!transitions) return unexpected(EngineError::spk(std::move(transitions).error()));
  return select_rise_set(*transitions, jd);
}

Expected<std::optional<SunEvents>, EngineError> SunEvents::find(const KernelSet& kernels,
                                                                double start, double end,
                                                                double latitude,
                                                                double longitude,
                                                                SunUpMethod method) {
  if (kernels.empty()) return unexpected(EngineError::out_of_range(start, std::nullopt));
  const Kernel* kernel = kernels.for_jd(start);
  if (!kernel) return unexpected(EngineError::out_of_range(start, kernels.coverage()));
  if (!(kernel->start() <= end && end <= kernel->end())) return std::optional<SunEvents>{};

  const SurfaceObserver observer = SurfaceObserver::at(latitude, longitude);
  const double t0 = tt_of_ut(start);
  const double t1 = tt_of_ut(end);
  auto transitions = find_transitions(*kernel, observer, t0, t1, method);
  if (!transitions) return unexpected(EngineError::spk(std::move(transitions).error()));
  return std::optional<SunEvents>{SunEvents(std::move(*transitions), t0, t1)};
}

std::optional<SolarDayTriple> SunEvents::rise_set(double jd) const {
  const double a = tt_of_ut(jd - 1.5);
  const double b = tt_of_ut(jd + 1.5);
  if (!(a >= first_tt_ && b <= last_tt_)) return std::nullopt;
  const auto from = std::lower_bound(transitions_.begin(), transitions_.end(), a,
                                     [](const Transition& t, double x) { return t.tt < x; });
  const auto to = std::upper_bound(from, transitions_.end(), b,
                                   [](double x, const Transition& t) { return x < t.tt; });
  return select_rise_set(std::span<const Transition>(from, to), jd);
}

}  // namespace quorvane
