#include "quorvane/astronomy/almanac.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>

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

namespace {

// Where the Sun crosses the threshold inside one bracket of the search, as
// the fit sees it, and how far around it the altitude keeps moving one way,
// so that the Sun-up answer at any point of the bracket farther than
// `spread` from `tt` is known without asking.
struct Crossing {
  double tt = 0.0;
  double spread = 0.0;  // days
  double reach = 0.0;   // days: sin(altitude) is monotonic over tt ± reach
};

// No guide: every point is asked.
struct Unguided {
  template <class Test>
  Expected<std::pair<bool, double>, SpkError> ask(Test& sun_up, double t) {
    auto up = sun_up(t);
    if (!up) return unexpected(up.error());
    return std::pair{*up, t};
  }
  std::optional<Crossing> locate(double, double, bool, bool) { return std::nullopt; }
};

// Bounds on the derivatives of sin(altitude), per day and per day². Its
// rate: the Sun turns about the place at the Earth's spin (6.30 rad/day)
// plus its own motion in the sky (under 0.02) plus the parallax's swing
// (4.3e-5 of the spin), rounded up. Its curvature: the spin squared (39.7),
// the spin times the Sun's motion (twice: 0.25), the parallax (4.3e-5 *
// 39.7), rounded up.
constexpr double kMaxRate = 6.35;
constexpr double kCurvature = 42.0;
// Rounding of the exact altitude's sine, far over its size.
constexpr double kRoundingSine = 1e-12;

// The crossings from the fitted track behind a FastSunUp: an Illinois
// search on the fitted margin, whose own samples give the rate. Nothing
// where the fit is missing or disagrees with the test's states.
class FittedGuide {
 public:
  explicit FittedGuide(FastSunUp& fitted) : fitted_(fitted) {}

  // The test's answer at `t` and a time until which it surely stays the
  // same: while the fitted margin, less its bound, outruns the fastest the
  // altitude's sine can change.
  Expected<std::pair<bool, double>, SpkError> ask(FastSunUp& sun_up, double t) {
    if (const auto m = fitted_.margin(t)) {
      const double sure = std::abs(m->value) - m->bound - kRoundingSine;
      if (sure > 0.0) return std::pair{m->value > 0.0, t + sure / kMaxRate};
    }
    auto up = sun_up(t);
    if (!up) return unexpected(up.error());
    return std::pair{*up, t};
  }

  std::optional<Crossing> locate(double a, double b, bool up_a, bool up_b) {
    auto fa = fitted_.margin(a), fb = fitted_.margin(b);
    if (!fa || !fb || (fa->value >= 0.0) != up_a || (fb->value >= 0.0) != up_b || up_a == up_b) {
      return std::nullopt;
    }
    const double bound = std::max(fa->bound, fb->bound);
    samples_.clear();
    samples_.push_back({a, fa->value});
    samples_.push_back({b, fb->value});
    double lo = a, hi = b, f_lo = fa->value, f_hi = fb->value;
    int kept = 0;  // which end stayed put last time: -1 low, 1 high
    for (int i = 0; i < 60; ++i) {
      double t = (lo * f_hi - hi * f_lo) / (f_hi - f_lo);
      if (!(t > lo && t < hi)) t = lo + (hi - lo) / 2.0;
      if (!(t > lo && t < hi)) break;  // adjacent doubles
      const auto ft = fitted_.margin(t);
      if (!ft) return std::nullopt;
      samples_.push_back({t, ft->value});
      if (ft->value == 0.0) break;
      if ((ft->value < 0.0) == (f_lo < 0.0)) {
        lo = t, f_lo = ft->value;
        if (kept == 1) f_hi /= 2.0;
        kept = 1;
      } else {
        hi = t, f_hi = ft->value;
        if (kept == -1) f_lo /= 2.0;
        kept = -1;
      }
    }
    const Sample at = *std::min_element(samples_.begin(), samples_.end(), [](const Sample& x, const Sample& y) {
      return std::abs(x.value) < std::abs(y.value);
    });
    const auto rate = rate_at(at, bound);
    if (!rate) return std::nullopt;
    // Within rate / (2 * kCurvature) of the sample the rate stays above half
    // its value there, so the true crossing lies within (|margin| + bound) /
    // (rate / 2) of it, and points twice that far away are on its known side.
    const double error = std::abs(at.value) + bound + kRoundingSine;
    const double spread = 4.0 * error / *rate + 1e-12;
    if (!(spread < 0.5 * *rate / kCurvature)) return std::nullopt;
    // Over the reach the rate keeps a tenth of its value: one crossing only.
    return Crossing{at.t, spread, 0.9 * *rate / kCurvature};
  }

