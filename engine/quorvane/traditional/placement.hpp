// A body or point placed in a chart (sign, degree, house, motion and, in
// charts that judge it, its condition) and a house cusp, as every chart
// record holds them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/traditional/condition.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/zodiac/aspects.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/houses.hpp"

namespace quorvane {

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

// The cusp records of houses 1 to 12, or for Gauquelin of the boundaries
// of sectors 1 to 36 (`house_number` then the sector's).
std::vector<HouseCusp> house_cusp_records(const HouseResult& houses);

// The longitudes of cusps 1 to 12 of such records: for Gauquelin's 36 the
// boundaries of sectors 1, 34, 31, ..., 4 (sector 1 + 3j starts house
// 12 - j after house 1), which are the Placidus cusps.
std::vector<double> twelve_cusps(const std::vector<HouseCusp>& houses);

// The placements of `bodies` and of the two angles among twelve cusps.
std::vector<Placement> placements(std::vector<BodyView> bodies, const std::array<double, 12>& cusps,
                                  double ascendant, double midheaven);

// A chart cast from bodies already known: its cusps, its placements and the
// aspects among them (the points standing still).
struct PlacedBodies {
  std::vector<HouseCusp> houses;
  std::vector<Placement> planets;
  std::vector<Aspect> aspects;
};
Expected<PlacedBodies, EngineError> place_with_aspects(std::vector<BodyView> bodies,
                                                       const HouseResult& houses,
                                                       const OrbSettings& settings);

// The placement's view for lookups and judgements; borrows its name.
BodyView view_of(const Placement& placement);

void write(RecordWriter& out, const Placement& placement);
void write(RecordWriter& out, const HouseCusp& cusp);

}  // namespace quorvane
