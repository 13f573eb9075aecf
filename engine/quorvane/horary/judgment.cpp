#include "quorvane/horary/judgment.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "quorvane/astronomy/planets.hpp"
#include "quorvane/base/pyfloat.hpp"
#include "quorvane/traditional/dignities.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

struct TargetAngle {
  double angle;
  std::string_view name;
};

// Both sides of each aspect; on equal times the earlier entry wins.
constexpr TargetAngle kTargets[] = {
    {0.0, "Conjunction"}, {60.0, "Sextile"},   {-60.0, "Sextile"},
    {90.0, "Square"},     {-90.0, "Square"},   {120.0, "Trine"},
    {-120.0, "Trine"},    {180.0, "Opposition"}, {-180.0, "Opposition"},
};

// Below this relative speed two bodies are taken to keep their distance.
constexpr double kStill = 1e-9;
// The refranation scan looks no further ahead than this, in days.
constexpr double kLongestScan = 400.0;

// Days until a body leaves its sign at its present speed.
double days_left_in_sign(double longitude, double speed) {
  double r = std::fmod(longitude, 30.0);
  if (r < 0.0) r += 30.0;
  if (r >= 30.0) r = 0.0;  // a tiny negative remainder lifted onto 30
  if (speed > 0.0) return (30.0 - r) / speed;
  if (speed < 0.0) return r / -speed;
  return std::numeric_limits<double>::infinity();
}

MovingBody body_of(std::string_view name, const Placement& p) {
  return {name, p.ecliptic_longitude, p.speed};
}

// The faster body applies; on equal speeds the first named one does.
Perfection perfection_of(const MovingBody& first, const MovingBody& second,
                         const AspectTiming& timing) {
  const bool second_faster = std::fabs(second.speed) > std::fabs(first.speed);
  return {second_faster ? second.name : first.name, second_faster ? first.name : second.name,
          timing.aspect, pyfloat::round(timing.degrees, 2), pyfloat::round(timing.days, 2)};
}

std::optional<double> turn_of(const KernelSet& kernels, const JudgmentInput& input,
                              const MovingBody& significator, double days) {
  if (significator.name == "Sun" || significator.name == "Moon") return std::nullopt;
  if (!(days > 0.0)) return std::nullopt;
  const std::string_view name = significator.name;
  const SpeedAt speed_at = [&](double jd) -> std::optional<double> {
    auto sky = planets_and_sidereal_time(kernels, jd, input.ayanamsa);
    if (!sky) return std::nullopt;
    for (const BodyPosition& body : sky->bodies) {
      if (body.name == name) return body.speed;
    }
    return std::nullopt;
  };
  return station_within(speed_at, input.jd, significator.speed, days);
}

// The lord of the Ascendant for the querent, the lord of the quesited
// house's cusp for the matter.
Judgment significators(const JudgmentInput& input) {
  Judgment j;
  j.quesited_house = input.quesited_house;
  j.querent = traditional_ruler(input.ascendant_sign).value_or("Mars");
  if (input.quesited_house) {
    const size_t h = *input.quesited_house;
    if (h >= 1 && h <= 12 && h <= input.cusp_signs.size()) {
      j.quesited = traditional_ruler(input.cusp_signs[h - 1]);
    }
  }
  j.same_significator = j.quesited && *j.quesited == j.querent;
  return j;
}

// The Moon, co-significator of the querent, applying to the quesited.
std::optional<Perfection> moon_perfection(std::span<const Placement> placements,
                                          const MovingBody& quesited) {
  if (quesited.name == "Moon") return std::nullopt;
  const Placement* moon_place = first_named(placements, "Moon");
  if (!moon_place) return std::nullopt;
  const MovingBody moon = body_of("Moon", *moon_place);
  const auto timing = next_aspect(moon, quesited);
  if (!timing) return std::nullopt;
  return perfection_of(moon, quesited, *timing);
}

std::vector<Reception> receptions_between(std::span<const Reception> receptions,
                                          std::string_view a, std::string_view b) {
  std::vector<Reception> joining;
  for (const Reception& r : receptions) {
    if ((r.planet == a && r.receiver == b) || (r.planet == b && r.receiver == a)) {
      joining.push_back(r);
    }
  }
  return joining;
}

