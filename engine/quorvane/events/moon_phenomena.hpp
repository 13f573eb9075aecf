// The Moon's own turning points: perigee and apogee (extremes of its
// geocentric distance), crossings of the ecliptic at its nodes (apparent
// ecliptic latitude zero) and its greatest declinations north and south,
// out of bounds when beyond the true obliquity of date.
#pragma once

#include <vector>

#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/events/sky_event.hpp"

namespace quorvane {

// The events over UT Julian days [from, to]; `moon` is the Moon's longitude
// track over at least that span (for the longitude of each event).
Expected<std::vector<SkyEvent>, EngineError> moon_phenomena(const KernelSet& kernels,
                                                            const NutationSamples& nutation,
                                                            const SampledTrack& moon,
                                                            double from, double to);

}  // namespace quorvane
