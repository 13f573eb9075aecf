// A body's longitude sampled at equal steps and unwrapped (continuous
// through 360°), read between the samples through the polynomial of the
// eight samples around each moment. Searches find stations and crossings
// on it with a root search instead of stepping through time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {

struct Station {
  double jd;
  bool turns_retrograde;  // direct before, retrograde after
};

struct Crossing {
  double jd;
  bool direct;  // the longitude increases through the value
};

class SampledTrack {
 public:
  // Samples per interpolating polynomial; the track needs this many samples
  // around every moment it is read at.
  static constexpr int kStencil = 8;

  // Wraps the longitudes (degrees, any turn) sampled at first + i * step.
  SampledTrack(double first, double step, const std::vector<double>& longitudes);

  // Where the track can be read: kStencil / 2 - 1 samples in from each end.
  double readable_from() const;
  double readable_to() const;

  double at(double jd) const;     // unwrapped degrees
  double speed(double jd) const;  // degrees per day

  // Moments in [from, to] where the speed changes sign, in time order.
  std::vector<Station> stations(double from, double to) const;

  // Moments in [from, to] where the longitude equals `target` modulo 360,
  // in time order. `stations` are those of the same span: between two of
  // them the track is monotone, so each turn of the target is met once.
  std::vector<Crossing> crossings(double target, double from, double to,
                                  const std::vector<Station>& stations) const;

 private:
  double sample_time(size_t i) const { return first_ + step_ * static_cast<double>(i); }
  void crossings_in_piece(double target, double from, double to,
                          std::vector<Crossing>& out) const;

  double first_;
  double step_;
  std::vector<double> unwrapped_;
};

// The full nutation series (IAU 2000A, as charts use it) sampled daily over
// a span and read between the samples: it is smooth at that step (its
// shortest terms of 5 days weigh a few ten-thousandths of an arcsecond),
// and its 1365 terms are most of the cost of one position.
class NutationSamples {
 public:
  NutationSamples(double from, double to);  // UT Julian days

  bool covers(double jd) const { return jd >= psi_.readable_from() && jd <= psi_.readable_to(); }
  // The Earth's orientation at `time` (whose UT1 Julian day is `jd`).
  Orientation orientation(const Time& time, double jd) const;

 private:
  static std::pair<SampledTrack, SampledTrack> sample(double from, double to);
  explicit NutationSamples(std::pair<SampledTrack, SampledTrack> tracks)
      : psi_(std::move(tracks.first)), eps_(std::move(tracks.second)) {}
  SampledTrack psi_;  // arcseconds
  SampledTrack eps_;
};

// The tracks of several bodies over [from, to] at `step` days, sampled
// together (one Earth orientation per moment), with the margins a track
// needs to be read over the whole span.
Expected<std::vector<SampledTrack>, EngineError> sample_tracks(const LongitudeSource& source,
                                                               std::span<const int32_t> codes,
                                                               double from, double to, double step);

// A sampling step (days) at which a body's track stays far more accurate
// than the searches need (away from the Sun's glare, where the deflection of
// light changes too fast for any step of hours).
double sampling_step(int32_t code);

}  // namespace quorvane
