// The sampled tracks of moving bodies and the moments read off them:
// crossings of a longitude (made exact near the Sun, where a daily track
// is not fine enough) and ingresses over a set of boundaries. The transit
// timeline and the sky's events both search on these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"

namespace quorvane {

struct BodyTrack {
  std::string name;
  int32_t code;
  const SampledTrack* track;
  const SampledTrack* sun;  // null for the Sun itself
  const LongitudeSource* source;
  std::vector<Station> stations;
};

struct Ingress {
  std::string body;
  int index = 0;  // sign 0-11, or house 1-12
  bool retrograde = false;
  double jd = 0.0;
};

// The moments in [start, end] at which the body's longitude is `value`.
Expected<std::vector<Crossing>, EngineError> track_crossings(const BodyTrack& body, double value,
                                                             double start, double end);

// The tracks of `codes` over [from, to], sampled in groups of equal step so
// that bodies of one group share each moment's Earth orientation; `slot[i]`
// is the index of codes[i]'s track in the result.
Expected<std::vector<SampledTrack>, EngineError> sample_bodies(const LongitudeSource& source,
                                                               const std::vector<int32_t>& codes,
                                                               double from, double to,
                                                               std::vector<size_t>& slot);

// Every passage of the body over one of `boundaries` (ascending longitudes
// of regions 0..n-1, or house cusps when `houses`), into `out`.
Expected<Ok, EngineError> boundary_ingresses(const BodyTrack& body,
                                             const std::vector<double>& boundaries, bool houses,
                                             double start, double end, std::vector<Ingress>& out);

}  // namespace quorvane
