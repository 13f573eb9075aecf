// Chart assembly: the Chart record every chart-producing call returns, in
// the key order of the chart dict, and the stages that build it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/aspects.hpp"
#include "quorvane/body_view.hpp"
#include "quorvane/chinese/calendar.hpp"
#include "quorvane/condition.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/error.hpp"
#include "quorvane/expected.hpp"
#include "quorvane/instant.hpp"
#include "quorvane/fixed_stars.hpp"
#include "quorvane/json.hpp"
#include "quorvane/lots.hpp"
#include "quorvane/lunar.hpp"
#include "quorvane/planetary_hours.hpp"
#include "quorvane/receptions.hpp"
#include "quorvane/record_writer.hpp"
#include "quorvane/temperament.hpp"
#include "quorvane/zodiac.hpp"

namespace quorvane {

struct ChartRequest {
  std::string house_system = "P";
  std::string zodiac_type = "tropical";
  std::string ayanamsa = "galcent_0sag";
  std::string dignity_scheme = "lilly";
  std::optional<Json> orb_settings;
  UtcInstant moment;
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
  bool chinese_calendar = false;
};

struct Placement {
  std::string name;
  std::string symbol;
  uint8_t sign = 0;
  int64_t degree = 0;
  int64_t minute = 0;
  double ecliptic_longitude = 0.0;
  uint8_t house = 1;
  double speed = 0.0;
  bool is_retrograde = false;
  int64_t symbolic_degree = 1;
  std::optional<Condition> condition;  // omitted from the dict when absent
};

struct HouseCusp {
  uint8_t house_number = 1;
  uint8_t sign = 0;
  int64_t degree = 0;
  int64_t minute = 0;
  double ecliptic_longitude = 0.0;
  int64_t symbolic_degree = 1;
};

// The twelve cusp records of house cusps 1 to 12 (ecliptic longitudes).
std::vector<HouseCusp> house_cusp_records(const std::array<double, 12>& cusps);

// The first stage of every chart: positions, houses and placements.
struct Sky {
  AyanamsaInfo ayanamsa;
  std::array<double, 12> cusps{};
  std::vector<HouseCusp> houses;
  std::vector<Placement> placements;
  std::string_view zodiac;  // "tropical" or "sidereal"
  std::string_view ayanamsa_code;
  double jd = 0.0;
  bool sidereal = false;
  double offset = 0.0;  // the ayanamsa subtracted from every longitude
};

struct Chart {
  std::string house_system;
  std::string zodiac_type;
  std::optional<std::string> ayanamsa;
  std::optional<std::string> ayanamsa_name;
  std::optional<double> ayanamsa_value;
  std::optional<std::string> ayanamsa_formatted;
  double precession_rate_arcsec_yr = 0.0;
  Json orb_settings = Json::object();
  std::vector<Placement> planets;
  std::vector<std::string> unavailable_bodies;
  std::vector<HouseCusp> houses;
  std::vector<Aspect> aspects;
  std::vector<FixedStarPosition> fixed_stars;
  std::vector<Lot> arabic_parts;
  Temperament temperament;
  std::optional<LunarStatus> lunar_status;  // written as {} when absent
  std::optional<std::string> sect;
  std::string dignity_scheme;
  std::vector<Reception> receptions;
  std::vector<AntisciaContact> antiscia;
  std::optional<PlanetaryHours> planetary_hours;           // omitted when absent
  std::optional<chinese::ChineseCalendar> chinese_calendar;  // omitted when absent
};

// The glyph of a body or point; empty for any other name.
std::string_view symbol_of(std::string_view name);

Expected<Sky, EngineError> sky(const KernelSet& kernels, const ChartRequest& request);
std::vector<Placement> placements(std::vector<BodyView> bodies, const std::array<double, 12>& cusps,
                                  double ascendant, double midheaven);
Expected<Chart, EngineError> chart_without_hours(const KernelSet& kernels,
                                                 const ChartRequest& request);
Expected<Chart, EngineError> calculate_chart(const KernelSet& kernels, const ChartRequest& request);

// The placement's view for lookups and judgements; borrows its name.
BodyView view_of(const Placement& placement);

void write(RecordWriter& out, const Placement& placement);
void write(RecordWriter& out, const HouseCusp& cusp);
void write(RecordWriter& out, const Chart& chart);

}  // namespace quorvane
