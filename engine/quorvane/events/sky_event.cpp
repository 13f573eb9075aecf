#include "quorvane/events/sky_event.hpp"

#include "quorvane/time/moment_record.hpp"

namespace quorvane {

void write(RecordWriter& out, const SkyEvent& e) {
  ObjectWriter o(out);
  o.field("group", e.group).field("kind", e.kind).field("bodies", e.bodies);
  write_moment_fields(o, e.jd);
  o.field("end", e.end ? std::optional<MomentRecord>(MomentRecord{*e.end}) : std::nullopt)
      .field("longitudes", e.longitudes);
  o.writer().key("details");
  ObjectWriter details(o.writer());
  for (const EventDetail& d : e.details) {
    std::visit([&](const auto& value) { details.field(d.key, value); }, d.value);
  }
}

}  // namespace quorvane
