#include "quorvane/judgment.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "quorvane/dignities.hpp"
#include "quorvane/planets.hpp"
#include "quorvane/pyfloat.hpp"
#include "quorvane/zodiac.hpp"

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

const Placement* first_named(std::span<const Placement> placements, std::string_view name) {
  for (const Placement& p : placements) {
    if (p.name == name) return &p;
  }
  return nullptr;
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

Json optional_text(const std::optional<std::string_view>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json to_json(const Perfection& p) {
  Json out = Json::object();
  out["applying"] = p.applying;
  out["to"] = p.to;
  out["aspect"] = p.aspect;
  out["degrees"] = p.degrees;
  out["days"] = p.days;
  return out;
}

Json to_json(const Prohibition& p) {
  Json out = Json::object();
  out["by"] = p.by;
  out["significator"] = p.significator;
  out["aspect"] = p.aspect;
  out["days"] = p.days;
  return out;
}

Json to_json(const Refranation& r) {
  Json out = Json::object();
  out["planet"] = r.planet;
  out["aspect"] = r.aspect;
  out["days"] = r.days;
  return out;
}

Json to_json(const Translation& t) {
  Json out = Json::object();
  out["by"] = t.by;
  out["from"] = t.from;
  out["from_aspect"] = t.from_aspect;
  out["to"] = t.to;
  out["to_aspect"] = t.to_aspect;
  return out;
}

Json to_json(const Collection& c) {
  Json out = Json::object();
  out["by"] = c.by;
  out["querent_aspect"] = c.querent_aspect;
  out["quesited_aspect"] = c.quesited_aspect;
  return out;
}

template <class T>
Json optional_record(const std::optional<T>& value) {
  return value ? to_json(*value) : Json(nullptr);
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
  if (!j.quesited) return j;
  const Placement* quesited_place = first_named(input.placements, *j.quesited);
  const Placement* querent_place = first_named(input.placements, j.querent);
  if (!quesited_place || !querent_place) return j;
  const MovingBody quesited = body_of(*j.quesited, *quesited_place);
  const MovingBody querent = body_of(j.querent, *querent_place);

  if (quesited.name != "Moon") {
    if (const Placement* moon_place = first_named(input.placements, "Moon")) {
      const MovingBody moon = body_of("Moon", *moon_place);
      if (auto timing = next_aspect(moon, quesited)) {
        j.moon_perfection = perfection_of(moon, quesited, *timing);
      }
    }
  }
  if (j.same_significator) return j;

  if (input.receptions && input.receptions->is_array()) {
    for (const Json& r : *input.receptions) {
      if (!r.is_object()) continue;
      const auto planet = r.find("planet");
      const auto receiver = r.find("receiver");
      if (planet == r.end() || receiver == r.end() || !planet->is_string() ||
          !receiver->is_string()) {
        continue;
      }
      const std::string& a = planet->get_ref<const std::string&>();
      const std::string& b = receiver->get_ref<const std::string&>();
      if ((a == querent.name && b == quesited.name) || (a == quesited.name && b == querent.name)) {
        j.receptions.push_back(r);
      }
    }
  }

  if (auto timing = next_aspect(querent, quesited)) {
    j.perfection = perfection_of(querent, quesited, *timing);
  }

  std::vector<MovingBody> others;
  for (std::string_view name : kChaldeanOrder) {
    if (name == querent.name || name == quesited.name) continue;
    if (const Placement* p = first_named(input.placements, name)) others.push_back(body_of(name, *p));
  }

  if (!j.perfection) {
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
    return j;
  }

  const double days = j.perfection->days;
  std::optional<AspectTiming> earliest;
  for (const MovingBody& b : others) {
    for (const MovingBody* s : {&querent, &quesited}) {
      const auto timing = next_aspect(b, *s);
      if (!timing || !(timing->days < days)) continue;
      if (!earliest || timing->days < earliest->days) {
        earliest = timing;
        j.prohibition = Prohibition{b.name, s->name, timing->aspect, 0.0};
      }
    }
  }
  if (j.prohibition) j.prohibition->days = pyfloat::round(earliest->days, 2);

  const auto querent_turn = turn_of(kernels, input, querent, days);
  const auto quesited_turn = turn_of(kernels, input, quesited, days);
  const bool quesited_first = quesited_turn && (!querent_turn || *quesited_turn < *querent_turn);
  if (querent_turn || quesited_turn) {
    j.refranation = Refranation{quesited_first ? quesited.name : querent.name,
                                j.perfection->aspect,
                                pyfloat::round(quesited_first ? *quesited_turn : *querent_turn, 1)};
  }
  return j;
}

Json to_json(const Judgment& j) {
  Json out = Json::object();
  out["quesited_house"] = j.quesited_house ? Json(*j.quesited_house) : Json(nullptr);
  out["querent"] = j.querent;
  out["co_significator"] = j.co_significator;
  out["quesited"] = optional_text(j.quesited);
  out["same_significator"] = j.same_significator;
  out["perfection"] = optional_record(j.perfection);
  out["moon_perfection"] = optional_record(j.moon_perfection);
  out["prohibition"] = optional_record(j.prohibition);
  out["refranation"] = optional_record(j.refranation);
  Json translation = Json::array();
  for (const Translation& t : j.translation) translation.push_back(to_json(t));
  out["translation"] = std::move(translation);
  Json collection = Json::array();
  for (const Collection& c : j.collection) collection.push_back(to_json(c));
  out["collection"] = std::move(collection);
  out["receptions"] = j.receptions;
  return out;
}

}  // namespace quorvane
