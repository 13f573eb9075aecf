// One event of the sky as the searches report it: what happened (its group
// and kind), to which bodies, when (a moment, or a period with an end), the
// bodies' longitudes at that moment and the facts particular to its kind.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "quorvane/records/record_writer.hpp"

namespace quorvane {

struct EventDetail {
  std::string key;
  std::variant<double, bool, std::string> value;
};

struct SkyEvent {
  std::string group;  // lunations, ingresses, stations, void_of_course, aspects, phenomena
  std::string kind;   // new_moon, ingress, retrograde_station, perigee, ...
  std::vector<std::string> bodies;
  double jd = 0.0;                 // UT Julian day of the moment (or the period's start)
  std::optional<double> end;       // a period's end
  std::vector<double> longitudes;  // of `bodies` at `jd`, in the zodiac asked
  std::vector<EventDetail> details;

  SkyEvent& detail(std::string key, std::variant<double, bool, std::string> value) {
    details.push_back({std::move(key), std::move(value)});
    return *this;
  }
};

void write(RecordWriter& out, const SkyEvent& event);

}  // namespace quorvane
