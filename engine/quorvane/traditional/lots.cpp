#include "quorvane/traditional/lots.hpp"

#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

// Earlier lots shadow points of the same name; an unknown name counts as 0.
double operand(std::string_view name, const std::vector<Lot>& lots,
               const std::vector<Point>& points, std::span<const double> cusps) {
  for (const Lot& lot : lots) {
    if (lot.definition->name == name) return lot.ecliptic_longitude;
  }
  if (const Point* p = first_named(points, name)) return p->longitude;
  if (name == "House 8" && cusps.size() > 7) return cusps[7];
  return 0.0;
}

}  // namespace

std::vector<Lot> arabic_parts(const std::vector<Point>& points, std::span<const double> cusps) {
  std::vector<Lot> lots;
  const Point* sun = first_named(points, "Sun");
  if (!sun || !first_named(points, "Ascendant")) return lots;

  const bool diurnal = !cusps.empty() && determine_house(cusps, sun->longitude) > 6;
  const std::string_view sect = diurnal ? "Day" : "Night";
  lots.reserve(kLots.size());
  for (const LotDefinition& def : kLots) {
    const std::string_view added = diurnal ? def.first : def.second;
    const std::string_view taken = diurnal ? def.second : def.first;
    const double longitude = normalize_degrees(operand(def.base, lots, points, cusps) +
                                               operand(added, lots, points, cusps) -
                                               operand(taken, lots, points, cusps));
    const LongitudeSplit split = split_longitude(longitude);
    Lot lot;
    lot.definition = &def;
    lot.sign = split.sign;
    lot.degree = split.degree;
    lot.minute = split.minute;
    lot.ecliptic_longitude = longitude;
    lot.house = determine_house(cusps, longitude);
    lot.formula_used = def.base == "Ascendant" ? std::string("ASC") : std::string(def.base);
    lot.formula_used.append(" + ").append(added).append(" - ").append(taken);
    lot.formula_used.append(" (").append(sect).append(")");
    lot.is_diurnal = diurnal;
    lot.symbolic_degree = split.symbolic_degree;
    lots.push_back(std::move(lot));
  }
  return lots;
}

void write(RecordWriter& out, const Lot& lot) {
  const SignInfo& sign = kSigns[lot.sign];
  ObjectWriter(out)
      .field("name", lot.definition->name)
      .field("symbol", lot.definition->symbol)
      .field("sign", sign.name)
      .field("sign_symbol", sign.glyph)
      .field("degree", lot.degree)
      .field("minute", lot.minute)
      .field("ecliptic_longitude", lot.ecliptic_longitude)
      .field("house", lot.house)
      .field("formula_used", lot.formula_used)
      .field("is_diurnal", lot.is_diurnal)
      .field("symbolic_degree", lot.symbolic_degree);
}

}  // namespace quorvane
