#include "quorvane/chart/chart.hpp"

#include <algorithm>

#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/astronomy/planets.hpp"
#include "quorvane/base/angles.hpp"
#include "quorvane/frames/frames.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/julian_day.hpp"
#include "quorvane/traditional/dignities.hpp"
#include "quorvane/traditional/receptions.hpp"
#include "quorvane/traditional/temperament.hpp"
#include "quorvane/zodiac/houses.hpp"
#include "quorvane/zodiac/options.hpp"

namespace quorvane {

double house_obliquity_nutation(std::string_view house_obliquity, double jd) {
  if (house_obliquity != "true") return 0.0;
  return orientation_2000a(Time::from_ut1(jd)).deps * kDegreesPerRadian;
}

double house_obliquity_nutation(const ChartRequest& request, double jd) {
  return house_obliquity_nutation(request.house_obliquity, jd);
}

Expected<Sky, EngineError> sky(const KernelSet& kernels, const ChartRequest& request) {
  Sky result;
  result.sidereal = zodiac_type_from_text(request.zodiac_type) == ZodiacType::Sidereal;
  result.zodiac = result.sidereal ? "sidereal" : "tropical";
  result.jd = request.moment.julian_day();
  result.ayanamsa = ayanamsa_info(request.ayanamsa, result.jd);
  result.ayanamsa_code = result.ayanamsa.code;
  result.offset = result.sidereal ? result.ayanamsa.value : 0.0;

  auto bodies = planets_and_sidereal_time(kernels, result.jd, result.offset, request.node == "true");
  if (!bodies) return unexpected(bodies.error());

  const HouseSystem system = HouseSystem::from_code(request.house_system);
  HouseChoice choice = house_choice(request);
  const double obliquity_nutation = choice.obliquity_nutation;
  result.house_obliquity = choice.obliquity;
  result.ramc = ramc_degrees(bodies->sidereal_time, request.longitude);
  result.latitude = request.latitude;
  result.polar = choice.polar;
  result.house_system = std::move(choice.code);
  result.house_system_fallback = std::move(choice.fallback);
  // The bodies' first instant already carries the apparent sidereal time
  // with the full nutation series.
  double sun_longitude = kNoSun;
  for (const BodyPosition& b : bodies->bodies) {
    if (b.name == "Sun") sun_longitude = b.longitude + result.offset;
  }
  const HouseResult houses = houses_at_sidereal_time(system, result.jd, bodies->sidereal_time,
                                                     request.latitude, request.longitude,
                                                     result.offset, sun_longitude,
                                                     obliquity_nutation);
  result.cusps = houses.cusps;
  result.houses = house_cusp_records(houses);

  std::vector<BodyView> placed;
  placed.reserve(bodies->bodies.size() + 2);
  for (const BodyPosition& b : bodies->bodies) {
    placed.push_back({b.name, b.longitude, b.speed, b.retrograde});
  }
  result.placements = placements(std::move(placed), houses.cusps, houses.ascendant, houses.midheaven);
  return result;
}

HouseChoice house_choice(const ChartRequest& request) {
  const double jd = request.moment.julian_day();
  const HouseSystem system = HouseSystem::from_code(request.house_system);
  HouseChoice choice;
  choice.obliquity_nutation = house_obliquity_nutation(request, jd);
  choice.obliquity = mean_obliquity_iau1980(jd) + choice.obliquity_nutation;
  choice.polar = beyond_polar_circle(request.latitude, choice.obliquity);
  choice.code = std::string(1, system.code());
  const std::string name(kHouseSystemCodes[system].name);
  if (house_system_note(request.house_system)) {
    choice.fallback = "no house system is called \"" + request.house_system + "\": " + name + " used";
  } else if (choice.polar && is_quadrant_system(system) && system != HouseSystem::Porphyry) {
    choice.code = "O";
    choice.polar_fallback = true;
    choice.fallback = name + " cannot divide the houses beyond the polar circles: Porphyry used";
  }
  return choice;
}

HorizonSides horizon_sides(const Sky& sky, double ascendant) {
  return sky.polar ? HorizonSides::by_altitude(sky.ramc, sky.latitude, sky.house_obliquity, sky.offset)
                   : HorizonSides::by_ascendant(ascendant);
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
  const Placement* sun = first_named(s.placements, "Sun");
  const Placement* ascendant = first_named(s.placements, "Ascendant");
  if (sun && ascendant) {
    const double sun_longitude = sun->ecliptic_longitude;
    const double asc_longitude = ascendant->ecliptic_longitude;
    const HorizonSides sides = horizon_sides(s, asc_longitude);
    for (Placement& p : s.placements) {
      auto c = condition(p.name, p.ecliptic_longitude, p.speed, scheme, sun_longitude, sides);
      p.condition = c;
    }
    chart.sect = std::string(sect_name(sides.above(sun_longitude)));
  }

  std::vector<Point> points;
  points.reserve(s.placements.size());
  for (const Placement& p : s.placements) points.push_back({p.name, p.ecliptic_longitude, p.speed});
  auto aspects = natal_aspects(points, *settings);
  if (!aspects) return unexpected(aspects.error());
  chart.aspects = std::move(aspects).value();

  FixedStars stars =
      fixed_stars(s.cusps, points, s.sidereal, s.jd, settings->fixed_star_orb(), s.offset);
  chart.fixed_stars = std::move(stars.positions);
  chart.aspects.insert(chart.aspects.end(), std::make_move_iterator(stars.aspects.begin()),
                       std::make_move_iterator(stars.aspects.end()));
  chart.arabic_parts = arabic_parts(points, s.cusps);
  chart.temperament = temperament(s.placements, chart.aspects);
  chart.lunar_status = lunar_status(s.placements);

  std::vector<BodyView> judged;
  judged.reserve(s.placements.size());
  for (const Placement& p : s.placements) judged.push_back(view_of(p));
  chart.receptions = receptions(judged, chart.aspects, scheme);
  chart.antiscia = antiscia(points);

  for (const Body& body : kBodies) {
    if (!first_named(s.placements, body.name)) chart.unavailable_bodies.emplace_back(body.name);
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
    chart.chinese_calendar = std::move(calendar).value();
  }
  chart.house_system = request.house_system;
  chart.house_system_used = s.house_system;
  chart.house_system_fallback = s.house_system_fallback;
  chart.node = request.node;
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

bool can_cast_chart(const KernelSet& kernels, double jd) {
  const Kernel* kernel = kernels.for_jd(jd);
  if (kernel == nullptr) return false;
  // Light time reaches hours back and the speeds an hour ahead: only near the
  // ends of a kernel is a chart tried to find out.
  if (kernels.for_jd(jd - 0.5) == kernel && kernels.for_jd(jd + 0.5) == kernel) return true;
  ChartRequest request;
  request.moment = instant_from_julian_day(jd);
  return calculate_chart(kernels, request).has_value();
}

void write(RecordWriter& out, const Chart& chart) {
  ObjectWriter o(out);
  o.field("house_system", chart.house_system)
      .field("house_system_used", chart.house_system_used)
      .field("house_system_fallback", chart.house_system_fallback)
      .field("node", chart.node)
      .field("zodiac_type", chart.zodiac_type)
      .field("ayanamsa", chart.ayanamsa)
      .field("ayanamsa_name", chart.ayanamsa_name)
      .field("ayanamsa_value", chart.ayanamsa_value)
      .field("ayanamsa_formatted", chart.ayanamsa_formatted)
      .field("precession_rate_arcsec_yr", chart.precession_rate_arcsec_yr)
      .field("orb_settings", chart.orb_settings)
      .field("planets", chart.planets)
      .field("unavailable_bodies", chart.unavailable_bodies)
      .field("houses", chart.houses)
      .field("aspects", chart.aspects)
      .field("fixed_stars", chart.fixed_stars)
      .field("arabic_parts", chart.arabic_parts)
      .field("temperament", chart.temperament);
  o.writer().key("lunar_status");
  if (chart.lunar_status) {
    write(out, *chart.lunar_status);
  } else {
    // A chart without a Moon shows an empty status.
    out.begin_object();
    out.end_object();
  }
  o.field("sect", chart.sect)
      .field("dignity_scheme", chart.dignity_scheme)
      .field("receptions", chart.receptions)
      .field("antiscia", chart.antiscia);
  if (chart.planetary_hours) o.field("planetary_hours", *chart.planetary_hours);
  if (chart.chinese_calendar) o.field("chinese_calendar", *chart.chinese_calendar);
}

}  // namespace quorvane
