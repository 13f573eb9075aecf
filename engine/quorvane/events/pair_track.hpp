// The difference of two bodies' longitudes as a track of its own, so that
// their aspects, the Moon's phases and the planets' elongations from the
// Sun are crossings and stations of one smooth function.
#pragma once

#include <vector>

#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/predictive/body_tracks.hpp"

namespace quorvane {

struct PairTrack {
  const BodyTrack* a;
  const BodyTrack* b;
  SampledTrack difference;  // a's longitude minus b's, unwrapped
  std::vector<Station> stations;
};

// Over [from, to]; both bodies' tracks must be readable a few steps beyond.
PairTrack pair_track(const BodyTrack& a, const BodyTrack& b, double from, double to);

// The moments in [from, to] at which a - b equals `target` modulo 360. Near
// the Sun (or always, with `exact`) each is refined on the positions.
Expected<std::vector<Crossing>, EngineError> pair_crossings(const PairTrack& pair, double target,
                                                            double from, double to, bool exact);

}  // namespace quorvane
