// Chart assembly: the Chart record every chart-producing call returns, in
// the key order of the chart dict, and the stages that build it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chinese/calendar.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"
#include "quorvane/traditional/condition.hpp"
#include "quorvane/traditional/lots.hpp"
#include "quorvane/traditional/lunar.hpp"
#include "quorvane/traditional/placement.hpp"
#include "quorvane/traditional/planetary_hours.hpp"
#include "quorvane/traditional/receptions.hpp"
#include "quorvane/traditional/temperament.hpp"
#include "quorvane/zodiac/aspects.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/fixed_stars.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

struct ChartRequest {
  std::string house_system = "P";
  // "mean" (IAU 1980) or "true" (mean plus the nutation in obliquity).
  std::string house_obliquity = "mean";
  std::string zodiac_type = "tropical";
  std::string ayanamsa = "galcent_0sag";
  std::string dignity_scheme = "lilly";
  // The lunar nodes: "mean" or "true" (of the osculating orbit).
  std::string node = "mean";
  std::optional<Json> orb_settings;
  UtcInstant moment;
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
  bool chinese_calendar = false;
};

// The nutation in obliquity (degrees) that the houses add to the mean
// obliquity at UT Julian day `jd` under `house_obliquity` ("mean" or
// "true"): 0 for "mean".
double house_obliquity_nutation(std::string_view house_obliquity, double jd);
double house_obliquity_nutation(const ChartRequest& request, double jd);

// The house system a request's chart is cast in, and why when that is not
// the one asked for: an unknown name (Placidus then), or a quadrant system
// beyond the polar circles (Porphyry then).
struct HouseChoice {
  std::string code;
  double obliquity_nutation = 0.0;  // degrees, see house_obliquity_nutation
  double obliquity = 0.0;           // degrees, the houses' obliquity at the moment
  bool polar = false;
  bool polar_fallback = false;
  std::optional<std::string> fallback;
};
HouseChoice house_choice(const ChartRequest& request);

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
  double latitude = 0.0;         // degrees
  double ramc = 0.0;             // degrees
  double house_obliquity = 0.0;  // degrees, the obliquity the houses used
  bool polar = false;            // beyond the polar circles
  std::string house_system;      // the code of the system the houses were cast in
  // Why that is not the system asked for; none when it is.
  std::optional<std::string> house_system_fallback;
};

// The sides of the horizon a chart's ecliptic points are judged by.
HorizonSides horizon_sides(const Sky& sky, double ascendant);

struct Chart {
  std::string house_system;       // the caller's text, as given
  std::string house_system_used;  // the code of the system the houses were cast in
  std::optional<std::string> house_system_fallback;
  std::string node = "mean";
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

Expected<Sky, EngineError> sky(const KernelSet& kernels, const ChartRequest& request);
Expected<Chart, EngineError> chart_without_hours(const KernelSet& kernels,
                                                 const ChartRequest& request);
Expected<Chart, EngineError> calculate_chart(const KernelSet& kernels, const ChartRequest& request);

// Whether a chart of this UT Julian day can be cast: a kernel covers it and,
// near a kernel's ends, everything a chart reaches for as well.
bool can_cast_chart(const KernelSet& kernels, double jd);

void write(RecordWriter& out, const Chart& chart);

}  // namespace quorvane
