#include "quorvane/chart.hpp"

#include <algorithm>

#include "quorvane/chinese/calendar.hpp"
#include "quorvane/condition.hpp"
#include "quorvane/dignities.hpp"
#include "quorvane/fixed_stars.hpp"
#include "quorvane/houses.hpp"
#include "quorvane/lots.hpp"
#include "quorvane/lunar.hpp"
#include "quorvane/planets.hpp"
#include "quorvane/receptions.hpp"
#include "quorvane/record_writer.hpp"
#include "quorvane/temperament.hpp"

namespace quorvane {

std::vector<HouseCusp> house_cusp_records(const std::array<double, 12>& cusps) {
  std::vector<HouseCusp> records;
  records.reserve(12);
  for (int i = 0; i < 12; ++i) {
    const LongitudeSplit split = split_longitude(cusps[i]);
    records.push_back({static_cast<uint8_t>(i + 1), split.sign, split.degree, split.minute,
                       cusps[i], split.symbolic_degree});
  }
  return records;
}
namespace {

struct Glyph {
  std::string_view name;
  std::string_view symbol;
};

// The sixteen standard bodies and points, in their standard order.
constexpr Glyph kGlyphs[] = {
    {"Sun", "\u2609"},        {"Moon", "\u263D"},       {"Mercury", "\u263F"},
    {"Venus", "\u2640"},      {"Mars", "\u2642"},       {"Jupiter", "\u2643"},
    {"Saturn", "\u2644"},     {"Uranus", "\u2645"},     {"Neptune", "\u2646"},
    {"Pluto", "\u2647"},      {"Chiron", "\u26B7"},     {"Lilith", "\u26B8"},
    {"North Node", "\u260A"}, {"South Node", "\u260B"}, {"Ascendant", "ASC"},
    {"Midheaven", "MC"},
};

const Placement* find_placement(const std::vector<Placement>& list, std::string_view name) {
  for (const Placement& p : list) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

Json optional_text(const std::optional<std::string>& value) {
  return value ? Json(*value) : Json(nullptr);
}

}  // namespace

std::string_view symbol_of(std::string_view name) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.name == name) return glyph.symbol;
  }
  return {};
}

std::vector<Placement> placements(std::vector<PlacedBody> bodies, const std::array<double, 12>& cusps,
                                  double ascendant, double midheaven) {
  bodies.push_back({"Ascendant", ascendant, 0.0, false});
  bodies.push_back({"Midheaven", midheaven, 0.0, false});
  std::vector<Placement> result;
  result.reserve(bodies.size());
  for (PlacedBody& body : bodies) {
    const LongitudeSplit split = split_longitude(body.longitude);
    Placement p;
    p.symbol = std::string(symbol_of(body.name));
    p.name = std::move(body.name);
    p.sign = split.sign;
    p.degree = split.degree;
    p.minute = split.minute;
    p.ecliptic_longitude = body.longitude;
    p.house = determine_house(cusps, body.longitude);
    p.speed = body.speed;
    p.is_retrograde = body.retrograde;
    p.symbolic_degree = split.symbolic_degree;
    result.push_back(std::move(p));
  }
  return result;
}

Expected<Sky, EngineError> sky(const KernelSet& kernels, const ChartRequest& request) {
  Sky result;
  result.sidereal = zodiac_type_from_text(request.zodiac_type) == ZodiacType::Sidereal;
  result.zodiac = result.sidereal ? "sidereal" : "tropical";
  result.jd = request.moment.julian_day();
  result.ayanamsa = ayanamsa_info(request.ayanamsa, result.jd);
  result.ayanamsa_code = result.ayanamsa.code;
  result.offset = result.sidereal ? result.ayanamsa.value : 0.0;

  auto bodies = planets_and_sidereal_time(kernels, result.jd, result.offset);
  if (!bodies) return unexpected(bodies.error());

  const HouseSystem system = HouseSystem::from_code(request.house_system);
  // The bodies' first instant already carries the apparent sidereal time
  // with the full nutation series.
  const HouseResult houses = houses_at_sidereal_time(system, result.jd, bodies->sidereal_time,
                                                     request.latitude, request.longitude,
                                                     result.offset);
  result.cusps = houses.cusps;
  result.houses = house_cusp_records(houses.cusps);

  std::vector<PlacedBody> placed;
  placed.reserve(bodies->bodies.size() + 2);
  for (const BodyPosition& b : bodies->bodies) {
    placed.push_back({b.name, b.longitude, b.speed, b.retrograde});
  }
  result.placements = placements(std::move(placed), houses.cusps, houses.ascendant, houses.midheaven);
  return result;
}

