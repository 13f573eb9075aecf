#include "quorvane/predictive/progressions.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/base/root_search.hpp"
#include "quorvane/ephemeris/observe.hpp"
#include "quorvane/time/moment_record.hpp"
#include "quorvane/zodiac/moved_angles.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr double kExactTolerance = 1e-8;  // days

const Placement& named(const std::vector<Placement>& list, std::string_view name) {
  for (const Placement& p : list) {
    if (p.name == name) return p;
  }
  return list.back();  // not reached: every sky has the Sun and both angles
}

bool has(const std::vector<Placement>& list, std::string_view name) {
  return std::any_of(list.begin(), list.end(), [&](const Placement& p) { return p.name == name; });
}

ChartRequest at(const ChartRequest& options, UtcInstant moment, const BirthPlace& place) {
  ChartRequest request = options;
  request.moment = moment;
  request.latitude = place.latitude;
  request.longitude = place.longitude;
  request.chinese_calendar = false;
  return request;
}

// The moment whose distance from birth, in days, is the target's in years
// (secondary), in lunar months (tertiary) or in years of lunar months (minor).
UtcInstant progressed_moment(UtcInstant birth, UtcInstant target, const ProgressionRate& rate) {
  const double days = static_cast<double>(target.micros() - birth.micros()) / rate.life_days_per_day();
  return UtcInstant(birth.micros() + static_cast<int64_t>(std::nearbyint(days)));
}

double age_in_years(UtcInstant birth, double jd) {
  return (jd - birth.julian_day()) / kProgressionYearDays;
}

std::vector<BodyView> bodies_of(const std::vector<Placement>& placements, double shift) {
  std::vector<BodyView> out;
  for (const Placement& p : placements) {
    if (p.name == "Ascendant" || p.name == "Midheaven") continue;
    out.push_back({p.name, normalize_degrees(p.ecliptic_longitude + shift), p.speed, p.is_retrograde});
  }
  return out;
}

std::string_view progression_kind_name(ProgressionKind kind) {
  switch (kind) {
    case ProgressionKind::Tertiary: return "tertiary";
    case ProgressionKind::Minor: return "minor";
    case ProgressionKind::Secondary: break;
  }
  return "secondary";
}

// A directed node's aspect to the other natal node is the same event as its
// aspect to its own natal place (the nodes are always opposite): listed once.
bool is_node_pair(std::string_view a, std::string_view b) {
  return (a == "North Node" && b == "South Node") || (a == "South Node" && b == "North Node");
}

}  // namespace

double ProgressionRate::life_days_per_day() const {
  switch (kind) {
    case ProgressionKind::Tertiary: return month_days;
    case ProgressionKind::Minor: return kProgressionYearDays / month_days;
    case ProgressionKind::Secondary: break;
  }
  return kProgressionYearDays;
}

Expected<ProgressionKind, EngineError> progression_kind_from_text(std::string_view text) {
  if (text == "secondary") return ProgressionKind::Secondary;
  if (text == "tertiary") return ProgressionKind::Tertiary;
  if (text == "minor") return ProgressionKind::Minor;
  return unexpected(EngineError::invalid_input(
      "kind must be secondary, tertiary or minor, got " + std::string(text)));
}

Expected<double, EngineError> lunar_month_from_text(std::string_view text) {
  if (text == "tropical") return kTropicalMonthDays;
  if (text == "synodic") return kSynodicMonthDays;
  return unexpected(
      EngineError::invalid_input("month must be tropical or synodic, got " + std::string(text)));
}

Expected<AngleMethod, EngineError> angle_method_from_text(std::string_view text) {
  if (text == "solar_arc") return AngleMethod::SolarArc;
  if (text == "naibod") return AngleMethod::Naibod;
  return unexpected(EngineError::invalid_input("angle method must be solar_arc or naibod, got " +
                                               std::string(text)));
}

