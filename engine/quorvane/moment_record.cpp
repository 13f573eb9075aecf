#include "quorvane/moment_record.hpp"

#include "quorvane/planetary_hours.hpp"

namespace quorvane {

Json moment_record(double jd) {
  Json out = Json::object();
  out["moment"] = instant_from_julian_day(jd).isoformat();
  out["julian_day"] = jd;
  return out;
}

}  // namespace quorvane
