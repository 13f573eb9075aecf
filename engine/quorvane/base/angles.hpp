// The angle constants of the engine, one name for each conversion, and the
// trigonometry of angles given in degrees.
#pragma once

#include <cmath>
#include <numbers>

namespace quorvane {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;
inline constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
inline constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
inline constexpr double kRadiansPerArcsecond = std::numbers::pi / 648000.0;
// Sidereal time in hours to an angle in radians.
inline constexpr double kRadiansPerHour = std::numbers::pi / 12.0;

inline double sind(double degrees) { return std::sin(degrees * kRadiansPerDegree); }
inline double cosd(double degrees) { return std::cos(degrees * kRadiansPerDegree); }
inline double tand(double degrees) { return std::tan(degrees * kRadiansPerDegree); }

}  // namespace quorvane
