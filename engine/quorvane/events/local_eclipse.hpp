// A solar eclipse seen from one place: the apparent (topocentric) Sun and
// Moon, their centres' separation against the sum and difference of their
// apparent radii. C1 and C4 are where the separation equals the sum, C2 and
// C3 the difference (total or annular there); the maximum is its least
// value. Magnitude: the fraction of the Sun's diameter covered; obscuration:
// of its disc's area.
#pragma once

#include <optional>
#include <string>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/records/record_writer.hpp"

namespace quorvane {

struct LocalPhase {
  double jd = 0.0;
  double sun_altitude = 0.0;  // degrees, of the centre, without refraction
};

struct LocalEclipse {
  double eclipse_jd = 0.0;     // the global greatest eclipse
  std::string eclipse_type;    // the global type
  bool seen = false;           // the Moon covers some of the Sun here
  bool visible = false;        // ...with the Sun above the horizon at some phase
  std::string local_type;      // total, annular, partial or none
  std::optional<LocalPhase> c1, c2, c3, c4;
  std::optional<LocalPhase> maximum;
  double magnitude = 0.0;
  double obscuration = 0.0;
};

// The solar eclipse nearest UT Julian day `jd` (within 20 days) as seen from
// the place (geodetic degrees, height in metres above the ellipsoid).
Expected<LocalEclipse, EngineError> local_solar_eclipse(const KernelSet& kernels, double jd,
                                                        double latitude, double longitude,
                                                        double height);

void write(RecordWriter& out, const LocalEclipse& eclipse);

}  // namespace quorvane
