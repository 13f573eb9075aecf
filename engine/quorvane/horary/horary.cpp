#include "quorvane/horary/horary.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/records/record_extension.hpp"
#include "quorvane/traditional/condition.hpp"
#include "quorvane/traditional/dignities.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

struct MoonAspect {
  double angle;
  std::string_view name;
};

constexpr MoonAspect kMoonAspects[] = {
    {0.0, "Conjunction"}, {60.0, "Sextile"},     {90.0, "Square"},
    {120.0, "Trine"},     {180.0, "Opposition"},
};

// The bodies the Moon's aspects are counted to; the outer planets and the
// points do not carry her light.
constexpr std::string_view kMoonPartners[] = {"Sun", "Mercury", "Venus", "Mars", "Jupiter",
                                              "Saturn"};

// Triplicity lords of the Ascendant's element for radicality, day then
// night. Fixed whatever dignity scheme the chart uses.
struct RadicalLords {
  std::string_view element;
  std::string_view day;
  std::string_view night;
};
constexpr RadicalLords kRadicalLords[] = {
    {"Fire", "Sun", "Jupiter"},
    {"Earth", "Venus", "Moon"},
    {"Air", "Saturn", "Mercury"},
    {"Water", "Venus", "Mars"},
};

// Degrees in a sign that make an Ascendant or the Moon early or late.
constexpr int64_t kEarlyBelow = 3;
constexpr int64_t kLateAbove = 26;

bool is_moon_partner(std::string_view name) {
  return std::find(std::begin(kMoonPartners), std::end(kMoonPartners), name) !=
         std::end(kMoonPartners);
}

std::string_view partner_name(std::string_view name) {
  for (std::string_view partner : kMoonPartners) {
    if (partner == name) return partner;
  }
  return {};
}

// IEEE total order as a signed integer key (-NaN < -inf < ... < -0 < +0 < ... < NaN).
int64_t total_order_key(double x) {
  const int64_t bits = std::bit_cast<int64_t>(x);
  return bits < 0 ? bits ^ INT64_MAX : bits;
}

template <class T>
bool listed(const std::vector<T>& list, std::string_view planet, std::string_view aspect) {
  return std::any_of(list.begin(), list.end(),
                     [&](const T& a) { return a.planet == planet && a.aspect == aspect; });
}

struct AscendantPlace {
  std::string_view sign;
  int64_t degree;
  int64_t minute;
};

AscendantPlace ascendant_of(const Chart& chart) {
  if (const Placement* asc = first_named(chart.planets, "Ascendant")) {
    return {kSigns[asc->sign % 12].name, asc->degree, asc->minute};
  }
  if (!chart.houses.empty()) {
    const HouseCusp& first = chart.houses.front();
    return {kSigns[first.sign % 12].name, first.degree, first.minute};
  }
  return {"Aries", 0, 0};
}

}  // namespace

MoonStatus moon_status(const Placement& moon, std::span<const Placement> placements) {
  const double lambda = moon.ecliptic_longitude;
  const double v = moon.speed;
  const double s = std::floor(lambda / 30.0);
  const double to_next = (s + 1.0) * 30.0 - lambda;
  const double in_sign = lambda - 30.0 * s;
  const int sign = std::isfinite(s) ? ((static_cast<int>(std::fmod(s, 12.0)) % 12) + 12) % 12 : 0;

  MoonStatus status;
  for (const Placement& p : placements) {
    if (!is_moon_partner(p.name)) continue;
    const std::string_view planet = partner_name(p.name);
    for (const MoonAspect& aspect : kMoonAspects) {
      const bool two_sided = aspect.angle != 0.0 && aspect.angle != 180.0;
      const double targets[2] = {normalize_degrees(p.ecliptic_longitude + aspect.angle),
                                 normalize_degrees(p.ecliptic_longitude - aspect.angle)};
      for (int k = 0; k < (two_sided ? 2 : 1); ++k) {
        const double d = normalize_degrees(targets[k] - lambda);
        if (d > 0.0 && d <= to_next && v > p.speed &&
            !listed(status.applying_aspects, planet, aspect.name)) {
          status.applying_aspects.push_back(
              {planet, aspect.name, pyfloat::round(d, 2), kSigns[static_cast<size_t>(sign)].name});
        }
        const double e = normalize_degrees(lambda - targets[k]);
        if (e > 0.0 && e <= in_sign && !listed(status.separating_aspects, planet, aspect.name)) {
          status.separating_aspects.push_back({planet, aspect.name, pyfloat::round(e, 2)});
        }
      }
    }
  }
  std::stable_sort(status.applying_aspects.begin(), status.applying_aspects.end(),
                   [](const ApplyingAspect& a, const ApplyingAspect& b) {
                     return total_order_key(a.degrees_to_exact) < total_order_key(b.degrees_to_exact);
                   });
  std::stable_sort(status.separating_aspects.begin(), status.separating_aspects.end(),
                   [](const SeparatingAspect& a, const SeparatingAspect& b) {
                     return total_order_key(a.degrees_ago) < total_order_key(b.degrees_ago);
                   });

  status.void_of_course = status.applying_aspects.empty();
  status.degrees_to_next_sign = pyfloat::round(to_next, 2);
  const double hourly = std::fabs(v) > 1.0 ? std::fabs(v) / 24.0 : kMoonMeanHourlyMotion;
  status.hours_to_next_sign = pyfloat::round(to_next / hourly, 1);
  status.next_sign = kSigns[static_cast<size_t>((sign + 1) % 12)].name;
  status.speed_status = v > 13.5 ? "swift" : v < 12.5 ? "slow" : "average";
  return status;
}

