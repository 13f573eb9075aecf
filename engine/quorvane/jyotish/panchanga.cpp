#include "quorvane/jyotish/panchanga.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "quorvane/astronomy/almanac.hpp"
#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/base/root_search.hpp"
#include "quorvane/jyotish/nakshatras.hpp"
#include "quorvane/time/julian_day.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane::jyotish {
namespace {

constexpr int32_t kSunCode = 10;
constexpr int32_t kMoonCode = 301;
constexpr double kEndTolerance = 1e-7;  // days, under a hundredth of a second
constexpr double kScanStep = 0.1;       // days; no element moves faster than 6° a day
constexpr double kScanLimit = 3.0;      // days; the longest (a tithi) lasts under 1.1

double tt_of_ut(double jd) {
  const Time t = Time::from_ut1(jd);
  return t.whole + t.tt_fraction;
}

double ut_of_tt(double tt) { return tt - delta_t().at(tt) / 86400.0; }

struct SunMoon {
  double sun = 0.0;
  double moon = 0.0;
};

// The three quantities the elements count, in degrees.
double elongation(const SunMoon& x) { return reduced_degrees(x.moon - x.sun); }
double yoga_sum(const SunMoon& x) { return reduced_degrees(x.moon + x.sun); }
double moon_place(const SunMoon& x) { return x.moon; }

// The moment after `jd` at which `quantity` (always increasing) reaches
// `boundary`, by scanning for the crossing and closing the bracket.
template <class Quantity>
Expected<double, EngineError> crossing(const LongitudeSource& source, double jd, double boundary,
                                       Quantity quantity) {
  const int32_t codes[2] = {kSunCode, kMoonCode};
  auto distance = [&](double t) -> Expected<double, EngineError> {
    double values[2];
    auto ok = source.longitudes(codes, t, values);
    if (!ok) return unexpected(std::move(ok).error());
    return signed_difference(quantity(SunMoon{values[0], values[1]}), boundary);
  };
  auto before = distance(jd);
  if (!before) return before;
  double a = jd, fa = *before;
  for (double b = jd + kScanStep; b <= jd + kScanLimit; b += kScanStep) {
    auto fb = distance(b);
    if (!fb) return fb;
    if (fa < 0.0 && *fb >= 0.0) return bracketed_root(distance, a, fa, b, *fb, kEndTolerance);
    a = b;
    fa = *fb;
  }
  return unexpected(EngineError::invalid_input("no panchanga boundary within three days"));
}

// The risings and settings around `jd` by the convention, as UT Julian days.
Expected<std::vector<Transition>, EngineError> sun_transitions(const KernelSet& kernels, double jd,
                                                               double latitude, double longitude,
                                                               const SunriseConvention& convention) {
  auto kernel = choose_kernel(kernels, jd);
  if (!kernel) return unexpected(std::move(kernel).error());
  const SurfaceObserver observer = SurfaceObserver::at(latitude, longitude);
  const Kernel& k = **kernel;
  auto transitions = find_transitions(
      tt_of_ut(jd - 1.5), tt_of_ut(jd + 1.5), [&](double tt) -> Expected<bool, SpkError> {
        auto altitude = sun_altitude(k, observer, tt);
        if (!altitude) return unexpected(std::move(altitude).error());
        return *altitude >= convention.altitude;
      });
  if (!transitions) return unexpected(EngineError::spk(std::move(transitions).error()));
  for (Transition& t : *transitions) t.tt = ut_of_tt(t.tt);
  return std::move(*transitions);
}

// Sunday = 0 for the civil date at local mean time of UT Julian day `jd`.
int weekday(double jd, double longitude) {
  const double day = std::floor(jd + 0.5 + longitude / 360.0);
  return static_cast<int>(std::fmod(day + 1.0, 7.0));
}

// The Hindu day holding `jd`: the last rising at or before it, the setting
// after that and the next rising; the Sun's state at `jd` too.
Expected<Ok, EngineError> hindu_day(const KernelSet& kernels, double jd, double latitude,
                                    double longitude, const SunriseConvention& convention,
                                    Panchanga* out) {
  auto transitions = sun_transitions(kernels, jd, latitude, longitude, convention);
  if (!transitions) return unexpected(std::move(transitions).error());
  std::optional<double> last_change_up;
  for (const Transition& t : *transitions) {
    if (t.tt <= jd) last_change_up = t.up ? 1.0 : 0.0;
    if (t.up && t.tt <= jd) out->sunrise = t.tt;
  }
  for (const Transition& t : *transitions) {
    if (out->sunrise && t.tt > *out->sunrise && !t.up && !out->sunset) out->sunset = t.tt;
    if (out->sunrise && t.tt > jd && t.up && !out->next_sunrise) out->next_sunrise = t.tt;
  }
  if (!out->sunrise || !out->sunset || !out->next_sunrise) {
    out->sunrise = out->sunset = out->next_sunrise = std::nullopt;
    out->vara = weekday(jd, longitude);
  } else {
    out->vara = weekday(*out->sunrise, longitude);
  }
  if (last_change_up) {
    out->day = *last_change_up == 1.0;
  } else {
    auto up = sun_is_up_at(kernels, jd, latitude, longitude);
    if (!up) return unexpected(std::move(up).error());
    out->day = *up;
  }
  return Ok{};
}

}  // namespace

