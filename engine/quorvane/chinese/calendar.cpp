#include "quorvane/chinese/calendar.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <utility>

#include "quorvane/astronomy/apparent_place.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/records/json_reader.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane::chinese {
namespace {


constexpr double kSunRate = 0.9856473590852142;     // degrees a day, 360 / tropical year
constexpr double kSunSlopeFloor = 0.24641183977130354;
constexpr double kElongationRate = 12.190749056850848;  // degrees a day, 360 / synodic month
constexpr double kElongationSlopeFloor = 3.047687264212712;
constexpr int kMaxSteps = 50;
constexpr double kTolerance = 1e-7;  // days

// 1929-01-01 00:00 China standard time as a UT Julian day.
constexpr double kChinaStandardFrom = 2425612.1666666665;
constexpr double kUtc8 = 1.0 / 3.0;
constexpr double kBeijingMeanTime = 0.32337962962962963;  // 7 h 45 min 40 s
constexpr int64_t kUnixEpochDay = 2440588;

constexpr std::array<std::string_view, 24> kTermNames = {
    "chunfen", "qingming", "guyu",     "lixia",   "xiaoman",  "mangzhong",
    "xiazhi",  "xiaoshu",  "dashu",    "liqiu",   "chushu",   "bailu",
    "qiufen",  "hanlu",    "shuangjiang", "lidong", "xiaoxue", "daxue",
    "dongzhi", "xiaohan",  "dahan",    "lichun",  "yushui",   "jingzhe"};

// x mod m, made non-negative.
double modulo(double x, double m) {
  const double r = std::fmod(x, m);
  return r < 0.0 ? r + m : r;
}

// A difference of angles wrapped into [-180, 180).
double wrapped(double degrees) { return modulo(degrees + 180.0, 360.0) - 180.0; }

// The geocentric sky of a UT Julian day, oriented by the IAU 2000B
// nutation, and the apparent place of the Sun (or another body) in it.
struct ApparentVector {
  Vec3 gcrs;
  Orientation orientation;
};

Expected<ApparentVector, EngineError> apparent_vector(const KernelSet& kernels, double jd,
                                                      int32_t body) {
  const Kernel* kernel = kernels.for_jd(jd);
  if (!kernel) return unexpected(EngineError::out_of_range(jd, kernels.coverage()));
  // Light time reaches back before the kernel's first minutes: that is the
  // same date outside the kernels as one a day earlier.
  const auto failed = [&](SpkError error) {
    if (std::holds_alternative<SpkNotCovered>(error.kind)) {
      return EngineError::out_of_range(jd, kernels.coverage());
    }
    return EngineError::spk(std::move(error));
  };
  auto sky = ApparentSky::geocentric(*kernel, Time::from_ut1(jd), orientation_2000b);
  if (!sky) return unexpected(failed(sky.error()));
  auto seen = sky->gcrs(body);
  if (!seen) return unexpected(failed(seen.error()));
  return ApparentVector{*seen, sky->orientation};
}

double angle_of(const Vec3& v) {
  double a = std::atan2(v[1], v[0]);
  if (a < 0.0) a += kTwoPi;
  return a;
}

// Secant search for a zero of a wrapped angle difference that grows at
// about `rate` degrees a day; a flat or backward slope falls back to the
// mean rate so a bad step cannot run away.
template <class Difference>
Expected<double, EngineError> secant(double guess, double rate, double slope_floor,
                                     Difference difference) {
  double t0 = guess;
  auto first = difference(t0);
  if (!first) return first;
  double d0 = *first;
  double t1 = t0 - d0 / rate;
  for (int step = 0; step < kMaxSteps; ++step) {
    if (std::fabs(t1 - t0) < kTolerance) break;
    auto next = difference(t1);
    if (!next) return next;
    const double d1 = *next;
    double slope = (d1 - d0) / (t1 - t0);
    if (!std::isfinite(slope) || !(slope > slope_floor)) slope = rate;
    const double t2 = t1 - d1 / slope;
    t0 = t1;
    d0 = d1;
    t1 = t2;
  }
  return t1;
}

int32_t gregorian_year_of_day(int64_t day) {
  return UtcInstant((day - kUnixEpochDay) * UtcInstant::kMicrosPerDay).civil().year;
}

std::string term_utc(double jd) {
  const double seconds = std::round((jd - 2440587.5) * 86400.0);
  return UtcInstant(static_cast<int64_t>(seconds) * 1'000'000).isoformat();
}

}  // namespace

