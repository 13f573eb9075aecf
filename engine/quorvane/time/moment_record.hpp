// A moment found by a search, as results give it: the ISO text of the
// nearest microsecond and the UT Julian day itself.
#pragma once

#include "quorvane/records/record_writer.hpp"

namespace quorvane {

// "moment" and "julian_day", into an object being written.
void write_moment_fields(ObjectWriter& out, double jd);

// The moment as an object of its own.
struct MomentRecord {
  double jd = 0.0;
};

void write(RecordWriter& out, const MomentRecord& moment);

}  // namespace quorvane
