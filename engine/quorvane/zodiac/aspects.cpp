#include "quorvane/zodiac/aspects.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/base/text.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

namespace {

// The first aspect of the table the settings allow between two points of
// the given orbs. An orb that cannot be read fails only when the search
// reaches it, as a search reading the settings as it goes would.
Expected<std::optional<AspectMatch>, EngineError> match_aspect(const OrbSettings& settings,
                                                               const OrbSettings::Orb& orb1,
                                                               const OrbSettings::Orb& orb2,
                                                               double separation) {
  const bool moiety_rule = settings.uses_planet_orbs();
  for (size_t k = 0; k < kAspectTable.size(); ++k) {
    const AspectKind& aspect = kAspectTable[k];
    const auto& orb = settings.aspect_orb(k);
    if (!orb) return unexpected(orb.error());
    const double aspect_orb = *orb;
    double allowed = aspect_orb;
    if (moiety_rule) {
      if (!orb1) return unexpected(orb1.error());
      if (!orb2) return unexpected(orb2.error());
      const double moiety = (*orb1 + *orb2) * 0.5;
      switch (settings.method()) {
        case OrbMethod::Hybrid:
          allowed = std::fmin(aspect_orb, moiety);
          break;
        case OrbMethod::Weighted: {
          // The conjunction orb was read (and its error reported) at k = 0.
          const double conjunction = *settings.aspect_orb(0);
          const double weight = settings.aspect_given(k) && conjunction > 0.0
                                    ? aspect_orb / conjunction
                                    : aspect_weight(aspect.name);
          allowed = moiety * weight;
          break;
        }
        case OrbMethod::Traditional:
        case OrbMethod::AspectOnly:
          allowed = moiety;
          break;
      }
    }
    const double deviation = std::fabs(separation - aspect.angle);
    if (moiety_rule) {
      // Rounding to hundredths moves the orb by at most 0.005, so a
      // deviation well beyond it is decided without the (costly) rounding.
      if (deviation > allowed + 0.01) continue;
      allowed = pyfloat::round(allowed, 2);
    }
    if (allowed >= deviation) {
      return std::optional<AspectMatch>(AspectMatch{&aspect, deviation, allowed});
    }
  }
  return std::optional<AspectMatch>();
}

bool is_node_pair(std::string_view a, std::string_view b) {
  return (a == "North Node" && b == "South Node") || (a == "South Node" && b == "North Node");
}

template <class Record>
void fill_aspect_fields(Record& record, const AspectMatch& match, const Point& a, const Point& b) {
  record.aspect_type = std::string(match.aspect->name);
  record.symbol = std::string(match.aspect->symbol);
  record.angle = match.aspect->angle;
  record.orb = pyfloat::round(match.deviation, 2);
  record.max_orb = pyfloat::round(match.allowed, 2);
  record.is_major = match.aspect->major;
  record.is_applying = is_applying(a, b, match.aspect->angle);
}

double sign_of(double x) { return x > 0.0 ? 1.0 : x < 0.0 ? -1.0 : 0.0; }

}  // namespace

Expected<std::optional<AspectMatch>, EngineError> find_aspect(const OrbSettings& settings,
                                                              std::string_view name1,
                                                              std::string_view name2,
                                                              double separation) {
  return match_aspect(settings, settings.planet_orb(name1), settings.planet_orb(name2), separation);
}

bool is_applying(const Point& a, const Point& b, double angle) {
  // Signed arc from b to a in [-180, 180); the separation is its size.
  const double arc = remainder_degrees(a.longitude - b.longitude + 180.0) - 180.0;
  const double closing = a.speed - b.speed;  // rate of change of the arc
  // The separation grows with the arc's size; from an exact conjunction any
  // relative motion opens it.
  const double separation_rate = arc == 0.0 ? std::fabs(closing) : sign_of(arc) * closing;
  const double deviation_rate = sign_of(std::fabs(arc) - angle) * separation_rate;
  return deviation_rate < 0.0;
}

void write(RecordWriter& out, const Aspect& aspect) {
  ObjectWriter o(out);
  o.field("body1", aspect.body1)
      .field("body2", aspect.body2)
      .field("aspect_type", aspect.aspect_type)
      .field("symbol", aspect.symbol)
      .field("angle", aspect.angle)
      .field("orb", aspect.orb)
      .field("max_orb", aspect.max_orb);
  if (aspect.is_major) o.field("is_major", *aspect.is_major);
  o.field("is_applying", aspect.is_applying);
}