std::string_view term_name(uint16_t longitude) { return kTermNames[(longitude / 15) % 24]; }

int64_t china_day(double jd) {
  const double zone = jd >= kChinaStandardFrom ? kUtc8 : kBeijingMeanTime;
  return static_cast<int64_t>(std::floor(jd + 0.5 + zone));
}

std::string civil_date_text(int64_t day) {
  const CivilFields c = UtcInstant((day - kUnixEpochDay) * UtcInstant::kMicrosPerDay).civil();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", c.year, c.month, c.day);
  return text;
}

Expected<double, EngineError> Sky::longitude(double jd, int32_t body) const {
  auto v = apparent_vector(*kernels_, jd, body);
  if (!v) return unexpected(v.error());
  return angle_of(v->orientation.true_ecliptic * v->gcrs) * kDegreesPerRadian;
}

Expected<double, EngineError> Sky::sun_at(double target, double guess) const {
  return secant(guess, kSunRate, kSunSlopeFloor, [&](double t) -> Expected<double, EngineError> {
    auto sun = longitude(t, kSunCode);
    if (!sun) return sun;
    return wrapped(*sun - target);
  });
}

Expected<double, EngineError> Sky::sun_before(double target, double jd) const {
  auto sun = longitude(jd, kSunCode);
  if (!sun) return sun;
  const double back = modulo(*sun - target, 360.0);
  auto found = sun_at(target, jd - back / kSunRate);
  if (!found || *found <= jd) return found;
  return sun_at(target, *found - kTropicalYear);
}

Expected<double, EngineError> Sky::new_moon_near(double guess) const {
  return secant(guess, kElongationRate, kElongationSlopeFloor,
                [&](double t) -> Expected<double, EngineError> {
                  auto moon = longitude(t, kMoonCode);
                  if (!moon) return moon;
                  auto sun = longitude(t, kSunCode);
                  if (!sun) return sun;
                  return wrapped(*moon - *sun);
                });
}

Expected<double, EngineError> Sky::new_moon_before(double jd) const {
  auto moon = longitude(jd, kMoonCode);
  if (!moon) return moon;
  auto sun = longitude(jd, kSunCode);
  if (!sun) return sun;
  const double elongation = modulo(*moon - *sun, 360.0);
  auto found = new_moon_near(jd - elongation / kElongationRate);
  if (!found || *found <= jd) return found;
  return new_moon_near(*found - kSynodicMonth);
}

Expected<Sui, EngineError> Sky::sui(double solstice) const {
  auto next_solstice = sun_at(270.0, solstice + kTropicalYear);
  if (!next_solstice) return unexpected(next_solstice.error());

  // The new moon that begins month 11: the last one on or before the
  // solstice's China day.
  auto month_eleven = [&](double w) -> Expected<double, EngineError> {
    auto m = new_moon_before(w + 1.0);
    if (!m || china_day(*m) <= china_day(w)) return m;
    return new_moon_before(*m - 1.0);
  };
  auto next_eleven = month_eleven(*next_solstice);
  if (!next_eleven) return unexpected(next_eleven.error());
  const int64_t end = china_day(*next_eleven);
  auto first = month_eleven(solstice);
  if (!first) return unexpected(first.error());

  std::vector<int64_t> starts{china_day(*first)};
  double moon = *first;
  for (;;) {
    auto next = new_moon_near(moon + kSynodicMonth);
    if (!next) return unexpected(next.error());
    moon = *next;
    const int64_t day = china_day(moon);
    // A sui has at most 13 months; the cap only matters for a kernel with
    // nonsense data, where the walk might otherwise never reach the end.
    if (day >= end || starts.size() == 13) break;
    starts.push_back(day);
  }

  // Days of the twelve principal terms (zhongqi), from this solstice on.
  std::array<int64_t, 12> principal{};
  principal[0] = china_day(solstice);
  double t = solstice;
  for (int i = 1; i < 12; ++i) {
    const double target = modulo(270.0 + 30.0 * i, 360.0);
    auto found = sun_at(target, t + 30.44);
    if (!found) return unexpected(found.error());
    t = *found;
    principal[i] = china_day(t);
  }

  const int32_t year_of_eleven = gregorian_year_of_day(starts.front());
  const bool leap_sui = starts.size() == 13;
  Sui result;
  result.end = end;
  result.next_solstice = *next_solstice;
  result.months.reserve(starts.size());
  bool leap_assigned = false;
  for (size_t i = 0; i < starts.size(); ++i) {
    Month m;
    m.start = starts[i];
    m.end = i + 1 < starts.size() ? starts[i + 1] : end;
    if (i == 0) {
      m.month = 11;
      m.year = year_of_eleven;
    } else {
      const Month& previous = result.months.back();
      bool has_principal = false;
      for (int64_t day : principal) has_principal |= m.start <= day && day < m.end;
      if (!has_principal && leap_sui && !leap_assigned) {
        m.month = previous.month;
        m.leap = true;
        leap_assigned = true;
      } else {
        m.month = static_cast<uint8_t>(previous.month % 12 + 1);
      }
      m.year = !m.leap && m.month == 1 ? year_of_eleven + 1 : previous.year;
    }
    result.months.push_back(m);
  }
  return result;
}

