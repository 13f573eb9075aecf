#include "quorvane/events/prenatal.hpp"

#include "quorvane/events/eclipses.hpp"
#include "quorvane/events/events.hpp"
#include "quorvane/time/moment_record.hpp"

namespace quorvane {
namespace {

// Eclipses of each kind recur within about six months; a year's window
// always holds one, and the search steps back window by window.
constexpr double kEclipseWindow = 400.0;
constexpr double kLunationWindow = 16.0;  // more than half a synodic month

Expected<std::optional<SkyEvent>, EngineError> last_eclipse(const KernelSet& kernels, double jd,
                                                            bool solar) {
  for (double end = jd; end > jd - 4.0 * kEclipseWindow; end -= kEclipseWindow) {
    if (!choose_kernel(kernels, end - kEclipseWindow - 30.0)) return std::optional<SkyEvent>();
    auto found = eclipses(kernels, end - kEclipseWindow, end, solar, !solar);
    if (!found) return unexpected(std::move(found).error());
    while (!found->empty() && found->back().jd >= jd) found->pop_back();
    if (!found->empty()) return std::optional<SkyEvent>(found->back());
  }
  return std::optional<SkyEvent>();
}

}  // namespace

Expected<PrenatalEvents, EngineError> prenatal_events(const KernelSet& kernels, double jd) {
  EventsRequest request;
  request.start = jd - kLunationWindow;
  request.end = jd;
  request.kinds = {"new_moon", "full_moon"};
  auto lunations = sky_events(kernels, request);
  if (!lunations) return unexpected(std::move(lunations).error());
  while (!lunations->empty() && lunations->back().jd >= jd) lunations->pop_back();
  if (lunations->empty()) return unexpected(EngineError::invalid_input("no lunation found before the moment"));
  PrenatalEvents out;
  out.jd = jd;
  out.lunation = lunations->back();
  for (bool solar : {true, false}) {
    auto found = last_eclipse(kernels, jd, solar);
    if (!found) return unexpected(std::move(found).error());
    (solar ? out.solar_eclipse : out.lunar_eclipse) = std::move(found).value();
  }
  return out;
}

void write(RecordWriter& out, const PrenatalEvents& e) {
  ObjectWriter o(out);
  write_moment_fields(o, e.jd);
  o.field("lunation", e.lunation).field("solar_eclipse", e.solar_eclipse).field("lunar_eclipse", e.lunar_eclipse);
}

}  // namespace quorvane
