#include "quorvane/traditional/placement.hpp"

#include "quorvane/astronomy/bodies.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {

std::vector<HouseCusp> house_cusp_records(const HouseResult& houses) {
  const bool sectors = !houses.sectors.empty();
  const double* cusps = sectors ? houses.sectors.data() : houses.cusps.data();
  const size_t count = sectors ? houses.sectors.size() : houses.cusps.size();
  std::vector<HouseCusp> records;
  records.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const LongitudeSplit split = split_longitude(cusps[i]);
    records.push_back({static_cast<uint8_t>(i + 1), split.sign, split.degree, split.minute,
                       cusps[i], split.symbolic_degree});
  }
  return records;
}

std::vector<double> twelve_cusps(const std::vector<HouseCusp>& houses) {
  std::vector<double> cusps;
  cusps.reserve(12);
  const bool sectors = houses.size() == 36;
  for (size_t h = 1; h <= 12 && h <= houses.size(); ++h) {
    cusps.push_back(houses[sectors ? 3 * ((13 - h) % 12) : h - 1].ecliptic_longitude);
  }
  return cusps;
}

Expected<PlacedBodies, EngineError> place_with_aspects(std::vector<BodyView> bodies,
                                                       const HouseResult& houses,
                                                       const OrbSettings& settings) {
  PlacedBodies placed;
  placed.houses = house_cusp_records(houses);
  placed.planets = placements(std::move(bodies), houses.cusps, houses.ascendant, houses.midheaven);
  std::vector<Point> points;
  points.reserve(placed.planets.size());
  for (const Placement& p : placed.planets) points.push_back({p.name, p.ecliptic_longitude});
  auto aspects = natal_aspects(points, settings);
  if (!aspects) return unexpected(std::move(aspects).error());
  placed.aspects = std::move(aspects).value();
  return placed;
}

BodyView view_of(const Placement& p) {
  return {p.name, p.ecliptic_longitude, p.speed, p.is_retrograde};
}

std::vector<Placement> placements(std::vector<BodyView> bodies, const std::array<double, 12>& cusps,
                                  double ascendant, double midheaven) {
  bodies.push_back({"Ascendant", ascendant, 0.0, false});
  bodies.push_back({"Midheaven", midheaven, 0.0, false});
  std::vector<Placement> result;
  result.reserve(bodies.size());
  for (const BodyView& body : bodies) {
    const LongitudeSplit split = split_longitude(body.longitude);
    Placement p;
    p.symbol = std::string(symbol_of(body.name));
    p.name = std::string(body.name);
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

void write(RecordWriter& out, const Placement& p) {
  const SignInfo& sign = kSigns[p.sign];
  ObjectWriter o(out);
  o.field("name", p.name)
      .field("symbol", p.symbol)
      .field("sign", sign.name)
      .field("sign_symbol", sign.glyph)
      .field("degree", p.degree)
      .field("minute", p.minute)
      .field("ecliptic_longitude", p.ecliptic_longitude)
      .field("house", p.house)
      .field("speed", p.speed)
      .field("is_retrograde", p.is_retrograde)
      .field("symbolic_degree", p.symbolic_degree);
  if (p.condition) o.field("condition", *p.condition);
}

void write(RecordWriter& out, const HouseCusp& c) {
  const SignInfo& sign = kSigns[c.sign];
  ObjectWriter o(out);
  o.field("house_number", c.house_number)
      .field("sign", sign.name)
      .field("sign_symbol", sign.glyph)
      .field("degree", c.degree)
      .field("minute", c.minute)
      .field("ecliptic_longitude", c.ecliptic_longitude)
      .field("symbolic_degree", c.symbolic_degree);
}

}  // namespace quorvane
