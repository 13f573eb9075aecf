#include "quorvane/events/local_eclipse.hpp"

#include <cmath>

#include "quorvane/astronomy/almanac.hpp"
#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/base/root_search.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/events/eclipses.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/time/moment_record.hpp"

namespace quorvane {
namespace {

constexpr double kSunRadiusKm = 696000.0;
constexpr double kMoonRadiusKm = 1737.4;
constexpr double kTolerance = 2e-6;  // days
constexpr double kReach = 0.25;      // days either side of greatest eclipse searched

struct Disc {
  double separation;  // radians
  double sun;         // apparent radii, radians
  double moon;
  double sun_altitude;  // degrees
};

Expected<Disc, EngineError> disc(const KernelSet& kernels, const SurfaceObserver& place, double jd) {
  auto chosen = choose_kernel(kernels, jd);
  if (!chosen) return unexpected(chosen.error());
  const Time time = Time::from_ut1(jd);
  const Orientation orientation = orientation_2000b(time);
  const Mat3 to_fixed = orientation.to_earth_fixed();
  auto site = on_earth(**chosen, time, transpose(to_fixed), place.position, place.velocity);
  if (!site) return unexpected(EngineError::spk(site.error()));
  const ApparentSky sky{*chosen, time, orientation, *site};
  auto sun = sky.gcrs(10);
  if (!sun) return unexpected(EngineError::spk(sun.error()));
  auto moon = sky.gcrs(301);
  if (!moon) return unexpected(EngineError::spk(moon.error()));
  const Vec3& s = *sun;
  const Vec3& m = *moon;
  const Vec3 cross{s[1] * m[2] - s[2] * m[1], s[2] * m[0] - s[0] * m[2], s[0] * m[1] - s[1] * m[0]};
  const Vec3 local = to_fixed * s;
  const double up = dot(place.up, local);
  return Disc{std::atan2(length(cross), dot(s, m)), std::asin(kSunRadiusKm / (kAuKm * length(s))),
              std::asin(kMoonRadiusKm / (kAuKm * length(m))),
              std::asin(up / length(local)) * kDegreesPerRadian};
}

// The area of the Sun's disc the Moon's covers, as a fraction.
double covered(const Disc& d) {
  const double r = d.sun, R = d.moon, x = d.separation;
  if (x >= r + R) return 0.0;
  if (x <= std::fabs(R - r)) return R >= r ? 1.0 : (R * R) / (r * r);
  const double a = r * r * std::acos((x * x + r * r - R * R) / (2.0 * x * r));
  const double b = R * R * std::acos((x * x + R * R - r * r) / (2.0 * x * R));
  const double c = 0.5 * std::sqrt((-x + r + R) * (x + r - R) * (x - r + R) * (x + r + R));
  return (a + b - c) / (kPi * r * r);
}

}  // namespace

Expected<LocalEclipse, EngineError> local_solar_eclipse(const KernelSet& kernels, double jd,
                                                        double latitude, double longitude,
                                                        double height) {
  auto found = eclipses(kernels, jd - 20.0, jd + 20.0, true, false);
  if (!found) return unexpected(std::move(found).error());
  if (found->empty()) return unexpected(EngineError::invalid_input("no solar eclipse within 20 days"));
  const SkyEvent* nearest = &found->front();
  for (const SkyEvent& e : *found) {
    if (std::fabs(e.jd - jd) < std::fabs(nearest->jd - jd)) nearest = &e;
  }
  SurfaceObserver place = SurfaceObserver::at(latitude, longitude);
  const double lift = height / (kAuKm * 1000.0);
  place.position = place.position + lift * place.up;
  place.velocity = {-kTwoPi * 1.00273781191135448 * place.position[1],
                    kTwoPi * 1.00273781191135448 * place.position[0], 0.0};
  const auto read = [&](double t) { return disc(kernels, place, t); };

  LocalEclipse out;
  out.eclipse_jd = nearest->jd;
  for (const EventDetail& d : nearest->details) {
    if (d.key == "type") out.eclipse_type = std::get<std::string>(d.value);
  }
  out.local_type = "none";
  const auto separation_slope = [&](double t) -> Expected<double, EngineError> {
    auto hi = read(t + 1e-4);
    if (!hi) return unexpected(std::move(hi).error());
    auto lo = read(t - 1e-4);
    if (!lo) return unexpected(std::move(lo).error());
    return hi->separation - lo->separation;
  };
  const double a = nearest->jd - kReach, b = nearest->jd + kReach;
  auto sa = separation_slope(a);
  if (!sa) return unexpected(std::move(sa).error());
  auto sb = separation_slope(b);
  if (!sb) return unexpected(std::move(sb).error());
  if ((*sa > 0.0) == (*sb > 0.0)) return out;  // no least separation near the eclipse
  auto best = bracketed_root(separation_slope, a, *sa, b, *sb, kTolerance);
  if (!best) return unexpected(std::move(best).error());
  auto at_best = read(*best);
  if (!at_best) return unexpected(std::move(at_best).error());
  if (at_best->separation >= at_best->sun + at_best->moon) return out;

  out.seen = true;
  out.maximum = LocalPhase{*best, at_best->sun_altitude};
  out.magnitude = (at_best->sun + at_best->moon - at_best->separation) / (2.0 * at_best->sun);
  out.obscuration = covered(*at_best);
  out.local_type = "partial";
  const auto contact = [&](bool outer, double from, double to) -> Expected<LocalPhase, EngineError> {
    const auto gap = [&](double t) -> Expected<double, EngineError> {
      auto d = read(t);
      if (!d) return unexpected(std::move(d).error());
      return d->separation - (outer ? d->sun + d->moon : std::fabs(d->sun - d->moon));
    };
    auto fa = gap(from);
    if (!fa) return unexpected(std::move(fa).error());
    auto fb = gap(to);
    if (!fb) return unexpected(std::move(fb).error());
    auto t = bracketed_root(gap, from, *fa, to, *fb, kTolerance);
    if (!t) return unexpected(std::move(t).error());
    auto d = read(*t);
    if (!d) return unexpected(std::move(d).error());
    return LocalPhase{*t, d->sun_altitude};
  };
  for (auto [slot, outer, from, to] :
       {std::tuple{&out.c1, true, *best - kReach, *best}, std::tuple{&out.c4, true, *best, *best + kReach}}) {
    auto c = contact(outer, from, to);
    if (!c) return unexpected(std::move(c).error());
    *slot = *c;
  }
  if (at_best->separation < std::fabs(at_best->sun - at_best->moon)) {
    out.local_type = at_best->moon > at_best->sun ? "total" : "annular";
    for (auto [slot, from, to] : {std::tuple{&out.c2, out.c1->jd, *best}, std::tuple{&out.c3, *best, out.c4->jd}}) {
      auto c = contact(false, from, to);
      if (!c) return unexpected(std::move(c).error());
      *slot = *c;
    }
  }
  // Seen when the Sun is up at some moment of the eclipse; it is enough to
  // ask at the contacts and the maximum, with rising or setting between.
  out.visible = out.c1->sun_altitude > 0.0 || out.maximum->sun_altitude > 0.0 ||
                out.c4->sun_altitude > 0.0;
  return out;
}

void write(RecordWriter& out, const LocalEclipse& e) {
  const auto phase = [](const std::optional<LocalPhase>& p, RecordWriter& w) {
    if (!p) {
      write_value(w, std::optional<double>());
      return;
    }
    ObjectWriter o(w);
    write_moment_fields(o, p->jd);
    o.field("sun_altitude", p->sun_altitude);
  };
  ObjectWriter o(out);
  o.field("eclipse", MomentRecord{e.eclipse_jd})
      .field("eclipse_type", e.eclipse_type)
      .field("seen", e.seen)
      .field("visible", e.visible)
      .field("local_type", e.local_type)
      .field("magnitude", e.magnitude)
      .field("obscuration", e.obscuration);
  for (auto [name, p] : {std::pair{"C1", &e.c1}, std::pair{"C2", &e.c2}, std::pair{"maximum", &e.maximum},
                         std::pair{"C3", &e.c3}, std::pair{"C4", &e.c4}}) {
    o.writer().key(name);
    phase(*p, o.writer());
  }
}

}  // namespace quorvane
