// The sky's events over a span, found as exact moments on the bodies'
// sampled tracks and refined on the positions where a track is not fine
// enough: lunations, sign ingresses, stations, void-of-course Moon periods,
// mundane aspects between the moving bodies, and phenomena (solar
// conjunctions, cazimi, greatest elongations, oppositions, the Moon's
// perigees, apogees, node crossings and greatest declinations).
#pragma once

#include <string>
#include <vector>

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/events/sky_event.hpp"

namespace quorvane {

struct EventsRequest {
  double start = 0.0;  // UT Julian days
  double end = 0.0;
  std::vector<std::string> kinds;   // groups or kinds; empty: every group
  std::vector<std::string> bodies;  // kernel bodies; empty: all ten
  ZodiacChoice zodiac;
  // Void of course counts aspects to the ten bodies instead of the seven
  // traditional planets.
  bool void_of_course_modern = false;
};

// The longest span one call searches, days (two centuries).
inline constexpr double kLongestEventSpan = 73050.0;

// The events of the span, in time order (a period by its start; a period
// that began before the span but ends inside it is included).
Expected<std::vector<SkyEvent>, EngineError> sky_events(const KernelSet& kernels,
                                                        const EventsRequest& request);

}  // namespace quorvane
