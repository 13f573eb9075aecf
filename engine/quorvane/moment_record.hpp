// A moment found by a search, as results give it: the ISO text of the
// nearest microsecond and the UT Julian day itself.
#pragma once

#include "quorvane/json.hpp"
#include "quorvane/record_writer.hpp"

namespace quorvane {

struct Moment {
  double julian_day = 0.0;  // UT
};

void write(RecordWriter& out, const Moment& moment);

// The same as a Json tree, for results still assembled as trees.
Json moment_record(double jd);

}  // namespace quorvane
