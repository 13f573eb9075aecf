// The void-of-course Moon: from the Moon's last exact Ptolemaic aspect
// (conjunction, sextile, square, trine, opposition) to one of the counted
// bodies before it leaves its sign, to its ingress into the next; from the
// ingress itself when it makes none in the whole sign.
#pragma once

#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/events/sky_event.hpp"
#include "quorvane/predictive/body_tracks.hpp"

namespace quorvane {

// The periods ending in [from, to]; the tracks must be readable well
// beyond it.
Expected<std::vector<SkyEvent>, EngineError> void_of_course(const BodyTrack& moon,
                                                            const std::vector<const BodyTrack*>& counted,
                                                            double from, double to);

}  // namespace quorvane