 private:
  struct Sample {
    double t, value;
  };
  FastSunUp& fitted_;
  std::vector<Sample> samples_;

  // A lower bound on |rate| at `at`: the slope to the sample nearest 1e-4
  // day away (in ratio), less what the curvature and the fit's error may
  // hide in it; a central difference when no sample is at a usable distance.
  std::optional<double> rate_at(const Sample& at, double bound) {
    const Sample* other = nullptr;
    double best = INFINITY;
    for (const Sample& s : samples_) {
      const double d = std::abs(s.t - at.t);
      if (!(d >= 1e-6 && d <= 1e-2)) continue;
      const double off = std::abs(std::log(d / 1e-4));
      if (off < best) best = off, other = &s;
    }
    Sample before{}, after{};
    if (other) {
      before = other->t < at.t ? *other : at;
      after = other->t < at.t ? at : *other;
    } else {
      const auto b = fitted_.margin(at.t - 1e-4), a = fitted_.margin(at.t + 1e-4);
      if (!b || !a) return std::nullopt;
      before = {at.t - 1e-4, b->value};
      after = {at.t + 1e-4, a->value};
    }
    const double d = after.t - before.t;
    const double rate = std::abs(after.value - before.value) / d - kCurvature * d -
                        2.0 * (bound + kRoundingSine) / d;
    if (!(rate > 0.0)) return std::nullopt;
    return rate;
  }
};

// The search behind find_transitions. The guide answers the first grid,
// and may say how long an answer surely holds. It may vouch for a bracket:
// then its inner points away from the crossing take their state from the
// side they lie on, and only the points near it are asked. Every answer is
// still the one asking would give: a bracket whose asked and known states
// do not make one change is asked again in full.
template <class Test, class Guide>
Expected<std::vector<Transition>, SpkError> search(double t0, double t1, Test& sun_up,
                                                   Guide& guide) {
  std::vector<double> grid = first_grid(t0, t1);
  std::vector<char> state(grid.size());
  // The state asked last holds from where it was asked up to steady_until.
  double asked_at = INFINITY, steady_until = -INFINITY;
  for (size_t i = 0; i < grid.size(); ++i) {
    if (grid[i] >= asked_at && grid[i] < steady_until) {
      state[i] = state[i - 1];
      continue;
    }
    auto asked = guide.ask(sun_up, grid[i]);
    if (!asked) return unexpected(asked.error());
    state[i] = asked->first ? 1 : 0;
    asked_at = grid[i];
    steady_until = asked->second;
  }

  // The crossing vouching for each bracket (by the index of its left
  // point; -1 for none), carried down to the narrower brackets cut from it.
  std::vector<Crossing> crossings;
  std::vector<int> guides(grid.size(), -1);
  std::vector<size_t> changes;
  std::vector<double> next_grid;
  std::vector<char> next_state;
  std::vector<int> next_guides;
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
    next_guides.clear();
    for (size_t i : changes) {
      const double a = grid[i], b = grid[i + 1];
      int index = guides[i];
      if (index < 0) {
        if (auto located = guide.locate(a, b, state[i] != 0, state[i + 1] != 0)) {
          index = static_cast<int>(crossings.size());
          crossings.push_back(*located);
        }
      }
      const Crossing* crossing = index >= 0 ? &crossings[index] : nullptr;
      const bool vouched = crossing && a >= crossing->tt - crossing->reach &&
                           b <= crossing->tt + crossing->reach;
      const size_t first = next_grid.size();
      int pass = vouched ? 0 : 1;
      for (; pass < 2; ++pass) {
        next_grid.resize(first);
        next_state.resize(first);
        int flips = 0;
        for (int k = 0; k <= kSubdivisions; ++k) {
          const double t = a * kWeights[kSubdivisions - k] + b * kWeights[k];
          char up;
          if (k == 0) {
            up = state[i];
          } else if (k == kSubdivisions) {
            up = state[i + 1];
          } else if (pass == 0 && std::abs(t - crossing->tt) > crossing->spread) {
            up = t < crossing->tt ? state[i] : state[i + 1];
          } else {
            auto asked = sun_up(t);
            if (!asked) return unexpected(asked.error());
            up = *asked ? 1 : 0;
          }
          if (k > 0 && up != next_state.back()) ++flips;
          next_grid.push_back(t);
          next_state.push_back(up);
        }
        if (flips == 1) break;
      }
      // A guess the asked points contradicted guides nothing further down.
      if (vouched && pass == 1) index = -1;
      next_guides.resize(next_grid.size(), index);
    }
    grid.swap(next_grid);
    state.swap(next_state);
    guides.swap(next_guides);
  }
}

}  // namespace

