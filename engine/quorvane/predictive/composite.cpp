#include "quorvane/predictive/composite.hpp"

#include "quorvane/astronomy/body_longitude.hpp"
#include "quorvane/zodiac/moved_angles.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {


ChartRequest at_place(const ChartRequest& options, const BirthPlace& place) {
  ChartRequest request = options;
  request.moment = place.moment;
  request.latitude = place.latitude;
  request.longitude = place.longitude;
  request.chinese_calendar = false;
  return request;
}

}  // namespace

double nearer_midpoint(double a, double b) {
  return normalize_degrees(a + 0.5 * signed_difference(b, a));
}

BirthPlace midpoint_place(const BirthPlace& a, const BirthPlace& b) {
  const int64_t x = a.moment.micros(), y = b.moment.micros();
  // Halves first: the sum of two counts may leave 64 bits.
  const int64_t middle = x / 2 + y / 2 + (x % 2 + y % 2) / 2;
  double longitude = a.longitude + 0.5 * signed_difference(b.longitude, a.longitude);
  if (longitude > 180.0) longitude -= 360.0;
  if (longitude <= -180.0) longitude += 360.0;
  return {UtcInstant(middle), 0.5 * (a.latitude + b.latitude), longitude};
}

Expected<CompositeChart, EngineError> composite_chart(const KernelSet& kernels,
                                                      const ChartRequest& options,
                                                      const BirthPlace& a, const BirthPlace& b) {
  auto settings = OrbSettings::merge(options.orb_settings ? &*options.orb_settings : nullptr);
  if (!settings) return unexpected(std::move(settings).error());
  auto sky_a = sky(kernels, at_place(options, a));
  if (!sky_a) return unexpected(std::move(sky_a).error());
  auto sky_b = sky(kernels, at_place(options, b));
  if (!sky_b) return unexpected(std::move(sky_b).error());

  CompositeChart chart;
  chart.midpoint = midpoint_place(a, b);
  const double jd = chart.midpoint.moment.julian_day();
  const ZodiacChoice zodiac = ZodiacChoice::from_texts(options.zodiac_type, options.ayanamsa);
  chart.zodiac_type = zodiac.sidereal ? "sidereal" : "tropical";
  if (zodiac.sidereal) chart.ayanamsa = std::string(sky_a->ayanamsa_code);

  std::vector<BodyView> bodies;
  for (const Placement& p : sky_a->placements) {
    if (p.name == "Ascendant" || p.name == "Midheaven") continue;
    const Placement* q = first_named(sky_b->placements, p.name);
    if (!q) continue;
    const double speed = 0.5 * (p.speed + q->speed);
    bodies.push_back({p.name, nearer_midpoint(p.ecliptic_longitude, q->ecliptic_longitude), speed,
                      speed < 0.0 && (p.is_retrograde || q->is_retrograde)});
  }
  const double midheaven = nearer_midpoint(first_named(sky_a->placements, "Midheaven")->ecliptic_longitude,
                                           first_named(sky_b->placements, "Midheaven")->ecliptic_longitude);
  double sun = kNoSun;
  for (const BodyView& b : bodies) {
    if (b.name == "Sun") sun = b.longitude + zodiac.offset(jd);
  }
  const HouseResult houses = houses_for_midheaven(
      HouseSystem::from_code(options.house_system), midheaven, jd, chart.midpoint.latitude,
      zodiac.offset(jd), house_obliquity_nutation(options, jd), sun);
  auto placed = place_with_aspects(std::move(bodies), houses, *settings);
  if (!placed) return unexpected(std::move(placed).error());
  chart.houses = std::move(placed->houses);
  chart.planets = std::move(placed->planets);
  chart.aspects = std::move(placed->aspects);
  return chart;
}

Expected<DavisonChart, EngineError> davison_chart(const KernelSet& kernels,
                                                  const ChartRequest& options,
                                                  const BirthPlace& a, const BirthPlace& b) {
  DavisonChart result;
  result.midpoint = midpoint_place(a, b);
  auto chart = calculate_chart(kernels, at_place(options, result.midpoint));
  if (!chart) return unexpected(std::move(chart).error());
  result.chart = std::move(chart).value();
  return result;
}

void write(RecordWriter& out, const BirthPlace& place) {
  ObjectWriter(out)
      .field("moment", place.moment.isoformat())
      .field("julian_day", place.moment.julian_day())
      .field("latitude", place.latitude)
      .field("longitude", place.longitude);
}

void write(RecordWriter& out, const CompositeChart& chart) {
  ObjectWriter(out)
      .field("midpoint", chart.midpoint)
      .field("zodiac_type", chart.zodiac_type)
      .field("ayanamsa", chart.ayanamsa)
      .field("planets", chart.planets)
      .field("houses", chart.houses)
      .field("aspects", chart.aspects);
}

void write(RecordWriter& out, const DavisonChart& chart) {
  ObjectWriter(out).field("midpoint", chart.midpoint).field("chart", chart.chart);
}

}  // namespace quorvane