Expected<double, EngineError> Sky::equation_of_time(double jd) const {
  auto v = apparent_vector(*kernels_, jd, kSunCode);
  if (!v) return unexpected(v.error());
  const double alpha = angle_of(v->orientation.true_equator * v->gcrs);
  const double theta = v->orientation.gast;
  const double fraction = modulo(jd + 0.5, 1.0);
  const double hours =
      modulo(theta - 24.0 * alpha / kTwoPi + 12.0 - 24.0 * fraction + 12.0, 24.0) - 12.0;
  return hours * 60.0;
}

Expected<UtcInstant, EngineError> SolarTerm::instant() const {
  auto parsed = UtcInstant::parse(utc);
  if (!parsed) return unexpected(EngineError::invalid_input(parsed.error().text()));
  return *parsed;
}

Expected<int64_t, EngineError> LunarMonth::start_day() const {
  auto parsed = UtcInstant::parse(start + "T00:00:00Z");
  if (!parsed) return unexpected(EngineError::invalid_input(parsed.error().text()));
  return day_number(*parsed);
}

Expected<ChineseCalendar, EngineError> chinese_calendar(const Sky& sky, UtcInstant moment) {
  const double t = moment.julian_day();
  ChineseCalendar calendar;

  auto term = sky.sun_before(315.0, t);
  if (!term) return unexpected(term.error());
  uint16_t longitude = 315;
  for (;;) {
    const bool jie = longitude % 30 == 15;
    calendar.solar_terms.push_back(
        {std::string(term_name(longitude)), longitude, jie, term_utc(*term)});
    if (*term > t && jie) break;
    longitude = static_cast<uint16_t>((longitude + 15) % 360);
    term = sky.sun_at(longitude, *term + 15.2);
    if (!term) return unexpected(term.error());
  }

  const int64_t today = china_day(t);
  auto solstice = sky.sun_before(270.0, t);
  if (!solstice) return unexpected(solstice.error());
  auto current = sky.sui(*solstice);
  if (!current) return unexpected(current.error());
  std::vector<Month> months = current->months;
  if (today - 3 < months.front().start) {
    auto earlier_solstice = sky.sun_at(270.0, *solstice - kTropicalYear);
    if (!earlier_solstice) return unexpected(earlier_solstice.error());
    auto earlier = sky.sui(*earlier_solstice);
    if (!earlier) return unexpected(earlier.error());
    months.insert(months.begin(), earlier->months.begin(), earlier->months.end());
  }
  Sui latest = std::move(*current);
  while (latest.end <= today + 3) {
    auto next = sky.sui(latest.next_solstice);
    if (!next) return unexpected(next.error());
    latest = std::move(*next);
    months.insert(months.end(), latest.months.begin(), latest.months.end());
  }
  for (const Month& m : months) {
    if (m.end > today - 3 && m.start <= today + 3) {
      calendar.lunar_months.push_back({m.year, m.month, m.leap, civil_date_text(m.start),
                                       static_cast<uint8_t>(m.end - m.start)});
    }
  }

  auto equation = sky.equation_of_time(t);
  if (!equation) return unexpected(equation.error());
  calendar.equation_of_time = *equation;
  return calendar;
}

