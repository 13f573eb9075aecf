#include "quorvane/predictive/body_tracks.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// Within this elongation (degrees) the deflection of light by the Sun
// changes faster than a daily track follows (up to arcseconds at the limb),
// so moments found there are made exact on the positions themselves.
constexpr double kGlareDegrees = 4.0;

// The moment of `crossing` of `value` made exact near the Sun; elsewhere
// the track's own moment is already far inside the tolerance.
Expected<double, EngineError> in_glare_exact(const BodyTrack& body, const Crossing& crossing,
                                             double value) {
  const double t = crossing.jd;
  if (!body.sun || std::fabs(signed_difference(normalize_degrees(body.sun->at(t)),
                                               normalize_degrees(body.track->at(t)))) > kGlareDegrees) {
    return t;
  }
  const auto offset = [&](double jd) -> Expected<double, EngineError> {
    auto longitude = body.source->longitude(body.code, jd);
    if (!longitude) return unexpected(std::move(longitude).error());
    return signed_difference(*longitude, normalize_degrees(value));
  };
  // The track is off by arcseconds at most, so two Newton steps at its
  // speed land far inside the tolerance.
  const double speed = body.track->speed(t);
  if (std::fabs(speed) < 1e-3) return t;
  double jd = t;
  for (int step = 0; step < 2; ++step) {
    auto off = offset(jd);
    if (!off) return unexpected(std::move(off).error());
    jd -= *off / speed;
  }
  return jd;
}

}  // namespace

Expected<std::vector<Crossing>, EngineError> track_crossings(const BodyTrack& body, double value,
                                                             double start, double end) {
  std::vector<Crossing> found = body.track->crossings(value, start, end, body.stations);
  for (Crossing& c : found) {
    auto exact = in_glare_exact(body, c, value);
    if (!exact) return unexpected(std::move(exact).error());
    c.jd = std::clamp(*exact, start, end);
  }
  return found;
}

Expected<std::vector<SampledTrack>, EngineError> sample_bodies(const LongitudeSource& source,
                                                               const std::vector<int32_t>& codes,
                                                               double from, double to,
                                                               std::vector<size_t>& slot) {
  std::map<double, std::vector<size_t>> groups;  // step -> indices into codes
  for (size_t i = 0; i < codes.size(); ++i) groups[sampling_step(codes[i])].push_back(i);
  std::vector<SampledTrack> out;
  slot.assign(codes.size(), 0);
  for (const auto& [step, members] : groups) {
    std::vector<int32_t> group_codes;
    for (size_t i : members) group_codes.push_back(codes[i]);
    auto tracks = sample_tracks(source, group_codes, from, to, step);
    if (!tracks) return unexpected(std::move(tracks).error());
    for (size_t k = 0; k < members.size(); ++k) {
      slot[members[k]] = out.size();
      out.push_back(std::move((*tracks)[k]));
    }
  }
  return out;
}

Expected<Ok, EngineError> boundary_ingresses(const BodyTrack& body, const std::vector<double>& boundaries,
                                    bool houses, double start, double end,
                                    std::vector<Ingress>& out) {
  const int n = static_cast<int>(boundaries.size());
  for (int i = 0; i < n; ++i) {
    auto found = track_crossings(body, boundaries[static_cast<size_t>(i)], start, end);
    if (!found) return unexpected(std::move(found).error());
    for (const Crossing& c : *found) {
      // Moving forward through boundary i enters region i; backward, the one before.
      const int region = c.direct ? i : (i + n - 1) % n;
      out.push_back({body.name, houses ? region + 1 : region, !c.direct, c.jd});
    }
  }
  return Ok{};
}


}  // namespace quorvane
