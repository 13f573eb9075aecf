#include "quorvane/events/void_of_course.hpp"

#include <algorithm>
#include <string>

#include "quorvane/events/pair_track.hpp"
#include "quorvane/zodiac/orb_settings.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// The Moon stays at most about 2.7 days in a sign: looking this far back
// finds the aspect or ingress that opens the first period.
constexpr double kLookBack = 3.5;

struct AspectMoment {
  double jd;
  const BodyTrack* body;
  const AspectKind* aspect;
};

}  // namespace

Expected<std::vector<SkyEvent>, EngineError> void_of_course(const BodyTrack& moon,
                                                            const std::vector<const BodyTrack*>& counted,
                                                            double from, double to) {
  const double early = from - kLookBack;
  std::vector<AspectMoment> hits;
  for (const BodyTrack* body : counted) {
    const PairTrack pair = pair_track(moon, *body, early, to);
    for (const AspectKind& aspect : kAspectTable) {
      if (!aspect.major) continue;
      for (double sign : {1.0, -1.0}) {
        if (sign < 0.0 && (aspect.angle == 0.0 || aspect.angle == 180.0)) continue;
        auto found = pair_crossings(pair, sign * aspect.angle, early, to, false);
        if (!found) return unexpected(std::move(found).error());
        for (const Crossing& c : *found) hits.push_back({c.jd, body, &aspect});
      }
    }
  }
  std::sort(hits.begin(), hits.end(),
            [](const AspectMoment& a, const AspectMoment& b) { return a.jd < b.jd; });

  std::vector<double> signs;
  for (int i = 0; i < 12; ++i) signs.push_back(30.0 * i);
  std::vector<Ingress> ingresses;
  auto done = boundary_ingresses(moon, signs, false, early, to, ingresses);
  if (!done) return unexpected(std::move(done).error());
  std::sort(ingresses.begin(), ingresses.end(),
            [](const Ingress& a, const Ingress& b) { return a.jd < b.jd; });

  std::vector<SkyEvent> out;
  for (size_t k = 1; k < ingresses.size(); ++k) {
    const Ingress& entered = ingresses[k - 1];
    const Ingress& leaves = ingresses[k];
    if (leaves.jd < from) continue;
    // The last aspect inside the stay in the sign.
    const auto after = std::lower_bound(hits.begin(), hits.end(), leaves.jd,
                                        [](const AspectMoment& h, double jd) { return h.jd < jd; });
    const AspectMoment* last = nullptr;
    if (after != hits.begin() && (after - 1)->jd >= entered.jd) last = &*(after - 1);
    SkyEvent e;
    e.group = "void_of_course";
    e.kind = "void_of_course";
    e.bodies = {"Moon"};
    e.jd = last ? last->jd : entered.jd;
    e.end = leaves.jd;
    e.longitudes = {normalize_degrees(moon.track->at(e.jd))};
    e.detail("sign", std::string(kSigns[static_cast<size_t>(entered.index)].name))
        .detail("next_sign", std::string(kSigns[static_cast<size_t>(leaves.index)].name));
    if (last) {
      e.detail("last_aspect", std::string(last->aspect->name)).detail("last_aspect_body", last->body->name);
    }
    out.push_back(std::move(e));
  }
  return out;
}

}  // namespace quorvane