Expected<std::vector<Transition>, SpkError> find_transitions(double t0, double t1,
                                                             const SunUpTest& sun_up) {
  Unguided none;
  return search(t0, t1, sun_up, none);
}

Expected<std::vector<Transition>, SpkError> find_transitions(const Kernel& kernel,
                                                             const SurfaceObserver& observer,
                                                             double t0, double t1,
                                                             SunUpMethod method) {
  if (method == SunUpMethod::exact) {
    return find_transitions(t0, t1, [&](double tt) { return sun_is_up(kernel, observer, tt); });
  }
  FastSunUp fitted(kernel, observer, t0, t1);
  if (method == SunUpMethod::fitted_scan) return find_transitions(t0, t1, std::ref(fitted));
  FittedGuide guide(fitted);
  return search(t0, t1, fitted, guide);
}

namespace {

// The choice behind select_rise_set, with the UT of the i-th transition
// from `ut_of` (converted on demand, or already known).
template <class UtOf>
SolarDayTriple choose_rise_set(std::span<const Transition> transitions, double jd, UtOf ut_of) {
  double sunrise = jd - 0.5;
  for (size_t i = transitions.size(); i-- > 0;) {
    if (!transitions[i].up) continue;
    const double t = ut_of(i);
    if (t <= jd + 0.05) {
      sunrise = t;
      break;
    }
  }
  const auto first_after = [&](bool up, auto&& after, double otherwise) {
    for (size_t i = 0; i < transitions.size(); ++i) {
      if (transitions[i].up != up) continue;
      const double t = ut_of(i);
      if (after(t)) return t;
    }
    return otherwise;
  };
  const double sunset = first_after(false, [&](double t) { return t >= sunrise; }, sunrise + 0.5);
  const double next_sunrise =
      first_after(true, [&](double t) { return t > sunrise + 0.1; }, sunrise + 1.0);
  return {sunrise, sunset, next_sunrise};
}

}  // namespace

SolarDayTriple select_rise_set(std::span<const Transition> transitions, double jd) {
  // Only the transitions each pass reads are converted.
  return choose_rise_set(transitions, jd, [&](size_t i) { return ut_of_tt(transitions[i].tt); });
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
  std::vector<double> uts;
  uts.reserve(transitions->size());
  for (const Transition& t : *transitions) uts.push_back(ut_of_tt(t.tt));
  return std::optional<SunEvents>{SunEvents(std::move(*transitions), std::move(uts), t0, t1)};
}

std::optional<SolarDayTriple> SunEvents::rise_set(double jd) const {
  const double a = tt_of_ut(jd - 1.5);
  const double b = tt_of_ut(jd + 1.5);
  if (!(a >= first_tt_ && b <= last_tt_)) return std::nullopt;
  const auto from = std::lower_bound(transitions_.begin(), transitions_.end(), a,
                                     [](const Transition& t, double x) { return t.tt < x; });
  const auto to = std::upper_bound(from, transitions_.end(), b,
                                   [](double x, const Transition& t) { return x < t.tt; });
  const size_t first = static_cast<size_t>(from - transitions_.begin());
  return choose_rise_set(std::span<const Transition>(from, to), jd,
                         [&](size_t i) { return uts_[first + i]; });
}

}  // namespace quorvane