std::string_view karana_name(int number) {
  if (number <= 1) return "Kimstughna";
  if (number <= 57) return kMovableKaranas[static_cast<size_t>((number - 2) % 7)];
  static constexpr std::array<std::string_view, 3> kLast{"Shakuni", "Chatushpada", "Naga"};
  return kLast[static_cast<size_t>(std::min(number, 60) - 58)];
}

std::optional<SunriseConvention> sunrise_convention(std::string_view name) {
  for (const SunriseConvention& c : kSunriseConventions) {
    if (c.name == name) return c;
  }
  return std::nullopt;
}

Expected<Panchanga, EngineError> panchanga(const KernelSet& kernels, double jd, double latitude,
                                           double longitude, std::string_view ayanamsa,
                                           const SunriseConvention& convention) {
  const LongitudeSource source(kernels, ZodiacChoice::from_texts("sidereal", ayanamsa));
  const int32_t codes[2] = {kSunCode, kMoonCode};
  double values[2];
  auto ok = source.longitudes(codes, jd, values);
  if (!ok) return unexpected(std::move(ok).error());
  const SunMoon now{values[0], values[1]};

  Panchanga p;
  const double e = elongation(now);
  p.tithi.number = std::min(30, static_cast<int>(std::floor(e / 12.0)) + 1);
  p.tithi.name = p.tithi.number == 30 ? kNewMoonTithi
                                      : kTithiNames[static_cast<size_t>((p.tithi.number - 1) % 15)];
  p.paksha = p.tithi.number <= 15 ? "shukla" : "krishna";
  p.karana.number = std::min(60, static_cast<int>(std::floor(e / 6.0)) + 1);
  p.karana.name = karana_name(p.karana.number);
  const NakshatraPlace moon = nakshatra_of(now.moon);
  p.nakshatra = {moon.index + 1, moon.name, 0.0};
  p.nakshatra_pada = moon.pada;
  p.nakshatra_lord = moon.lord;
  const NakshatraPlace yoga = nakshatra_of(yoga_sum(now));
  p.yoga = {yoga.index + 1, kYogaNames[yoga.index], 0.0};
  p.sunrise_convention = convention.name;

  struct Search {
    Element* element;
    double boundary;
    double (*quantity)(const SunMoon&);
  };
  const Search searches[] = {
      {&p.tithi, 12.0 * p.tithi.number, elongation},
      {&p.karana, 6.0 * p.karana.number, elongation},
      {&p.nakshatra, kNakshatraSpan * p.nakshatra.number, moon_place},
      {&p.yoga, kNakshatraSpan * p.yoga.number, yoga_sum},
  };
  for (const Search& s : searches) {
    auto end = crossing(source, jd, reduced_degrees(s.boundary), s.quantity);
    if (!end) return unexpected(std::move(end).error());
    s.element->end = *end;
  }
  auto day = hindu_day(kernels, jd, latitude, longitude, convention, &p);
  if (!day) return unexpected(std::move(day).error());
  return p;
}

namespace {

void write_element(ObjectWriter& o, const Element& e) {
  o.field("number", e.number).field("name", e.name);
  o.field("end", instant_from_julian_day(e.end).isoformat()).field("end_julian_day", e.end);
}

std::optional<std::string> iso(std::optional<double> jd) {
  if (!jd) return std::nullopt;
  return instant_from_julian_day(*jd).isoformat();
}

}  // namespace

void write(RecordWriter& out, const Panchanga& p) {
  ObjectWriter o(out);
  o.writer().key("tithi");
  {
    ObjectWriter t(out);
    write_element(t, p.tithi);
    t.field("paksha", p.paksha);
  }
  o.writer().key("vara");
  {
    ObjectWriter v(out);
    v.field("number", p.vara + 1)
        .field("name", kVaraNames[static_cast<size_t>(p.vara)])
        .field("lord", kVaraLords[static_cast<size_t>(p.vara)]);
  }
  o.writer().key("nakshatra");
  {
    ObjectWriter n(out);
    write_element(n, p.nakshatra);
    n.field("pada", p.nakshatra_pada).field("lord", p.nakshatra_lord);
  }
  o.writer().key("yoga");
  {
    ObjectWriter y(out);
    write_element(y, p.yoga);
  }
  o.writer().key("karana");
  {
    ObjectWriter k(out);
    write_element(k, p.karana);
  }
  o.field("sunrise_convention", p.sunrise_convention)
      .field("sunrise", iso(p.sunrise))
      .field("sunset", iso(p.sunset))
      .field("next_sunrise", iso(p.next_sunrise))
      .field("day", p.day);
}

}  // namespace quorvane::jyotish
