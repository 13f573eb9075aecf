// The almanac: sunrise and sunset at a place on the Earth's surface, found
// by sampling a yes-or-no "is the Sun up" test and narrowing every change
// down to a millisecond, and the solar day (sunrise, sunset, next sunrise)
// that a moment belongs to.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/base/vector.hpp"
#include "quorvane/ephemeris/kernels.hpp"

namespace quorvane {

// The altitude of the Sun's apparent centre at which it counts as up; it
// stands in for refraction and the semi-diameter together.
inline constexpr double kSunUpAltitude = -0.8333;

// A place on the WGS 84 ellipsoid at height zero, in Earth-fixed axes
// (x towards longitude 0, z towards the north pole).
struct SurfaceObserver {
  Vec3 position{};  // au
  Vec3 velocity{};  // au/day, from the Earth's rotation
  Vec3 north{};
  Vec3 east{};
  Vec3 up{};  // the ellipsoid normal, not the geocentric direction

  // Geodetic latitude and east longitude in degrees.
  static SurfaceObserver at(double latitude, double longitude);
};

// A change of the Sun-up state at a TT Julian day: `up` true is a rising.
struct Transition {
  double tt = 0.0;
  bool up = false;
};

// Sunrise, sunset and next sunrise as UT Julian days.
using SolarDayTriple = std::array<double, 3>;

// Apparent topocentric altitude of the Sun's centre in degrees at TT Julian day `tt`.
Expected<double, SpkError> sun_altitude(const Kernel& kernel, const SurfaceObserver& observer,
                                        double tt);

// Whether the Sun is up (altitude at least kSunUpAltitude; NaN is down).
Expected<bool, SpkError> sun_is_up(const Kernel& kernel, const SurfaceObserver& observer,
                                   double tt);

// Any Sun-up test over TT Julian days; the search below only ever asks this.
using SunUpTest = std::function<Expected<bool, SpkError>(double tt)>;

// How the searches below obtain each Sun-up answer: from the fitted track
// of sun_track.hpp wherever that is certain (the same answers, much
// faster), or always from the full test, the reference the fit must equal.
// `fitted` also locates each crossing on the fit and asks only the points
// near it, taking the others' answers from the side they lie on;
// `fitted_scan` asks every point, as `exact` does.
enum class SunUpMethod { fitted, fitted_scan, exact };

// Every change of the test's value over the TT span t0..t1, in time order,
// each at the later end of a bracket no wider than one millisecond. Changes
// closer together than one first-grid step (at most 0.04 day) are missed.
Expected<std::vector<Transition>, SpkError> find_transitions(double t0, double t1,
                                                             const SunUpTest& sun_up);
Expected<std::vector<Transition>, SpkError> find_transitions(
    const Kernel& kernel, const SurfaceObserver& observer, double t0, double t1,
    SunUpMethod method = SunUpMethod::fitted);

// The solar day around UT Julian day `jd` from a transition list (times in
// TT): the latest rising at most 0.05 day after `jd`, the first setting
// from it on, and the first rising more than 0.1 day after it, with fixed
// substitutes for whatever is missing.
SolarDayTriple select_rise_set(std::span<const Transition> transitions, double jd);

// Whether a triple chosen for UT Julian day `jd` holds one of the fixed
// substitutes (no rising before the moment, no setting after the rising,
// or a day already over): the Sun neither rose nor set when it counts, as
// under the midnight sun or in the polar night. The substitutes are exact
// sums, so they are recognised exactly.
bool lacks_rise_or_set(const SolarDayTriple& triple, double jd);

// Whether the Sun is up at UT Julian day `jd` at a place, with the kernel
// that covers `jd`.
Expected<bool, EngineError> sun_is_up_at(const KernelSet& kernels, double jd, double latitude,
                                         double longitude);

// The solar day around UT Julian day `jd` at a place, searched over jd ± 1.5 days.
Expected<SolarDayTriple, EngineError> rise_set(const KernelSet& kernels, double jd,
                                               double latitude, double longitude,
                                               SunUpMethod method = SunUpMethod::fitted);

// The risings and settings of a whole span, computed once so that many
// moments inside it can each be given their solar day cheaply.
class SunEvents {
 public:
  // Over UT Julian days start..end. Nothing (no error) when the kernel that
  // covers `start` does not also cover `end`.
  static Expected<std::optional<SunEvents>, EngineError> find(
      const KernelSet& kernels, double start, double end, double latitude, double longitude,
      SunUpMethod method = SunUpMethod::fitted);

  // The solar day around UT Julian day `jd`, or nothing when jd ± 1.5 days
  // is not inside the span searched.
  std::optional<SolarDayTriple> rise_set(double jd) const;

  const std::vector<Transition>& transitions() const { return transitions_; }
  double first_tt() const { return first_tt_; }
  double last_tt() const { return last_tt_; }

 private:
  SunEvents(std::vector<Transition> transitions, std::vector<double> uts, double first_tt,
            double last_tt)
      : transitions_(std::move(transitions)), uts_(std::move(uts)), first_tt_(first_tt),
        last_tt_(last_tt) {}

  std::vector<Transition> transitions_;
  std::vector<double> uts_;  // each transition's UT Julian day, converted once
  double first_tt_ = 0.0;
  double last_tt_ = 0.0;
};

}  // namespace quorvane
