// The horary chart: the chart of the moment a question is asked, with the
// considerations before judgment (strictures, radicality), the Moon's
// status and the judgment of the question.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chart/chart.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/horary/judgment.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/traditional/planetary_hours.hpp"

namespace quorvane {

struct Stricture {
  std::string_view code;
  std::string_view severity;  // "warning" or "info"
  std::string message;
};

struct ApplyingAspect {
  std::string_view planet;
  std::string_view aspect;
  double degrees_to_exact = 0.0;  // rounded to 2 decimals
  std::string_view target_sign;   // the Moon's present sign
};

struct SeparatingAspect {
  std::string_view planet;
  std::string_view aspect;
  double degrees_ago = 0.0;  // rounded to 2 decimals
};

struct MoonStatus {
  bool void_of_course = true;
  double degrees_to_next_sign = 0.0;  // rounded to 2 decimals
  double hours_to_next_sign = 0.0;    // rounded to 1 decimal
  std::string_view next_sign;
  std::string_view speed_status;  // "slow", "average" or "swift"
  std::vector<ApplyingAspect> applying_aspects;        // nearest first
  std::vector<SeparatingAspect> separating_aspects;    // most recent first
  // next_applying_aspect and last_aspect are the heads of the two lists.
};

// Her hourly motion when the chart gives no usable speed (13°10'36" a day).
inline constexpr double kMoonMeanHourlyMotion = 0.5491666666666667;

// The Moon's aspects to the five planets and the Sun within her present
// sign, and how long she has left in it.
MoonStatus moon_status(const Placement& moon, std::span<const Placement> placements);

// Uranus, Neptune and Pluto for the signs they were given in modern times;
// the domicile ruler for the rest.
std::string_view modern_ruler(std::string_view sign, std::string_view traditional);

// The hour agrees with the chart: its ruler is the lord of the Ascendant or
// the triplicity lord of the Ascendant's element for the day or night half.
bool is_radical(std::string_view hour_ruler, std::string_view ascendant_ruler,
                std::string_view ascendant_sign, bool is_day);

struct HoraryData {
  PlanetaryHours planetary_hours;
  std::string_view ascendant_sign;
  std::string ascendant_degree;  // "15° 7' Leo"
  std::string_view traditional_asc_ruler;
  std::string_view modern_asc_ruler;
  bool is_radical = false;
  std::vector<Stricture> strictures;
  MoonStatus moon_status;
  Judgment judgment;
};

struct HoraryChart {
  Chart chart;  // with planetary_hours filled
  HoraryData horary_data;
};

// The horary reading of a finished chart whose hours are `hours`; `jd` and
// `ayanamsa` (degrees, 0 when tropical) place the refranation scan. Fails
// only with "chart has no Moon".
Expected<HoraryData, EngineError> horary_data(const KernelSet& kernels, const Chart& chart,
                                              const PlanetaryHours& hours, double jd,
                                              double ayanamsa,
                                              std::optional<uint8_t> quesited_house);

Expected<HoraryChart, EngineError> calculate_horary_chart(const KernelSet& kernels,
                                                          const ChartRequest& request,
                                                          std::optional<uint8_t> quesited_house);

void write(RecordWriter& out, const Stricture& stricture);
void write(RecordWriter& out, const ApplyingAspect& aspect);
void write(RecordWriter& out, const SeparatingAspect& aspect);
void write(RecordWriter& out, const MoonStatus& status);
void write(RecordWriter& out, const HoraryData& data);
void write(RecordWriter& out, const HoraryChart& chart);

}  // namespace quorvane