Expected<Chart, EngineError> chart_without_hours(const KernelSet& kernels,
                                                 const ChartRequest& request) {
  auto settings =
      OrbSettings::merge(request.orb_settings ? &*request.orb_settings : nullptr);
  if (!settings) return unexpected(settings.error());
  const DignityScheme scheme = DignityScheme::from_code(request.dignity_scheme);

  auto first = sky(kernels, request);
  if (!first) return unexpected(first.error());
  Sky& s = *first;

  Chart chart;
  const Placement* sun = find_placement(s.placements, "Sun");
  const Placement* ascendant = find_placement(s.placements, "Ascendant");
  if (sun && ascendant) {
    const double sun_longitude = sun->ecliptic_longitude;
    const double asc_longitude = ascendant->ecliptic_longitude;
    for (Placement& p : s.placements) {
      auto c = condition(p.name, p.ecliptic_longitude, p.speed, scheme, sun_longitude, asc_longitude);
      if (c) p.condition = to_json(*c);
    }
    chart.sect = std::string(chart_sect(sun_longitude, asc_longitude));
  }

  std::vector<Point> points;
  points.reserve(s.placements.size());
  for (const Placement& p : s.placements) points.push_back({p.name, p.ecliptic_longitude, p.speed});
  auto aspects = natal_aspects(points, *settings);
  if (!aspects) return unexpected(aspects.error());
  auto star_orb = settings->fixed_star_orb();
  if (!star_orb) return unexpected(star_orb.error());
  chart.aspects = std::move(aspects).value();

  FixedStars stars = fixed_stars(s.cusps, points, s.sidereal, s.jd, *star_orb, s.offset);
  chart.fixed_stars = Json::array();
  for (const FixedStarPosition& star : stars.positions) chart.fixed_stars.push_back(to_json(star));
  chart.aspects.insert(chart.aspects.end(), std::make_move_iterator(stars.aspects.begin()),
                       std::make_move_iterator(stars.aspects.end()));
  chart.arabic_parts = Json::array();
  for (const Lot& lot : arabic_parts(points, s.cusps)) chart.arabic_parts.push_back(to_json(lot));
  chart.temperament = to_json(temperament(s.placements, chart.aspects));
  const auto moon = lunar_status(s.placements);
  chart.lunar_status = moon ? to_json(*moon) : Json::object();

  std::vector<JudgedBody> judged;
  judged.reserve(s.placements.size());
  for (const Placement& p : s.placements) judged.push_back({p.name, p.ecliptic_longitude, p.speed});
  chart.receptions = receptions(judged, chart.aspects, scheme);
  for (const AntisciaContact& c : antiscia(points)) chart.antiscia.push_back(to_json(c));

  for (const Glyph& glyph : kGlyphs) {
    if (!find_placement(s.placements, glyph.name)) {
      chart.unavailable_bodies.emplace_back(glyph.name);
    }
  }
  std::sort(chart.unavailable_bodies.begin(), chart.unavailable_bodies.end());

  if (s.sidereal) {
    chart.ayanamsa = std::string(s.ayanamsa.code);
    chart.ayanamsa_name = std::string(s.ayanamsa.name);
    chart.ayanamsa_value = s.ayanamsa.value;
    chart.ayanamsa_formatted = s.ayanamsa.formatted;
  }
  chart.precession_rate_arcsec_yr = s.ayanamsa.precession_rate_arcsec_yr;
  chart.orb_settings = settings->json();
  if (request.chinese_calendar) {
    auto calendar = chinese::chinese_calendar(chinese::Sky(kernels), request.moment);
    if (!calendar) return unexpected(calendar.error());
    chart.chinese_calendar = chinese::to_json(*calendar);
  }
  chart.house_system = request.house_system;
  chart.zodiac_type = std::string(s.zodiac);
  chart.dignity_scheme = std::string(scheme.name());
  chart.planets = std::move(s.placements);
  chart.houses = std::move(s.houses);
  return chart;
}

