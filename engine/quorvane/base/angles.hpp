// The angle constants of the engine: one name for each conversion.
#pragma once

#include <numbers>

namespace quorvane {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;
inline constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
inline constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
inline constexpr double kRadiansPerArcsecond = std::numbers::pi / 648000.0;
// Sidereal time in hours to an angle in radians.
inline constexpr double kRadiansPerHour = std::numbers::pi / 12.0;

}  // namespace quorvane
