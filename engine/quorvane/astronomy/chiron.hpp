// Chiron from the embedded table of its geocentric apparent ecliptic
// longitudes (every 4 UT days, 1849 to 2150), interpolated Catmull-Rom.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace quorvane::chiron {

// The grid is fixed: the block's own first day and step are not read.
inline constexpr double kFirstJd = 2396392.5;
inline constexpr double kStep = 4.0;
inline constexpr std::size_t kCount = 27570;

struct ChironPosition {
  double longitude;  // degrees in [0, 360), less the ayanamsa
  double speed;      // degrees per day, rounded to 4 decimals
  bool retrograde;   // from the unrounded speed
};

// The longitudes (radians, continuous) of a table block: f64 first day,
// f64 step, u32 count, count x f64. Nothing when the block is shorter than
// its count says or the count is not kCount.
std::optional<std::vector<double>> decode(const unsigned char* data, std::size_t size);

// The process-wide table, decoded once from the embedded block.
const std::vector<double>& table();

// The lookup over any table on the fixed grid: nothing unless the interval
// k = trunc((jd - kFirstJd) / kStep) has a neighbour on both sides, i.e.
// 0 < k < values.size() - 2.
std::optional<ChironPosition> interpolate(std::span<const double> values, double jd,
                                          double ayanamsa);

// Chiron at a UT Julian day; nothing before 1849-01-04 or from 2150-11-30.
std::optional<ChironPosition> position(double jd, double ayanamsa);

}  // namespace quorvane::chiron
