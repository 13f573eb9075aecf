// One moment in the TT, TDB and UT1 time scales, and Delta T (TT - UT1).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace quorvane {

// The Julian day of the epoch J2000.0 (2000 January 1, 12h TT), from which
// the engine counts days and Julian centuries.
inline constexpr double kJ2000 = 2451545.0;

// All four fields are days: each scale is `whole` plus its own fraction,
// which keeps the large Julian day apart from the small per-scale parts.
struct Time {
  double whole = 0.0;
  double tt_fraction = 0.0;
  double tdb_fraction = 0.0;
  double ut1_fraction = 0.0;

  static Time from_ut1(double jd_ut1);
  static Time from_tt(double whole, double fraction);
};

// TDB - TT in seconds at a TT Julian day.
double tdb_minus_tt(double jd_tt);
// Its rate in seconds per day, from the annual terms (the others add under
// 5e-7 s per day).
double tdb_minus_tt_rate(double jd_tt);

struct DeltaT {
  std::vector<double> points;  // TT Julian days of the daily table
  std::vector<double> values;  // seconds, one per point
  std::vector<std::array<double, 6>> segments;  // start, end, a3, a2, a1, a0

  // Delta T in seconds at a TT Julian day.
  double at(double jd) const;

  // Reads the little-endian block layout of generated/delta_t_block.hpp;
  // empty when the block is shorter than its own counts say.
  static std::optional<DeltaT> decode(const unsigned char* data, std::size_t size);
};

// The process-wide table, decoded once from the embedded block.
const DeltaT& delta_t();

}  // namespace quorvane
