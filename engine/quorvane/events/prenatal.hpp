// The lunation and the eclipses before a birth, which several traditions
// read: the last new or full Moon, the last solar eclipse and the last lunar
// eclipse before the moment.
#pragma once

#include <optional>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "quorvane/events/sky_event.hpp"
#include "quorvane/records/record_writer.hpp"

namespace quorvane {

struct PrenatalEvents {
  double jd = 0.0;  // the birth, UT Julian day
  SkyEvent lunation;
  std::optional<SkyEvent> solar_eclipse;  // none when the kernels end first
  std::optional<SkyEvent> lunar_eclipse;
};

Expected<PrenatalEvents, EngineError> prenatal_events(const KernelSet& kernels, double jd);

void write(RecordWriter& out, const PrenatalEvents& events);

}  // namespace quorvane
