// Progressions and solar-arc directions (every natal point moved by the
// progressed Sun's arc). A year is the tropical year of 365.24219 days.
//
// Progressions, by kind: the chart of the moment as many days after birth
// as the target is
// - "secondary": years of life (a day for a year);
// - "tertiary": lunar months of life (a day for a month);
// - "minor": years of life, in lunar months (a month for a year).
// The lunar month (Astro*Index, M. Erlewine 1997) is the tropical month of
// 27.321582 days by default, or the synodic month of 29.530589 days.
//
// Progressed angles, by method:
// - "solar_arc": the Midheaven moves by the solar arc in longitude (the
//   progressed Sun's longitude minus the natal Sun's).
// - "naibod": the RAMC moves by Naibod's rate, the Sun's mean motion of
//   0.98564733 degrees of right ascension a progressed day (a year of life
//   in secondary progressions).
// Either way the houses are cast from the moved RAMC at the birth latitude
// with the birth's mean obliquity, and the Ascendant is theirs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chart/chart.hpp"
#include "quorvane/predictive/composite.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/aspects.hpp"

namespace quorvane {

inline constexpr double kProgressionYearDays = 365.24219;
inline constexpr double kNaibodDegreesPerYear = 0.98564733;
inline constexpr double kLongestDirectionYears = 150.0;
inline constexpr double kTropicalMonthDays = 27.321582;
inline constexpr double kSynodicMonthDays = 29.530589;

enum class AngleMethod { SolarArc, Naibod };
enum class ProgressionKind { Secondary, Tertiary, Minor };

// "secondary", "tertiary" or "minor"; anything else is an InvalidInput error.
Expected<ProgressionKind, EngineError> progression_kind_from_text(std::string_view text);
// "tropical" or "synodic": the month's length in days.
Expected<double, EngineError> lunar_month_from_text(std::string_view text);

// How fast a progression runs: days of life per progressed day.
struct ProgressionRate {
  ProgressionKind kind = ProgressionKind::Secondary;
  double month_days = kTropicalMonthDays;  // unused by secondary progressions
  double life_days_per_day() const;
};

// "solar_arc" or "naibod"; anything else is an InvalidInput error.
Expected<AngleMethod, EngineError> angle_method_from_text(std::string_view text);

struct ProgressedChart {
  BirthPlace birth;
  UtcInstant target;
  UtcInstant progressed_moment;
  double age_years = 0.0;
  ProgressionRate rate;
  AngleMethod method = AngleMethod::SolarArc;
  double arc = 0.0;  // degrees the Midheaven moved: in longitude, or the RAMC's for Naibod
  std::string zodiac_type;
  std::vector<Placement> planets;
  std::vector<HouseCusp> houses;
  std::vector<Aspect> aspects;  // among the progressed points
};

// `options` gives the house system, zodiac, ayanamsa and orb settings.
Expected<ProgressedChart, EngineError> progressed_chart(const KernelSet& kernels,
                                                        const ChartRequest& options,
                                                        const BirthPlace& birth,
                                                        UtcInstant target, AngleMethod method,
                                                        ProgressionRate rate = {});

struct DirectionHit {
  std::string directed;  // the natal point moved by the arc
  std::string natal;     // the natal point it aspects
  const AspectKind* aspect = nullptr;
  double arc = 0.0;  // degrees
  double jd = 0.0;
};

struct SolarArcDirections {
  BirthPlace birth;
  double start = 0.0;  // UT Julian days
  double end = 0.0;
  double arc = 0.0;                 // the solar arc at `start`
  std::vector<Placement> directed;  // natal points moved by it, in natal houses
  std::vector<DirectionHit> hits;   // exact directed-to-natal aspects in the span, by time
};

Expected<SolarArcDirections, EngineError> solar_arc_directions(const KernelSet& kernels,
                                                               const ChartRequest& options,
                                                               const BirthPlace& birth,
                                                               UtcInstant start, UtcInstant end);

void write(RecordWriter& out, const ProgressedChart& chart);
void write(RecordWriter& out, const DirectionHit& hit);
void write(RecordWriter& out, const SolarArcDirections& directions);

}  // namespace quorvane
