// The transit timeline of a span: every aspect a transiting body makes to a
// natal point, with the moment it comes within orb, each exact hit and the
// moment it leaves orb, and the transiting bodies' sign ingresses, natal
// house ingresses and stations. Moments are roots found on the bodies'
// sampled tracks, not steps through the span.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/predictive/body_tracks.hpp"
#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/records/json.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/aspects.hpp"

namespace quorvane {

struct TimelineRequest {
  std::vector<Point> natal;
  std::optional<std::array<double, 12>> natal_cusps;  // no house ingresses without them
  std::vector<std::string> bodies;                      // kernel bodies; empty: all ten
  double start = 0.0;                                   // UT Julian days
  double end = 0.0;
  ZodiacChoice zodiac;
  std::optional<ZodiacChoice> natal_zodiac;  // the natal chart's, when it says
  std::optional<Json> orb_settings;
};

// One stay of a transit within orb of one aspect to one natal point.
struct AspectPass {
  std::string body;
  std::string natal;
  const AspectKind* aspect = nullptr;
  double target = 0.0;  // the longitude at which the aspect is exact
  double orb = 0.0;     // allowed orb, degrees
  std::optional<double> enters;  // none: already within orb at the start
  std::vector<double> exact;
  std::optional<double> leaves;  // none: still within orb at the end
};

struct StationMoment {
  std::string body;
  bool turns_retrograde = false;
  double longitude = 0.0;
  double jd = 0.0;
};

struct TransitTimeline {
  double start = 0.0;
  double end = 0.0;
  std::vector<AspectPass> aspects;  // by the moment they enter orb
  std::vector<Ingress> sign_ingresses;
  std::vector<Ingress> house_ingresses;
  std::vector<StationMoment> stations;
};

inline constexpr double kLongestTimelineDays = 3660.0;

Expected<TransitTimeline, EngineError> transit_timeline(const KernelSet& kernels,
                                                        const TimelineRequest& request);

// The natal points and cusps of a chart dict (its "planets" and "houses"),
// or of a bare list of points; the chart's zodiac when it names one.
Expected<TimelineRequest, EngineError> timeline_natal(const Json& natal);

// The zodiac transits are measured in: the one asked for, else the natal
// chart's, else tropical. Natal longitudes and transits in two different
// zodiacs would put every hit days off, so that mixture is refused.
Expected<ZodiacChoice, EngineError> timeline_zodiac(const std::optional<ZodiacChoice>& natal,
                                                    const std::optional<ZodiacChoice>& asked);

void write(RecordWriter& out, const AspectPass& pass);
void write(RecordWriter& out, const StationMoment& station);
void write(RecordWriter& out, const TransitTimeline& timeline);

}  // namespace quorvane