std::string_view modern_ruler(std::string_view sign, std::string_view traditional) {
  if (sign == "Aquarius") return "Uranus";
  if (sign == "Pisces") return "Neptune";
  if (sign == "Scorpio") return "Pluto";
  return traditional;
}

bool is_radical(std::string_view hour_ruler, std::string_view ascendant_ruler,
                std::string_view ascendant_sign, bool is_day) {
  if (hour_ruler == ascendant_ruler) return true;
  const auto sign_element = element(ascendant_sign);
  if (!sign_element) return false;
  for (const RadicalLords& lords : kRadicalLords) {
    if (lords.element == *sign_element) return hour_ruler == (is_day ? lords.day : lords.night);
  }
  return false;
}

Expected<HoraryData, EngineError> horary_data(const KernelSet& kernels, const Chart& chart,
                                              const PlanetaryHours& hours, double jd,
                                              double ayanamsa,
                                              std::optional<uint8_t> quesited_house) {
  HoraryData data;
  data.planetary_hours = hours;
  const AscendantPlace asc = ascendant_of(chart);
  data.ascendant_sign = asc.sign;
  data.ascendant_degree = format("%lld\u00B0 %lld' %.*s", static_cast<long long>(asc.degree),
                                 static_cast<long long>(asc.minute),
                                 static_cast<int>(asc.sign.size()), asc.sign.data());
  data.traditional_asc_ruler = traditional_ruler(asc.sign).value_or("Mars");
  data.modern_asc_ruler = modern_ruler(asc.sign, data.traditional_asc_ruler);

  const std::span<const Placement> placements = chart.planets;
  const auto sign_text = [](std::string_view sign) { return static_cast<int>(sign.size()); };
  if (asc.degree < kEarlyBelow) {
    data.strictures.push_back(
        {"EARLY_ASC", "warning",
         format("Ascendant is very early (%lld\u00B0 %.*s): The question may be premature, or "
                "circumstances are still developing.",
                static_cast<long long>(asc.degree), sign_text(asc.sign), asc.sign.data())});
  } else if (asc.degree > kLateAbove) {
    data.strictures.push_back(
        {"LATE_ASC", "warning",
         format("Ascendant is very late (%lld\u00B0 %.*s): The situation has already been "
                "decided or is out of the querent's control.",
                static_cast<long long>(asc.degree), sign_text(asc.sign), asc.sign.data())});
  }
  if (const Placement* saturn = first_named(placements, "Saturn")) {
    if (saturn->house == 1) {
      data.strictures.push_back({"SATURN_IN_1ST", "warning",
                                 "Saturn in the 1st House: Querent may be obstructed, anxious, or "
                                 "facing delays."});
    } else if (saturn->house == 7) {
      data.strictures.push_back({"SATURN_IN_7TH", "info",
                                 "Saturn in the 7th House: Astrologer's judgment may be "
                                 "challenged or the matter may be difficult to judge clearly."});
    }
  }
  const Placement* moon = first_named(placements, "Moon");
  if (!moon) return unexpected(EngineError::invalid_input("chart has no Moon"));
  data.moon_status = moon_status(*moon, placements);
  if (data.moon_status.void_of_course) {
    data.strictures.push_back({"MOON_VOC", "info",
                               "Moon is Void of Course: Nothing will come of the matter in "
                               "question, or no immediate action will yield changes."});
  }
  const double moon_longitude = normalize_degrees(moon->ecliptic_longitude);
  if (moon_longitude >= 195.0 && moon_longitude < 225.0) {
    data.strictures.push_back({"MOON_VIA_COMBUSTA", "warning",
                               "Moon in the Via Combusta (15\u00B0 Libra to 15\u00B0 Scorpio): "
                               "the matter is troubled and its outcome uncertain."});
  }
  if (moon->degree > kLateAbove) {
    const std::string_view sign = kSigns[moon->sign % 12].name;
    data.strictures.push_back(
        {"MOON_LATE_DEGREES", "info",
         format("Moon in the last degrees of %.*s (%lld\u00B0): she has little left to do in "
                "her sign.",
                sign_text(sign), sign.data(), static_cast<long long>(moon->degree))});
  }
  const Placement* ruler = first_named(placements, data.traditional_asc_ruler);
  const Placement* sun = first_named(placements, "Sun");
  if (ruler && sun &&
      solar_phase(data.traditional_asc_ruler, ruler->ecliptic_longitude,
                  sun->ecliptic_longitude) == std::optional<std::string_view>("combust")) {
    const std::string_view name = data.traditional_asc_ruler;
    data.strictures.push_back(
        {"ASC_RULER_COMBUST", "warning",
         format("The lord of the Ascendant (%.*s) is combust: the querent is fearful, "
                "overpowered or without hope.",
                sign_text(name), name.data())});
  }

  data.is_radical =
      is_radical(hours.hour_ruler, data.traditional_asc_ruler, asc.sign, hours.is_day);

  const std::vector<std::string_view> signs = cusp_signs(twelve_cusps(chart.houses));
  JudgmentInput input;
  input.quesited_house = quesited_house;
  input.placements = placements;
  input.cusp_signs = signs;
  input.jd = jd;
  input.ayanamsa = ayanamsa;
  input.ascendant_sign = asc.sign;
  input.receptions = chart.receptions;
  data.judgment = judge(kernels, input);
  return data;
}

