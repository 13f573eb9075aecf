// The house positions of bodies at a moment and place: each body's
// apparent place of date located in the frame of a house system.
#pragma once

#include <string>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane {

struct HousePositionsRequest {
  UtcInstant moment;
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
  std::vector<std::string> bodies;  // empty: the chart's bodies
  std::string house_system = "P";
  std::string house_obliquity = "mean";  // or "true"
};

struct BodyHousePosition {
  std::string body;
  double longitude;  // apparent ecliptic longitude of date, degrees
  double latitude;   // apparent ecliptic latitude of date, degrees
  double house_position;
};

struct HousePositions {
  UtcInstant moment;
  double jd;
  char house_system;     // the code of the system cast
  bool polar_fallback;   // a quadrant system cast as Porphyry beyond a polar circle
  double ramc;           // degrees
  double obliquity;      // of the houses, degrees
  std::vector<BodyHousePosition> positions;
};

Expected<HousePositions, EngineError> house_positions(const KernelSet& kernels,
                                                      const HousePositionsRequest& request);

void write(RecordWriter& out, const HousePositions& positions);

}  // namespace quorvane
