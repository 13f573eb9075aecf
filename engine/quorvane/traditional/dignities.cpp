#include "quorvane/traditional/dignities.hpp"

#include <cmath>

namespace quorvane {
namespace {

const TriplicityRow& triplicity_row(DignityScheme scheme, int sign) {
  const std::string_view element = kSigns[static_cast<size_t>(sign)].element;
  const auto& rows = triplicities(scheme);
  for (const TriplicityRow& row : rows) {
    if (row.element == element) return row;
  }
  return rows[0];  // every sign has one of the four elements
}

std::string_view bound_lord(DignityScheme scheme, int sign, double degree) {
  const BoundRow& row = bounds(scheme)[static_cast<size_t>(sign)];
  for (const Bound& b : row) {
    if (static_cast<double>(b.end) > degree) return b.lord;
  }
  return row.back().lord;
}

}  // namespace

DignityScheme DignityScheme::from_code(std::string_view code) {
  const std::string normalized = normalize_option_text(code);
  if (normalized == "dorothean" || normalized == "dorotheus" || normalized == "egyptian") {
    return Dorothean;
  }
  return Lilly;
}

std::optional<int> sign_from_name(std::string_view sign) {
  for (size_t i = 0; i < kSigns.size(); ++i) {
    if (kSigns[i].name == sign) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::optional<std::string_view> traditional_ruler(std::string_view sign) {
  const auto s = sign_from_name(sign);
  if (!s) return std::nullopt;
  return kSignRulers[static_cast<size_t>(*s)].domicile;
}

std::optional<std::string_view> exaltation(std::string_view sign) {
  const auto s = sign_from_name(sign);
  if (!s) return std::nullopt;
  const std::string_view planet = kSignRulers[static_cast<size_t>(*s)].exaltation;
  if (planet.empty()) return std::nullopt;
  return planet;
}

std::optional<std::string_view> element(std::string_view sign) {
  const auto s = sign_from_name(sign);
  if (!s) return std::nullopt;
  return kSigns[static_cast<size_t>(*s)].element;
}

bool is_debilitated(std::string_view planet, std::string_view sign) {
  const auto s = sign_from_name(sign);
  if (!s) return false;
  const SignRulers& opposite = kSignRulers[static_cast<size_t>((*s + 6) % 12)];
  return opposite.domicile == planet ||
         (!opposite.exaltation.empty() && opposite.exaltation == planet);
}

ZodiacPlace place_of(double longitude) {
  const double x = normalize_degrees(longitude);
  if (!std::isfinite(x)) return {0, x, 0};
  // The quotient is taken from the exact remainder and rounded, so floating
  // error in a division never moves a place into the neighbouring sign.
  double q = std::nearbyint((x - std::fmod(x, 30.0)) / 30.0);
  if (q > 11.0) q = 11.0;
  if (q < 0.0) q = 0.0;
  const int sign = static_cast<int>(q);
  const double degree = x - 30.0 * sign;
  double k = std::floor(degree / 10.0);
  if (k > 2.0) k = 2.0;
  if (k < 0.0) k = 0.0;
  return {sign, degree, static_cast<int>(k)};
}

DignityLords lords_at(DignityScheme scheme, double longitude) {
  const ZodiacPlace place = place_of(longitude);
  const SignRulers& rulers = kSignRulers[static_cast<size_t>(place.sign)];
  DignityLords lords;
  lords.domicile = rulers.domicile;
  if (!rulers.exaltation.empty()) lords.exaltation = rulers.exaltation;
  lords.triplicity = std::span<const std::string_view>(
      triplicity_row(scheme, place.sign).lords.data(), static_cast<size_t>(triplicity_count(scheme)));
  lords.bound = bound_lord(scheme, place.sign, place.degree);
  lords.face = face_lord(place.sign, place.decan);
  return lords;
}

std::vector<std::string_view> dignities_of(std::string_view planet, DignityScheme scheme,
                                           double longitude) {
  std::vector<std::string_view> names;
  if (planet.empty()) return names;
  const DignityLords lords = lords_at(scheme, longitude);
  if (lords.domicile == planet) names.emplace_back("domicile");
  if (lords.exaltation == planet) names.emplace_back("exaltation");
  for (std::string_view lord : lords.triplicity) {
    if (lord == planet) {
      names.emplace_back("triplicity");
      break;
    }
  }
  if (lords.bound == planet) names.emplace_back("bound");
  if (lords.face == planet) names.emplace_back("face");
  return names;
}

EssentialDignity essential_dignity(std::string_view planet, DignityScheme scheme, double longitude,
                                   bool diurnal) {
  EssentialDignity e;
  const ZodiacPlace place = place_of(longitude);
  e.lords = lords_at(scheme, longitude);
  e.domicile = e.lords.domicile == planet;
  e.exaltation = e.lords.exaltation == planet;
  e.triplicity = e.lords.triplicity[diurnal ? 0 : 1] == planet ||
                 (scheme == DignityScheme::Dorothean && e.lords.triplicity[2] == planet);
  e.bound = e.lords.bound == planet;
  e.face = e.lords.face == planet;
  const SignRulers& opposite = kSignRulers[static_cast<size_t>((place.sign + 6) % 12)];
  e.detriment = opposite.domicile == planet;
  e.fall = !opposite.exaltation.empty() && opposite.exaltation == planet;
  e.peregrine = !(e.domicile || e.exaltation || e.triplicity || e.bound || e.face);
  const DignityScores& p = kDignityScores;
  e.score = p.domicile * e.domicile + p.exaltation * e.exaltation + p.triplicity * e.triplicity +
            p.bound * e.bound + p.face * e.face + p.detriment * e.detriment + p.fall * e.fall +
            p.peregrine * e.peregrine;
  return e;
}

void write(RecordWriter& out, const DignityLords& lords) {
  ObjectWriter(out)
      .field("domicile", lords.domicile)
      .field("exaltation", lords.exaltation)
      .field("triplicity", lords.triplicity)
      .field("bound", lords.bound)
      .field("face", lords.face);
}

void write(RecordWriter& out, const EssentialDignity& e) {
  ObjectWriter(out)
      .field("domicile", e.domicile)
      .field("exaltation", e.exaltation)
      .field("triplicity", e.triplicity)
      .field("bound", e.bound)
      .field("face", e.face)
      .field("detriment", e.detriment)
      .field("fall", e.fall)
      .field("peregrine", e.peregrine)
      .field("score", e.score)
      .field("lords", e.lords);
}

}  // namespace quorvane