// The traditional planets besides the two significators, in Chaldean order.
std::vector<MovingBody> other_planets(std::span<const Placement> placements,
                                      const MovingBody& querent, const MovingBody& quesited) {
  std::vector<MovingBody> others;
  for (std::string_view name : kChaldeanOrder) {
    if (name == querent.name || name == quesited.name) continue;
    if (const Placement* p = first_named(placements, name)) others.push_back(body_of(name, *p));
  }
  return others;
}

// Without perfection: a faster planet translating the light of one
// significator to the other, or a slower one collecting both.
void light_carried(const MovingBody& querent, const MovingBody& quesited,
                   std::span<const MovingBody> others, Judgment& j) {
  const double fastest = std::max(std::fabs(querent.speed), std::fabs(quesited.speed));
  const double slowest = std::min(std::fabs(querent.speed), std::fabs(quesited.speed));
  for (const MovingBody& b : others) {
    const double speed = std::fabs(b.speed);
    if (speed > fastest) {
      const auto left_querent = last_aspect(b, querent);
      const auto to_quesited = next_aspect(b, quesited);
      if (left_querent && to_quesited) {
        j.translation.push_back(
            {b.name, querent.name, left_querent->aspect, quesited.name, to_quesited->aspect});
      }
      const auto left_quesited = last_aspect(b, quesited);
      const auto to_querent = next_aspect(b, querent);
      if (left_quesited && to_querent) {
        j.translation.push_back(
            {b.name, quesited.name, left_quesited->aspect, querent.name, to_querent->aspect});
      }
    } else if (speed < slowest) {
      const auto from_querent = next_aspect(querent, b);
      const auto from_quesited = next_aspect(quesited, b);
      if (from_querent && from_quesited) {
        j.collection.push_back({b.name, from_querent->aspect, from_quesited->aspect});
      }
    }
  }
}

// The earliest aspect another planet perfects with either significator
// before the significators perfect (`days` from now).
std::optional<Prohibition> prohibition(const MovingBody& querent, const MovingBody& quesited,
                                       std::span<const MovingBody> others, double days) {
  std::optional<Prohibition> found;
  std::optional<AspectTiming> earliest;
  for (const MovingBody& b : others) {
    for (const MovingBody* s : {&querent, &quesited}) {
      const auto timing = next_aspect(b, *s);
      if (!timing || !(timing->days < days)) continue;
      if (!earliest || timing->days < earliest->days) {
        earliest = timing;
        found = Prohibition{b.name, s->name, timing->aspect, 0.0};
      }
    }
  }
  if (found) found->days = pyfloat::round(earliest->days, 2);
  return found;
}

// A significator turning direction before the perfection; the earlier turn
// wins, the querent's on a tie.
std::optional<Refranation> refranation(const KernelSet& kernels, const JudgmentInput& input,
                                       const MovingBody& querent, const MovingBody& quesited,
                                       const Perfection& perfection) {
  const auto querent_turn = turn_of(kernels, input, querent, perfection.days);
  const auto quesited_turn = turn_of(kernels, input, quesited, perfection.days);
  if (!querent_turn && !quesited_turn) return std::nullopt;
  const bool quesited_first = quesited_turn && (!querent_turn || *quesited_turn < *querent_turn);
  return Refranation{quesited_first ? quesited.name : querent.name, perfection.aspect,
                     pyfloat::round(quesited_first ? *quesited_turn : *querent_turn, 1)};
}

}  // namespace

std::optional<AspectTiming> next_aspect(const MovingBody& x, const MovingBody& y) {
  const double c = x.speed - y.speed;
  if (!(std::fabs(c) >= kStill)) return std::nullopt;  // NaN included
  const double limit = std::min(days_left_in_sign(x.longitude, x.speed),
                                days_left_in_sign(y.longitude, y.speed));
  const double gap = x.longitude - y.longitude;
  const double direction = std::signbit(c) ? -1.0 : 1.0;
  const double rate = std::fabs(c);
  std::optional<AspectTiming> best;
  for (const TargetAngle& target : kTargets) {
    const double t = normalize_degrees((target.angle - gap) * direction) / rate;
    if (t > kStill && t < limit && (!best || t < best->days)) {
      best = AspectTiming{target.name, t, rate * t};
    }
  }
  return best;
}

