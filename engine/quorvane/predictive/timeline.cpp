#include "quorvane/predictive/timeline.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "quorvane/astronomy/sampled_track.hpp"
#include "quorvane/predictive/body_tracks.hpp"
#include "quorvane/time/moment_record.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// The orb the aspect rule allows this pair for one aspect: asked at the
// aspect's exact angle. None when an earlier, wider aspect of the table
// would take that angle (the chart would report that one).
Expected<std::optional<double>, EngineError> allowed_orb(const OrbSettings& settings,
                                                         const std::string& body,
                                                         const std::string& natal,
                                                         const AspectKind& aspect) {
  auto match = find_aspect(settings, body, natal, aspect.angle);
  if (!match) return unexpected(std::move(match).error());
  if (!*match || (*match)->aspect != &aspect || !((*match)->allowed >= 0.0)) {
    return std::optional<double>();
  }
  return std::optional<double>(std::min((*match)->allowed, 90.0));
}

// The passes of one body through orb of one target longitude.
Expected<Ok, EngineError> passes(const BodyTrack& body, const std::string& natal,
                                 const AspectKind& aspect, double target, double orb, double start,
                                 double end, std::vector<AspectPass>& out) {
  auto lower = track_crossings(body, target - orb, start, end);
  if (!lower) return unexpected(std::move(lower).error());
  auto upper = track_crossings(body, target + orb, start, end);
  if (!upper) return unexpected(std::move(upper).error());
  std::vector<Crossing> edges = std::move(lower).value();
  edges.insert(edges.end(), upper->begin(), upper->end());
  std::sort(edges.begin(), edges.end(),
            [](const Crossing& a, const Crossing& b) { return a.jd < b.jd; });

  bool inside =
      std::fabs(signed_difference(normalize_degrees(body.track->at(start)), target)) <= orb;
  if (!inside && edges.empty()) return Ok{};
  auto hits = track_crossings(body, target, start, end);
  if (!hits) return unexpected(std::move(hits).error());
  const auto open = [&](std::optional<double> enters) {
    AspectPass pass;
    pass.body = body.name;
    pass.natal = natal;
    pass.aspect = &aspect;
    pass.target = normalize_degrees(target);
    pass.orb = orb;
    pass.enters = enters;
    out.push_back(std::move(pass));
  };
  const size_t first = out.size();
  if (inside) open(std::nullopt);
  for (const Crossing& edge : edges) {
    if (inside) {
      out.back().leaves = edge.jd;
    } else {
      open(edge.jd);
    }
    inside = !inside;
  }
  for (const Crossing& hit : *hits) {
    for (size_t k = first; k < out.size(); ++k) {
      const double from = out[k].enters.value_or(start), to = out[k].leaves.value_or(end);
      if (hit.jd >= from && hit.jd <= to) {
        out[k].exact.push_back(hit.jd);
        break;
      }
    }
  }
  return Ok{};
}

}  // namespace

Expected<TimelineRequest, EngineError> timeline_natal(const Json& natal) {
  TimelineRequest request;
  const Json* planets = &natal;
  if (natal.is_object()) {
    const auto it = natal.find("planets");
    if (it == natal.end()) return unexpected(EngineError::invalid_input("natal chart has no planets"));
    planets = &*it;
    const auto zodiac_type = natal.find("zodiac_type");
    if (zodiac_type != natal.end() && zodiac_type->is_string()) {
      const auto ayanamsa = natal.find("ayanamsa");
      request.natal_zodiac = ZodiacChoice::from_texts(
          zodiac_type->get<std::string>(),
          ayanamsa != natal.end() && ayanamsa->is_string() ? ayanamsa->get<std::string>()
                                                           : ZodiacChoice{}.ayanamsa);
    }
    const auto houses = natal.find("houses");
    if (houses != natal.end() && !houses->is_null()) {
      if (!houses->is_array() || houses->size() != 12) {
        return unexpected(EngineError::invalid_input("natal houses must be a list of 12 cusps"));
      }
      std::array<double, 12> cusps{};
      for (size_t i = 0; i < 12; ++i) {
        const Json& cusp = (*houses)[i];
        const auto value = cusp.is_object() ? cusp.find("ecliptic_longitude") : cusp.end();
        if (!cusp.is_object() || value == cusp.end()) {
          return unexpected(
              EngineError::invalid_input("every natal house needs an ecliptic_longitude"));
        }
        auto longitude = py_float(*value);
        if (!longitude) return unexpected(std::move(longitude).error());
        cusps[i] = *longitude;
      }
      request.natal_cusps = cusps;
    }
  }
  auto points = points_from_json(*planets);
  if (!points) return unexpected(std::move(points).error());
  request.natal = std::move(points).value();
  for (Point& p : request.natal) {
    if (!std::isfinite(p.longitude)) {
      return unexpected(EngineError::invalid_input(p.name + " has a non-finite ecliptic_longitude"));
    }
    p.longitude = normalize_degrees(p.longitude);
  }
  if (request.natal_cusps) {
    for (double& cusp : *request.natal_cusps) {
      if (!std::isfinite(cusp)) {
        return unexpected(EngineError::invalid_input("a natal house cusp is not finite"));
      }
      cusp = normalize_degrees(cusp);
    }
  }
  return request;
}