void write(RecordWriter& out, const CrossAspect& aspect) {
  ObjectWriter(out)
      .field("body1", aspect.body1)
      .field("body1_source", aspect.body1_source)
      .field("body2", aspect.body2)
      .field("body2_source", aspect.body2_source)
      .field("aspect_type", aspect.aspect_type)
      .field("symbol", aspect.symbol)
      .field("angle", aspect.angle)
      .field("orb", aspect.orb)
      .field("max_orb", aspect.max_orb)
      .field("is_major", aspect.is_major)
      .field("is_applying", aspect.is_applying);
}

Expected<std::vector<Aspect>, EngineError> natal_aspects(const std::vector<Point>& points,
                                                         const OrbSettings& settings) {
  std::vector<const OrbSettings::Orb*> orbs;
  orbs.reserve(points.size());
  for (const auto& point : points) orbs.push_back(&settings.planet_orb(point.name));

  std::vector<Aspect> aspects;
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = i + 1; j < points.size(); ++j) {
      if (is_node_pair(points[i].name, points[j].name)) continue;
      const double separation = angular_separation(points[i].longitude, points[j].longitude);
      auto found = match_aspect(settings, *orbs[i], *orbs[j], separation);
      if (!found) return unexpected(std::move(found).error());
      if (!*found) continue;
      Aspect aspect;
      aspect.body1 = points[i].name;
      aspect.body2 = points[j].name;
      fill_aspect_fields(aspect, **found, points[i], points[j]);
      aspects.push_back(std::move(aspect));
    }
  }
  return aspects;
}

Expected<std::vector<CrossAspect>, EngineError> cross_aspects(const std::vector<Point>& base,
                                                              const std::vector<Point>& overlay,
                                                              const Json* user_orb_settings) {
  auto settings = OrbSettings::merge(user_orb_settings);
  if (!settings) return unexpected(std::move(settings).error());
  std::vector<const OrbSettings::Orb*> base_orbs;
  base_orbs.reserve(base.size());
  for (const auto& point : base) base_orbs.push_back(&settings->planet_orb(point.name));

  std::vector<CrossAspect> aspects;
  for (const auto& over : overlay) {
    const OrbSettings::Orb& over_orb = settings->planet_orb(over.name);
    for (size_t j = 0; j < base.size(); ++j) {
      if (is_node_pair(over.name, base[j].name)) continue;
      const double separation = angular_separation(over.longitude, base[j].longitude);
      auto found = match_aspect(*settings, over_orb, *base_orbs[j], separation);
      if (!found) return unexpected(std::move(found).error());
      if (!*found) continue;
      CrossAspect aspect;
      aspect.body1 = over.name;
      aspect.body2 = base[j].name;
      fill_aspect_fields(aspect, **found, over, base[j]);
      aspects.push_back(std::move(aspect));
    }
  }
  return aspects;
}

Expected<std::vector<Point>, EngineError> points_from_json(const Json& value) {
  if (!value.is_array()) return unexpected(EngineError::invalid_input("planets must be a list"));
  // A chart has a few dozen points; thousands would make every pairwise
  // answer (synastry, timelines) grow past memory.
  if (value.size() > kMaxChartPoints) {
    return unexpected(EngineError::invalid_input(
        format("a list of planets holds at most %zu points, not %zu; split it", kMaxChartPoints,
               value.size())));
  }
  std::vector<Point> points;
  points.reserve(value.size());
  for (const auto& entry : value) {
    const auto name_it = entry.is_object() ? entry.find("name") : entry.end();
    if (!entry.is_object() || name_it == entry.end() || !name_it->is_string()) {
      return unexpected(EngineError::invalid_input("every planet needs a name"));
    }
    const auto& name = name_it->get_ref<const std::string&>();
    const auto longitude_it = entry.find("ecliptic_longitude");
    if (longitude_it == entry.end()) {
      return unexpected(EngineError::invalid_input(name + " has no ecliptic_longitude"));
    }
    auto longitude = py_float(*longitude_it);
    if (!longitude) return unexpected(std::move(longitude).error());
    double speed = 0.0;
    if (const auto speed_it = entry.find("speed"); speed_it != entry.end()) {
      auto read = py_float(*speed_it);
      if (!read) return unexpected(std::move(read).error());
      speed = *read;
    }
    points.push_back(Point{name, *longitude, speed});
  }
  return points;
}

}  // namespace quorvane