std::optional<AspectTiming> last_aspect(const MovingBody& x, const MovingBody& y) {
  return next_aspect({x.name, x.longitude, -x.speed}, {y.name, y.longitude, -y.speed});
}

std::vector<std::string_view> cusp_signs(std::span<const double> cusps) {
  std::vector<std::string_view> names;
  names.reserve(cusps.size());
  for (double cusp : cusps) {
    const double l = normalize_degrees(cusp);
    const int index = std::isfinite(l) ? static_cast<int>(std::floor(l / 30.0)) % 12 : 0;
    names.push_back(kSigns[static_cast<size_t>(index)].name);
  }
  return names;
}

std::optional<double> station_within(const SpeedAt& speed_at, double jd, double speed, double days) {
  const double span = std::min(days, kLongestScan);
  const double step = std::min(std::max(span / 60.0, 0.25), 5.0);
  double t = 0.0;
  bool backwards = std::signbit(speed);
  while (t < span) {
    t = std::min(t + step, span);
    const std::optional<double> now = speed_at(jd + t);
    if (!now) return std::nullopt;
    if (std::signbit(*now) != backwards) return t;
    backwards = std::signbit(*now);
  }
  return std::nullopt;
}

Judgment judge(const KernelSet& kernels, const JudgmentInput& input) {
  Judgment j = significators(input);
  if (!j.quesited) return j;
  const Placement* quesited_place = first_named(input.placements, *j.quesited);
  const Placement* querent_place = first_named(input.placements, j.querent);
  if (!quesited_place || !querent_place) return j;
  const MovingBody quesited = body_of(*j.quesited, *quesited_place);
  const MovingBody querent = body_of(j.querent, *querent_place);

  j.moon_perfection = moon_perfection(input.placements, quesited);
  if (j.same_significator) return j;
  j.receptions = receptions_between(input.receptions, querent.name, quesited.name);
  if (auto timing = next_aspect(querent, quesited)) {
    j.perfection = perfection_of(querent, quesited, *timing);
  }
  const std::vector<MovingBody> others = other_planets(input.placements, querent, quesited);
  if (!j.perfection) {
    light_carried(querent, quesited, others, j);
    return j;
  }
  j.prohibition = prohibition(querent, quesited, others, j.perfection->days);
  j.refranation = refranation(kernels, input, querent, quesited, *j.perfection);
  return j;
}

void write(RecordWriter& out, const Perfection& p) {
  ObjectWriter(out)
      .field("applying", p.applying)
      .field("to", p.to)
      .field("aspect", p.aspect)
      .field("degrees", p.degrees)
      .field("days", p.days);
}

void write(RecordWriter& out, const Prohibition& p) {
  ObjectWriter(out)
      .field("by", p.by)
      .field("significator", p.significator)
      .field("aspect", p.aspect)
      .field("days", p.days);
}

void write(RecordWriter& out, const Refranation& r) {
  ObjectWriter(out).field("planet", r.planet).field("aspect", r.aspect).field("days", r.days);
}

void write(RecordWriter& out, const Translation& t) {
  ObjectWriter(out)
      .field("by", t.by)
      .field("from", t.from)
      .field("from_aspect", t.from_aspect)
      .field("to", t.to)
      .field("to_aspect", t.to_aspect);
}

void write(RecordWriter& out, const Collection& c) {
  ObjectWriter(out)
      .field("by", c.by)
      .field("querent_aspect", c.querent_aspect)
      .field("quesited_aspect", c.quesited_aspect);
}

void write(RecordWriter& out, const Judgment& j) {
  ObjectWriter(out)
      .field("quesited_house", j.quesited_house)
      .field("querent", j.querent)
      .field("co_significator", j.co_significator)
      .field("quesited", j.quesited)
      .field("same_significator", j.same_significator)
      .field("perfection", j.perfection)
      .field("moon_perfection", j.moon_perfection)
      .field("prohibition", j.prohibition)
      .field("refranation", j.refranation)
      .field("translation", j.translation)
      .field("collection", j.collection)
      .field("receptions", j.receptions);
}

}  // namespace quorvane
