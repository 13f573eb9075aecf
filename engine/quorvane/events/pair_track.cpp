#include "quorvane/events/pair_track.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr int32_t kSunCode = 10;
// Within this distance of the Sun (degrees) a daily track does not follow
// the deflection of light closely enough; see body_tracks.cpp.
constexpr double kGlareDegrees = 4.0;

bool in_glare(const PairTrack& pair, double t) {
  const SampledTrack* sun = pair.a->sun ? pair.a->sun : pair.b->sun;
  if (!sun) return false;
  for (const BodyTrack* body : {pair.a, pair.b}) {
    if (body->code == kSunCode) continue;
    if (std::fabs(signed_difference(normalize_degrees(body->track->at(t)),
                                    normalize_degrees(sun->at(t)))) < kGlareDegrees) {
      return true;
    }
  }
  return false;
}

}  // namespace

PairTrack pair_track(const BodyTrack& a, const BodyTrack& b, double from, double to) {
  const double step = std::min(sampling_step(a.code), sampling_step(b.code));
  const double first = from - SampledTrack::kStencil * step;
  const auto count = static_cast<size_t>(std::ceil((to - first) / step)) + SampledTrack::kStencil + 1;
  std::vector<double> values(count);
  for (size_t i = 0; i < count; ++i) {
    const double t = first + step * static_cast<double>(i);
    values[i] = a.track->at(t) - b.track->at(t);
  }
  PairTrack pair{&a, &b, SampledTrack(first, step, values), {}};
  pair.stations = pair.difference.stations(from, to);
  return pair;
}

Expected<std::vector<Crossing>, EngineError> pair_crossings(const PairTrack& pair, double target,
                                                            double from, double to, bool exact) {
  std::vector<Crossing> found = pair.difference.crossings(target, from, to, pair.stations);
  for (Crossing& c : found) {
    if (!exact && !in_glare(pair, c.jd)) continue;
    const double speed = pair.difference.speed(c.jd);
    if (std::fabs(speed) < 1e-3) continue;
    const std::array<int32_t, 2> codes{pair.a->code, pair.b->code};
    for (int step = 0; step < 2; ++step) {
      std::array<double, 2> longitudes{};
      auto done = pair.a->source->longitudes(codes, c.jd, longitudes);
      if (!done) return unexpected(std::move(done).error());
      c.jd -= signed_difference(longitudes[0] - longitudes[1], target) / speed;
    }
    c.jd = std::clamp(c.jd, from, to);
  }
  return found;
}

}  // namespace quorvane