Expected<ProgressedChart, EngineError> progressed_chart(const KernelSet& kernels,
                                                        const ChartRequest& options,
                                                        const BirthPlace& birth,
                                                        UtcInstant target, AngleMethod method,
                                                        ProgressionRate rate) {
  if (target < birth.moment) {
    return unexpected(EngineError::invalid_input("target must not be before birth"));
  }
  auto settings = OrbSettings::merge(options.orb_settings ? &*options.orb_settings : nullptr);
  if (!settings) return unexpected(std::move(settings).error());
  ProgressedChart chart;
  chart.birth = birth;
  chart.target = target;
  chart.progressed_moment = progressed_moment(birth.moment, target, rate);
  chart.age_years = age_in_years(birth.moment, target.julian_day());
  chart.rate = rate;
  chart.method = method;

  auto natal = sky(kernels, at(options, birth.moment, birth));
  if (!natal) return unexpected(std::move(natal).error());
  auto progressed = sky(kernels, at(options, chart.progressed_moment, birth));
  if (!progressed) return unexpected(std::move(progressed).error());
  chart.zodiac_type = std::string(progressed->zodiac);
  if (!has(natal->placements, "Sun") || !has(progressed->placements, "Sun")) {
    return unexpected(EngineError::invalid_input("progressions need the Sun"));
  }

  // The angles move in the tropical frame, where right ascension is defined.
  const double birth_jd = birth.moment.julian_day();
  const double natal_mc = named(natal->placements, "Midheaven").ecliptic_longitude + natal->offset;
  const double nutation = house_obliquity_nutation(options, birth_jd);
  const double natal_ramc = ecliptic_right_ascension(natal_mc, birth_jd, nutation);
  double ramc = 0.0;
  if (method == AngleMethod::SolarArc) {
    const double natal_sun = named(natal->placements, "Sun").ecliptic_longitude + natal->offset;
    const double sun = named(progressed->placements, "Sun").ecliptic_longitude + progressed->offset;
    chart.arc = remainder_degrees(sun - natal_sun);
    ramc = ecliptic_right_ascension(natal_mc + chart.arc, birth_jd, nutation);
  } else {
    const double progressed_days =
        (target.julian_day() - birth.moment.julian_day()) / rate.life_days_per_day();
    chart.arc = kNaibodDegreesPerYear * progressed_days;
    ramc = natal_ramc + chart.arc;
  }
  const double progressed_sun =
      named(progressed->placements, "Sun").ecliptic_longitude + progressed->offset;
  const HouseResult houses = houses_for_ramc(HouseSystem::from_code(options.house_system), ramc,
                                             birth_jd, birth.latitude, progressed->offset,
                                             nutation, progressed_sun);
  auto placed = place_with_aspects(bodies_of(progressed->placements, 0.0), houses, *settings);
  if (!placed) return unexpected(std::move(placed).error());
  chart.houses = std::move(placed->houses);
  chart.planets = std::move(placed->planets);
  chart.aspects = std::move(placed->aspects);
  return chart;
}

