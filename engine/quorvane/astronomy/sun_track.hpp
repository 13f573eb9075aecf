// A fast Sun-up test that gives the exact test's answers. Over a few days
// the Sun's apparent geocentric place, the Earth's velocity and the slow
// part of the sidereal angle are smooth, so they are interpolated from a
// handful of exact evaluations; the place's own rotation, parallax and
// aberration are then computed from them as the exact test does. The
// interpolation error has a proven bound; wherever the fitted altitude lies
// closer to the threshold than that bound (times a safety factor) the exact
// test answers instead, so every answer is the exact test's.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "quorvane/astronomy/almanac.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/base/vector.hpp"
#include "quorvane/ephemeris/kernels.hpp"

namespace quorvane {

// How much wider than the proven bound the band handed to the exact test is.
inline constexpr double kSunTrackSafety = 10.0;

// Knobs for the tests that show the identity checks would catch a bound
// that is too small: a smaller safety factor, or an error added to every
// fitted sidereal angle (radians).
struct SunTrackTuning {
  double safety = kSunTrackSafety;
  double injected_error = 0.0;
};

// The interpolated Sun over one stretch of TT Julian days.
class SunTrack {
 public:
  static constexpr int kNodes = 8;

  // Fits over first..last from exact evaluations at Chebyshev points that
  // include both ends. Nothing when an evaluation fails or the values are
  // not as smooth as the bound assumes (a kernel that is not the solar
  // system): the exact test then answers every point.
  static std::optional<SunTrack> fit(const Kernel& kernel, double first, double last,
                                     const SunTrackTuning& tuning = {});

  double first() const { return first_; }
  double last() const { return last_; }
  // Radians: the fitted sin(altitude) never differs from the exact test's by more.
  double bound() const { return bound_; }

  // sin(altitude) of the Sun's centre from the fit at TT Julian day `tt`
  // in first..last; NaN when the place is not a number.
  double sin_altitude(const SurfaceObserver& observer, double tt) const;

 private:
  struct Sample {
    Vec3 sun;             // apparent geocentric Sun before aberration, true equator of date, au
    Vec3 earth_velocity;  // barycentric, true equator of date, au/day
    double spin_offset;   // apparent sidereal angle minus the Earth rotation angle, radians
  };

  double first_ = 0.0, last_ = 0.0, middle_ = 0.0, half_ = 0.0;
  std::array<double, kNodes> x_{};        // node abscissae in -1..1 as evaluated
  std::array<double, kNodes> weights_{};  // barycentric interpolation weights
  std::array<Sample, kNodes> samples_{};
  double bound_ = 0.0;
  double injected_error_ = 0.0;

  Sample at(double tt) const;
};

// The Sun-up test for a search over TT t0..t1: the span is cut into
// stretches of at most about three days, each fitted when first asked.
class FastSunUp {
 public:
  FastSunUp(const Kernel& kernel, const SurfaceObserver& observer, double t0, double t1,
            SunTrackTuning tuning = {});

  Expected<bool, SpkError> operator()(double tt);

  // The fitted sin(altitude) less the threshold's sine at `tt`, with the
  // bound of its error; nothing where no fit covers `tt`.
  struct Margin {
    double value;
    double bound;
  };
  std::optional<Margin> margin(double tt);

  // Answers that came from the exact test (for the benchmarks).
  long exact_tests() const { return exact_tests_; }

 private:
  const SunTrack* track_for(double tt);

  const Kernel& kernel_;
  SurfaceObserver observer_;
  double t0_ = 0.0, t1_ = 0.0, length_ = 0.0;
  SunTrackTuning tuning_;
  std::vector<std::optional<SunTrack>> tracks_;
  std::vector<char> tried_;
  long exact_tests_ = 0;
};

}  // namespace quorvane