void write(RecordWriter& out, const SolarTerm& term) {
  ObjectWriter(out)
      .field("name", term.name)
      .field("longitude", term.longitude)
      .field("jie", term.jie)
      .field("utc", term.utc);
}

void write(RecordWriter& out, const LunarMonth& month) {
  ObjectWriter(out)
      .field("year", month.year)
      .field("month", month.month)
      .field("leap", month.leap)
      .field("start", month.start)
      .field("days", month.days);
}

void write(RecordWriter& out, const ChineseCalendar& calendar) {
  ObjectWriter(out)
      .field("equation_of_time", calendar.equation_of_time)
      .field("solar_terms", calendar.solar_terms)
      .field("lunar_months", calendar.lunar_months);
}

// ---------------------------------------------------------------------------
// Reading a calendar dict back. The messages are those a strict typed JSON
// reader gives, so the callers' errors read the same whatever the field.

namespace {

using json_reader::MissingFields;
using json_reader::Node;
using json_reader::read_bool;
using json_reader::read_f64;
using json_reader::read_integer;
using json_reader::read_list;
using json_reader::read_string;
using json_reader::RecordReader;
using json_reader::store;
using json_reader::UnknownFields;

// Keys not listed are ignored; every listed key must be there.
constexpr UnknownFields kUnknown = UnknownFields::Ignore;
constexpr MissingFields kMissing = MissingFields::Refuse;

const RecordReader<SolarTerm, 4> kSolarTermReader{
    "SolarTerm", {"name", "longitude", "jie", "utc"}, kUnknown, kMissing,
    [](SolarTerm& t, size_t i, const Node& n) -> std::optional<std::string> {
      switch (i) {
        case 0: return store(t.name, read_string(n));
        case 1: return store(t.longitude, read_integer<uint16_t>(n, "u16"));
        case 2: return store(t.jie, read_bool(n));
        default: return store(t.utc, read_string(n));
      }
    }};

const RecordReader<LunarMonth, 5> kLunarMonthReader{
    "LunarMonth", {"year", "month", "leap", "start", "days"}, kUnknown, kMissing,
    [](LunarMonth& m, size_t i, const Node& n) -> std::optional<std::string> {
      switch (i) {
        case 0: return store(m.year, read_integer<int32_t>(n, "i32"));
        case 1: return store(m.month, read_integer<uint8_t>(n, "u8"));
        case 2: return store(m.leap, read_bool(n));
        case 3: return store(m.start, read_string(n));
        default: return store(m.days, read_integer<uint8_t>(n, "u8"));
      }
    }};

const RecordReader<ChineseCalendar, 3> kCalendarReader{
    "ChineseCalendar", {"equation_of_time", "solar_terms", "lunar_months"}, kUnknown, kMissing,
    [](ChineseCalendar& c, size_t i, const Node& n) -> std::optional<std::string> {
      switch (i) {
        case 0: return store(c.equation_of_time, read_f64(n));
        case 1: return store(c.solar_terms, read_list<SolarTerm>(n, kSolarTermReader));
        default: return store(c.lunar_months, read_list<LunarMonth>(n, kLunarMonthReader));
      }
    }};

Expected<ChineseCalendar, EngineError> read_node(const Node& n) {
  auto calendar = kCalendarReader(n);
  if (!calendar) return unexpected(EngineError::invalid_input(std::move(calendar.error())));
  return std::move(*calendar);
}

}  // namespace

Expected<ChineseCalendar, EngineError> read_chinese_calendar(const Json& value) {
  return read_node(json_reader::node_of(value));
}

Expected<ChineseCalendar, EngineError> read_chinese_calendar_text(std::string_view json_text) {
  auto node = json_reader::parse_node(json_text);
  if (!node) return unexpected(EngineError::invalid_input(std::move(node.error())));
  return read_node(*node);
}

}  // namespace quorvane::chinese
