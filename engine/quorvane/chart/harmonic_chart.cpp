// Harmonic charts: the chart's points at n times their longitudes, with the
// aspects the chart's own orb settings find among the new places.
#include <cmath>

#include "quorvane/chart/chart_structure.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/aspects.hpp"
#include "quorvane/zodiac/orb_settings.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

Expected<Json, EngineError> harmonic_chart(const Json& chart, long long n) {
  if (n < 1 || n > 360) {
    return unexpected(EngineError::invalid_input("the harmonic must be within 1 to 360"));
  }
  if (!chart.is_object() || !chart.contains("planets")) {
    return unexpected(EngineError::invalid_input("the chart has no planets"));
  }
  auto points = points_from_json(chart["planets"]);
  if (!points) return unexpected(std::move(points).error());
  Json given = chart.contains("orb_settings") && chart["orb_settings"].is_object()
                   ? chart["orb_settings"]
                   : Json::object();
  auto settings = OrbSettings::read(given);
  if (!settings) return unexpected(std::move(settings).error());

  std::vector<Point> harmonic;
  Json planets = Json::array();
  for (const Point& p : *points) {
    if (!std::isfinite(p.longitude)) continue;
    // fmod of the product keeps precision for any n the range admits.
    double at = std::fmod(std::fmod(p.longitude, 360.0) * static_cast<double>(n), 360.0);
    if (at < 0.0) at += 360.0;
    const SignInfo& sign = kSigns[static_cast<size_t>(at / 30.0) % 12];
    planets.push_back({{"name", p.name},
                       {"ecliptic_longitude", at},
                       {"radix_longitude", p.longitude},
                       {"sign", sign.name},
                       {"sign_symbol", sign.glyph},
                       {"speed", p.speed * static_cast<double>(n)}});
    harmonic.push_back({p.name, at, p.speed * static_cast<double>(n)});
  }
  auto aspects = natal_aspects(harmonic, *settings);
  if (!aspects) return unexpected(std::move(aspects).error());
  return Json{{"harmonic", n},
              {"planets", std::move(planets)},
              {"aspects", to_json_tree(*aspects)},
              {"orb_settings", settings->json()}};
}

}  // namespace quorvane
