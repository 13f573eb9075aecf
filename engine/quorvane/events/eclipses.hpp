// Eclipses of the Sun and the Moon seen from the whole Earth, from the
// kernel's Sun and Moon.
//
// Lunar: the Moon against the Earth's shadow cones at the Moon's distance,
// with the shadow enlarged by Danjon's rule (the Earth's radius taken 1/85
// larger for its atmosphere). Greatest eclipse is the least angle between
// the Moon and the shadow axis; P1/P4, U1/U4 and U2/U3 are the moments that
// angle equals the penumbral radius plus the Moon's, the umbral radius plus
// the Moon's and the umbral radius minus the Moon's.
//
// Solar: the Moon's shadow axis (the line through the Sun's and the Moon's
// centres) and cones, on the plane through the Earth's centre square to the
// axis (the fundamental plane of Besselian elements), the Earth's polar
// axis stretched to make it a sphere. Greatest eclipse is the least distance
// of the axis from the Earth's centre; gamma is that distance in equatorial
// radii, positive north.
#pragma once

#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/events/sky_event.hpp"

namespace quorvane {

// The eclipses whose greatest moment lies in UT Julian days [from, to].
Expected<std::vector<SkyEvent>, EngineError> eclipses(const KernelSet& kernels, double from,
                                                      double to, bool solar, bool lunar);

}  // namespace quorvane