Expected<HoraryChart, EngineError> calculate_horary_chart(const KernelSet& kernels,
                                                          const ChartRequest& request,
                                                          std::optional<uint8_t> quesited_house) {
  auto chart = chart_without_hours(kernels, request);
  if (!chart) return unexpected(std::move(chart).error());
  const SolarDay day = solar_day(kernels, request.moment, request.latitude, request.longitude);
  PlanetaryHours hours = hours_in(day, request.moment);
  chart->planetary_hours = hours;
  // The chart's own offset: the rounded ayanamsa its longitudes were reduced by.
  const double ayanamsa = chart->ayanamsa_value.value_or(0.0);
  auto data = horary_data(kernels, *chart, hours, request.moment.julian_day(), ayanamsa,
                          quesited_house);
  if (!data) return unexpected(std::move(data).error());
  return HoraryChart{std::move(chart).value(), std::move(data).value()};
}

void write(RecordWriter& out, const Stricture& s) {
  ObjectWriter(out).field("code", s.code).field("severity", s.severity).field("message", s.message);
}

void write(RecordWriter& out, const ApplyingAspect& a) {
  ObjectWriter(out)
      .field("planet", a.planet)
      .field("aspect", a.aspect)
      .field("degrees_to_exact", a.degrees_to_exact)
      .field("target_sign", a.target_sign);
}

void write(RecordWriter& out, const SeparatingAspect& a) {
  ObjectWriter(out)
      .field("planet", a.planet)
      .field("aspect", a.aspect)
      .field("degrees_ago", a.degrees_ago);
}

void write(RecordWriter& out, const MoonStatus& m) {
  ObjectWriter o(out);
  o.field("void_of_course", m.void_of_course)
      .field("degrees_to_next_sign", m.degrees_to_next_sign)
      .field("hours_to_next_sign", m.hours_to_next_sign)
      .field("next_sign", m.next_sign)
      .field("speed_status", m.speed_status)
      .field("applying_aspects", m.applying_aspects);
  o.writer().key("next_applying_aspect");
  if (m.applying_aspects.empty()) {
    out.null();
  } else {
    write(out, m.applying_aspects.front());
  }
  o.writer().key("last_aspect");
  if (m.separating_aspects.empty()) {
    out.null();
  } else {
    write(out, m.separating_aspects.front());
  }
  o.field("separating_aspects", m.separating_aspects);
}

void write(RecordWriter& out, const HoraryData& d) {
  ObjectWriter(out)
      .field("planetary_hours", d.planetary_hours)
      .field("ascendant_sign", d.ascendant_sign)
      .field("ascendant_degree", d.ascendant_degree)
      .field("traditional_asc_ruler", d.traditional_asc_ruler)
      .field("modern_asc_ruler", d.modern_asc_ruler)
      .field("is_radical", d.is_radical)
      .field("strictures", d.strictures)
      .field("moon_status", d.moon_status)
      .field("judgment", d.judgment);
}

void write(RecordWriter& out, const HoraryChart& h) {
  write_with_field(out, h.chart, "horary_data", h.horary_data);
}

}  // namespace quorvane
