#include "quorvane/time/moment_record.hpp"

#include "quorvane/time/julian_day.hpp"

namespace quorvane {

void write_moment_fields(ObjectWriter& out, double jd) {
  out.field("moment", instant_from_julian_day(jd).isoformat()).field("julian_day", jd);
}

void write(RecordWriter& out, const MomentRecord& moment) {
  ObjectWriter o(out);
  write_moment_fields(o, moment.jd);
}

}  // namespace quorvane