Expected<ZodiacChoice, EngineError> timeline_zodiac(const std::optional<ZodiacChoice>& natal,
                                                    const std::optional<ZodiacChoice>& asked) {
  if (!asked) return natal.value_or(ZodiacChoice{});
  if (!natal) return *asked;
  const auto named = [](const ZodiacChoice& z) {
    return z.sidereal ? "sidereal (" + z.ayanamsa + ")" : std::string("tropical");
  };
  if (named(*natal) != named(*asked)) {
    return unexpected(EngineError::invalid_input(
        "the natal chart is " + named(*natal) + " but the transits were asked " + named(*asked) +
        "; leave zodiac_type and ayanamsa out to use the chart's"));
  }
  return *asked;
}

Expected<TransitTimeline, EngineError> transit_timeline(const KernelSet& kernels,
                                                        const TimelineRequest& request) {
  if (!(request.end > request.start)) {
    return unexpected(EngineError::invalid_input("end must be after start"));
  }
  if (request.end - request.start > kLongestTimelineDays) {
    return unexpected(EngineError::invalid_input("a timeline spans at most 3660 days"));
  }
  std::vector<std::string> names = request.bodies;
  if (names.empty()) {
    for (const Body& body : kKernelBodies) names.emplace_back(body.name);
  }
  std::vector<int32_t> codes;
  for (const std::string& name : names) {
    const auto code = kernel_body_code(name);
    if (!code) return unexpected(EngineError::invalid_input("not a transiting body: " + name));
    codes.push_back(*code);
  }
  auto settings = OrbSettings::merge(request.orb_settings ? &*request.orb_settings : nullptr);
  if (!settings) return unexpected(std::move(settings).error());

  // A span beyond the kernels fails here, before any sampling.
  for (double jd : {request.start, request.end}) {
    auto covered = choose_kernel(kernels, jd);
    if (!covered) return unexpected(std::move(covered).error());
  }
  const NutationSamples nutation(request.start - 8.0, request.end + 8.0);
  const LongitudeSource source = LongitudeSource(kernels, request.zodiac).with_nutation(nutation);
  // The Sun's track is wanted for the glare test even when it does not transit.
  std::vector<int32_t> sampled = codes;
  if (std::find(sampled.begin(), sampled.end(), 10) == sampled.end()) sampled.push_back(10);
  std::vector<size_t> slot;
  auto tracks = sample_bodies(source, sampled, request.start, request.end, slot);
  if (!tracks) {
    EngineError error = std::move(tracks).error();
    if (auto* range = std::get_if<OutOfRange>(&error.kind)) {
      range->reason =
          "a timeline reads the sky a few days beyond both ends of its span, for the passes "
          "and stations there; keep its ends a week inside the coverage";
    }
    return unexpected(std::move(error));
  }
  const auto sun_index = std::find(sampled.begin(), sampled.end(), 10) - sampled.begin();
  const SampledTrack* sun = &(*tracks)[slot[static_cast<size_t>(sun_index)]];

  TransitTimeline timeline;
  timeline.start = request.start;
  timeline.end = request.end;
  std::vector<double> sign_starts;
  for (int i = 0; i < 12; ++i) sign_starts.push_back(30.0 * i);
  std::vector<double> cusps;
  if (request.natal_cusps) cusps.assign(request.natal_cusps->begin(), request.natal_cusps->end());

  for (size_t b = 0; b < codes.size(); ++b) {
    const SampledTrack& track = (*tracks)[slot[b]];
    const BodyTrack body{names[b], codes[b], &track, codes[b] == 10 ? nullptr : sun, &source,
                         track.stations(request.start, request.end)};
    for (const Station& s : body.stations) {
      timeline.stations.push_back(
          {body.name, s.turns_retrograde, normalize_degrees(track.at(s.jd)), s.jd});
    }
    for (const auto& [boundaries, houses] :
         {std::pair{&sign_starts, false}, std::pair{&cusps, true}}) {
      auto done = boundary_ingresses(body, *boundaries, houses, request.start, request.end,
                            houses ? timeline.house_ingresses : timeline.sign_ingresses);
      if (!done) return unexpected(std::move(done).error());
    }
    for (const Point& natal : request.natal) {
      for (const AspectKind& aspect : kAspectTable) {
        auto orb = allowed_orb(*settings, body.name, natal.name, aspect);
        if (!orb) return unexpected(std::move(orb).error());
        if (!*orb) continue;
        for (double sign : {1.0, -1.0}) {
          if (sign < 0.0 && (aspect.angle == 0.0 || aspect.angle == 180.0)) continue;
          auto done = passes(body, natal.name, aspect, natal.longitude + sign * aspect.angle, **orb,
                             request.start, request.end, timeline.aspects);
          if (!done) return unexpected(std::move(done).error());
        }
      }
    }
  }
  const auto pass_start = [&](const AspectPass& p) { return p.enters.value_or(request.start); };
  std::stable_sort(timeline.aspects.begin(), timeline.aspects.end(),
                   [&](const AspectPass& a, const AspectPass& b) {
                     return pass_start(a) < pass_start(b);
                   });
  const auto by_time = [](const auto& a, const auto& b) { return a.jd < b.jd; };
  std::stable_sort(timeline.sign_ingresses.begin(), timeline.sign_ingresses.end(), by_time);
  std::stable_sort(timeline.house_ingresses.begin(), timeline.house_ingresses.end(), by_time);
  std::stable_sort(timeline.stations.begin(), timeline.stations.end(), by_time);
  return timeline;
}

