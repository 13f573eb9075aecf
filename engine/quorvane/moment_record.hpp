// A moment found by a search, as results give it: the ISO text of the
// nearest microsecond and the UT Julian day itself.
#pragma once

#include "quorvane/json.hpp"

namespace quorvane {

Json moment_record(double jd);

}  // namespace quorvane