Expected<SolarArcDirections, EngineError> solar_arc_directions(const KernelSet& kernels,
                                                               const ChartRequest& options,
                                                               const BirthPlace& birth,
                                                               UtcInstant start, UtcInstant end) {
  if (start < birth.moment) {
    return unexpected(EngineError::invalid_input("start must not be before birth"));
  }
  if (!(start < end)) return unexpected(EngineError::invalid_input("end must be after start"));
  SolarArcDirections result;
  result.birth = birth;
  result.start = start.julian_day();
  result.end = end.julian_day();
  if (result.end - birth.moment.julian_day() > kLongestDirectionYears * kProgressionYearDays) {
    return unexpected(EngineError::invalid_input("directions reach at most 150 years after birth"));
  }
  auto natal = sky(kernels, at(options, birth.moment, birth));
  if (!natal) return unexpected(std::move(natal).error());
  if (!has(natal->placements, "Sun")) {
    return unexpected(EngineError::invalid_input("directions need the Sun"));
  }
  const double natal_sun = named(natal->placements, "Sun").ecliptic_longitude;
  const double birth_jd = birth.moment.julian_day();

  // The solar arc at UT Julian day jd: the progressed Sun's advance, under
  // 150 degrees in the 150 years directions reach.
  const LongitudeSource source(kernels,
                               ZodiacChoice::from_texts(options.zodiac_type, options.ayanamsa));
  const auto arc_at = [&](double jd) -> Expected<double, EngineError> {
    const double progressed = birth_jd + (jd - birth_jd) / kProgressionYearDays;
    auto sun = source.longitude(kSunCode, progressed);
    if (!sun) return unexpected(std::move(sun).error());
    return signed_difference(*sun, natal_sun);
  };

  // The arc a year apart over the span: nearly linear, it brackets each hit.
  std::vector<double> times;
  for (double t = result.start; t < result.end; t += kProgressionYearDays) times.push_back(t);
  times.push_back(result.end);
  std::vector<double> arcs;
  for (double t : times) {
    auto arc = arc_at(t);
    if (!arc) return unexpected(std::move(arc).error());
    arcs.push_back(*arc);
  }
  result.arc = arcs.front();
  const auto directed = [&](std::string_view name) {
    return normalize_degrees(named(natal->placements, name).ecliptic_longitude + result.arc);
  };
  result.directed = placements(bodies_of(natal->placements, result.arc), natal->cusps,
                               directed("Ascendant"), directed("Midheaven"));

  const auto& points = natal->placements;
  for (const Placement& moved : points) {
    for (const Placement& fixed : points) {
      if (is_node_pair(moved.name, fixed.name)) continue;
      for (const AspectKind& aspect : kAspectTable) {
        for (double sign : {1.0, -1.0}) {
          if (sign < 0.0 && (aspect.angle == 0.0 || aspect.angle == 180.0)) continue;
          const double wanted = remainder_degrees(fixed.ecliptic_longitude +
                                                  sign * aspect.angle - moved.ecliptic_longitude);
          for (double value = wanted + 360.0 * std::ceil((arcs.front() - wanted) / 360.0);
               value <= arcs.back(); value += 360.0) {
            const size_t k = static_cast<size_t>(
                std::upper_bound(arcs.begin(), arcs.end(), value) - arcs.begin());
            const size_t hi = std::min(k, arcs.size() - 1), lo = hi - 1;
            const auto offset = [&](double t) -> Expected<double, EngineError> {
              auto arc = arc_at(t);
              if (!arc) return unexpected(std::move(arc).error());
              return *arc - value;
            };
            auto jd = bracketed_root(offset, times[lo], arcs[lo] - value, times[hi], arcs[hi] - value,
                                     kExactTolerance);
            if (!jd) return unexpected(std::move(jd).error());
            result.hits.push_back({moved.name, fixed.name, &aspect, value, *jd});
          }
        }
      }
    }
  }
  std::stable_sort(result.hits.begin(), result.hits.end(),
                   [](const DirectionHit& a, const DirectionHit& b) { return a.jd < b.jd; });
  return result;
}

void write(RecordWriter& out, const ProgressedChart& chart) {
  ObjectWriter(out)
      .field("birth", chart.birth)
      .field("target", chart.target.isoformat())
      .field("progressed_moment", chart.progressed_moment.isoformat())
      .field("age_years", chart.age_years)
      .field("kind", progression_kind_name(chart.rate.kind))
      .field("month_days", chart.rate.kind == ProgressionKind::Secondary
                               ? std::nullopt
                               : std::optional<double>(chart.rate.month_days))
      .field("angle_method", chart.method == AngleMethod::SolarArc ? "solar_arc" : "naibod")
      .field("arc", chart.arc)
      .field("zodiac_type", chart.zodiac_type)
      .field("planets", chart.planets)
      .field("houses", chart.houses)
      .field("aspects", chart.aspects);
}

void write(RecordWriter& out, const DirectionHit& hit) {
  ObjectWriter o(out);
  write_moment_fields(o, hit.jd);
  o.field("directed", hit.directed)
      .field("natal", hit.natal)
      .field("aspect_type", hit.aspect->name)
      .field("symbol", hit.aspect->symbol)
      .field("angle", hit.aspect->angle)
      .field("arc", hit.arc);
}

void write(RecordWriter& out, const SolarArcDirections& directions) {
  ObjectWriter(out)
      .field("birth", directions.birth)
      .field("start", MomentRecord{directions.start})
      .field("end", MomentRecord{directions.end})
      .field("arc", directions.arc)
      .field("directed", directions.directed)
      .field("hits", directions.hits);
}

}  // namespace quorvane
