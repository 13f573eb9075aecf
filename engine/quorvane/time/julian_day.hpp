// The UT Julian day of an instant and the instant of a Julian day, exact to
// the microsecond both ways.
#pragma once

#include "quorvane/time/instant.hpp"

namespace quorvane {

// UT Julian day of an instant, counted from J2000 in microseconds so that it
// round-trips with instant_from_julian_day (unlike the civil formula of
// UtcInstant::julian_day, which it equals to within rounding).
double julian_day_from_instant(UtcInstant moment);

// The instant of a UT Julian day, to the nearest microsecond (ties to even);
// out-of-range values saturate and NaN gives J2000.
UtcInstant instant_from_julian_day(double jd);

}  // namespace quorvane
