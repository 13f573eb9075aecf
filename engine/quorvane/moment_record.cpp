#include "quorvane/moment_record.hpp"

#include "quorvane/planetary_hours.hpp"

namespace quorvane {

void write(RecordWriter& out, const Moment& moment) {
  ObjectWriter(out)
      .field("moment", instant_from_julian_day(moment.julian_day).isoformat())
      .field("julian_day", moment.julian_day);
}

Json moment_record(double jd) { return to_json_tree(Moment{jd}); }

}  // namespace quorvane
