// The chart's Moon: phase from its elongation from the Sun, illumination,
// age, speed class, dignity by sign and the lunar mansion it occupies.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/catalog.hpp"

namespace quorvane {

struct Placement;  // a chart's placement (placement.hpp)

struct LunarPhase {
  std::string_view key;
  std::string_view name;
  uint8_t quarter;
  std::string_view glyph;
};

// The phase of an elongation E in [0, 360): eight 45-degree phases, the new
// and full moons centred on 0 and 180.
const LunarPhase& lunar_phase(double elongation);

// The mansion (0-based entry of kLunarMansions) of a longitude: the circle
// cut into 28 equal parts; a non-finite longitude gives the first mansion.
std::size_t mansion_index(double longitude);

struct LunarStatus {
  const LunarPhase* phase = nullptr;
  double elongation = 0.0;               // rounded to 2 decimals
  double illumination_percentage = 0.0;  // rounded to 1 decimal
  double moon_age_days = 0.0;            // rounded to 1 decimal
  bool is_waxing = true;
  uint8_t moon_sign = 0;
  int64_t moon_degree = 0;
  int64_t moon_minute = 0;
  double moon_longitude = 0.0;  // rounded to 3 decimals
  uint8_t moon_house = 1;
  double moon_speed = 0.0;  // rounded to 2 decimals
  std::string_view speed_status;
  std::string_view essential_dignity;
  const LunarMansion* lunar_mansion = nullptr;
};

// None when no placement is named "Moon". Without a Sun the elongation is
// taken from 0 degrees.
std::optional<LunarStatus> lunar_status(const std::vector<Placement>& placements);

void write(RecordWriter& out, const LunarMansion& mansion);
void write(RecordWriter& out, const LunarStatus& status);

}  // namespace quorvane