void write(RecordWriter& out, const AspectPass& p) {
  const auto moment = [](const std::optional<double>& jd) {
    return jd ? std::optional<MomentRecord>(MomentRecord{*jd}) : std::nullopt;
  };
  ObjectWriter o(out);
  o.field("body", p.body)
      .field("natal", p.natal)
      .field("aspect_type", p.aspect->name)
      .field("symbol", p.aspect->symbol)
      .field("angle", p.aspect->angle)
      .field("target_longitude", p.target)
      .field("orb", p.orb)
      .field("enters", moment(p.enters));
  o.writer().key("exact");
  write_list(out, p.exact, [](RecordWriter& w, double jd) { write(w, MomentRecord{jd}); });
  o.field("leaves", moment(p.leaves));
}

void write(RecordWriter& out, const StationMoment& s) {
  ObjectWriter o(out);
  write_moment_fields(o, s.jd);
  o.field("body", s.body)
      .field("station", s.turns_retrograde ? "retrograde" : "direct")
      .field("longitude", s.longitude);
}

void write(RecordWriter& out, const TransitTimeline& timeline) {
  // An ingress is into a sign or a house, which the list it is in tells.
  const auto ingresses = [&out](const std::vector<Ingress>& list, bool houses) {
    write_list(out, list, [houses](RecordWriter& w, const Ingress& i) {
      ObjectWriter o(w);
      write_moment_fields(o, i.jd);
      o.field("body", i.body);
      if (houses) {
        o.field("house", i.index);
      } else {
        o.field("sign", kSigns[static_cast<size_t>(i.index)].name);
      }
      o.field("retrograde", i.retrograde);
    });
  };
  ObjectWriter o(out);
  o.field("start", MomentRecord{timeline.start})
      .field("end", MomentRecord{timeline.end})
      .field("aspects", timeline.aspects);
  o.writer().key("sign_ingresses");
  ingresses(timeline.sign_ingresses, false);
  o.writer().key("house_ingresses");
  ingresses(timeline.house_ingresses, true);
  o.field("stations", timeline.stations);
}

}  // namespace quorvane