Expected<Chart, EngineError> calculate_chart(const KernelSet& kernels, const ChartRequest& request) {
  auto chart = chart_without_hours(kernels, request);
  if (!chart) return chart;
  const SolarDay day = solar_day(kernels, request.moment, request.latitude, request.longitude);
  chart->planetary_hours = hours_in(day, request.moment);
  return chart;
}

Json to_json(const Placement& p) {
  const SignInfo& sign = kSigns[p.sign];
  Json out = Json::object();
  out["name"] = p.name;
  out["symbol"] = p.symbol;
  out["sign"] = sign.name;
  out["sign_symbol"] = sign.glyph;
  out["degree"] = p.degree;
  out["minute"] = p.minute;
  out["ecliptic_longitude"] = p.ecliptic_longitude;
  out["house"] = p.house;
  out["speed"] = p.speed;
  out["is_retrograde"] = p.is_retrograde;
  out["symbolic_degree"] = p.symbolic_degree;
  if (p.condition) out["condition"] = *p.condition;
  return out;
}

Json to_json(const HouseCusp& c) {
  const SignInfo& sign = kSigns[c.sign];
  Json out = Json::object();
  out["house_number"] = c.house_number;
  out["sign"] = sign.name;
  out["sign_symbol"] = sign.glyph;
  out["degree"] = c.degree;
  out["minute"] = c.minute;
  out["ecliptic_longitude"] = c.ecliptic_longitude;
  out["symbolic_degree"] = c.symbolic_degree;
  return out;
}

Json to_json(const Chart& chart) {
  Json out = Json::object();
  out["house_system"] = chart.house_system;
  out["zodiac_type"] = chart.zodiac_type;
  out["ayanamsa"] = optional_text(chart.ayanamsa);
  out["ayanamsa_name"] = optional_text(chart.ayanamsa_name);
  out["ayanamsa_value"] = chart.ayanamsa_value ? Json(*chart.ayanamsa_value) : Json(nullptr);
  out["ayanamsa_formatted"] = optional_text(chart.ayanamsa_formatted);
  out["precession_rate_arcsec_yr"] = chart.precession_rate_arcsec_yr;
  out["orb_settings"] = chart.orb_settings;
  out["planets"] = json_list(chart.planets);
  out["unavailable_bodies"] = chart.unavailable_bodies;
  out["houses"] = json_list(chart.houses);
  out["aspects"] = json_list(chart.aspects);
  out["fixed_stars"] = chart.fixed_stars;
  out["arabic_parts"] = chart.arabic_parts;
  out["temperament"] = chart.temperament;
  out["lunar_status"] = chart.lunar_status;
  out["sect"] = optional_text(chart.sect);
  out["dignity_scheme"] = chart.dignity_scheme;
  out["receptions"] = to_json_tree(chart.receptions);
  out["antiscia"] = chart.antiscia;
  if (chart.planetary_hours) out["planetary_hours"] = to_json(*chart.planetary_hours);
  if (chart.chinese_calendar) out["chinese_calendar"] = *chart.chinese_calendar;
  return out;
}

}  // namespace quorvane
