#include "quorvane/traditional/temperament.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/traditional/dignities.hpp"
#include "quorvane/traditional/placement.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

Qualities element_qualities(std::string_view element) {
  if (element == "Fire") return {1, 0, 0, 1};
  if (element == "Air") return {1, 0, 1, 0};
  if (element == "Water") return {0, 1, 1, 0};
  return {0, 1, 0, 1};  // Earth
}

std::optional<Qualities> planet_nature(std::string_view name) {
  struct Nature {
    std::string_view name;
    Qualities qualities;
  };
  static constexpr std::array<Nature, 10> kNatures{{
      {"Sun", {1, 0, 0, 1}},
      {"Moon", {0, 1, 1, 0}},
      {"Mercury", {0, 1, 0, 1}},
      {"Venus", {0, 1, 1, 0}},
      {"Mars", {1, 0, 0, 1}},
      {"Jupiter", {1, 0, 1, 0}},
      {"Saturn", {0, 1, 0, 1}},
      {"Uranus", {1, 0, 0, 1}},
      {"Neptune", {0, 1, 1, 0}},
      {"Pluto", {1, 0, 0, 1}},
  }};
  for (const Nature& n : kNatures) {
    if (n.name == name) return n.qualities;
  }
  return std::nullopt;
}

struct Season {
  std::string_view text;
  Qualities qualities;
};

// Three signs per season, from Aries.
constexpr std::array<Season, 4> kSeasons{{
    {"Spring (Hot & Wet)", {1, 0, 1, 0}},
    {"Summer (Hot & Dry)", {1, 0, 0, 1}},
    {"Autumn (Cold & Dry)", {0, 1, 0, 1}},
    {"Winter (Cold & Wet)", {0, 1, 1, 0}},
}};

constexpr std::array<Season, 4> kLunarQuarters{{
    {"1st Quarter Waxing (Hot & Wet)", {1, 0, 1, 0}},
    {"2nd Quarter Gibbous (Hot & Dry)", {1, 0, 0, 1}},
    {"3rd Quarter Full/Waning (Cold & Dry)", {0, 1, 0, 1}},
    {"4th Quarter Crescent (Cold & Wet)", {0, 1, 1, 0}},
}};

Qualities operator+(Qualities a, const Qualities& b) {
  return {a.hot + b.hot, a.cold + b.cold, a.wet + b.wet, a.dry + b.dry};
}

// Bodies in the first house that bring no testimony of their own.
bool excluded_from_first_house(std::string_view name) {
  return name == "Ascendant" || name == "Midheaven" || name == "North Node" ||
         name == "South Node" || name == "Part of Fortune";
}

class Tally {
 public:
  void add(std::string factor, std::string details, double weight, const Qualities& q) {
    const Qualities amounts{weight * q.hot, weight * q.cold, weight * q.wet, weight * q.dry};
    totals_ = totals_ + amounts;
    breakdown_.push_back({std::move(factor), std::move(details),
                          {pyfloat::round(amounts.hot, 1), pyfloat::round(amounts.cold, 1),
                           pyfloat::round(amounts.wet, 1), pyfloat::round(amounts.dry, 1)}});
  }
  const Qualities& totals() const { return totals_; }
  std::vector<TemperamentFactor> take_breakdown() { return std::move(breakdown_); }

 private:
  Qualities totals_;
  std::vector<TemperamentFactor> breakdown_;
};

std::string joined(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out.append(part);
  return out;
}

// "Leo (Fire)".
std::string sign_with_element(const Placement& p) {
  const SignInfo& sign = kSigns[p.sign];
  return joined({sign.name, " (", sign.element, ")"});
}

double share(double part, double total) { return pyfloat::round(100.0 * part / total, 1); }

}  // namespace

Temperament temperament(const std::vector<Placement>& placements, const std::vector<Aspect>& aspects) {
  Tally tally;
  const Placement* ascendant = first_named(placements, "Ascendant");
  const Placement* sun = first_named(placements, "Sun");
  const Placement* moon = first_named(placements, "Moon");

  if (ascendant) {
    const SignInfo& sign = kSigns[ascendant->sign];
    tally.add("Ascendant Sign", sign_with_element(*ascendant), 4, element_qualities(sign.element));
    const std::string_view lord = domicile_ruler(ascendant->sign);
    if (const Placement* ruler = first_named(placements, lord)) {
      tally.add("Lord of Ascendant Nature", std::string(lord), 3,
                planet_nature(lord).value_or(Qualities{}));
      const SignInfo& ruler_sign = kSigns[ruler->sign];
      tally.add("Lord of Ascendant Sign",
                joined({lord, " in ", ruler_sign.name, " (", ruler_sign.element, ")"}), 3,
                element_qualities(ruler_sign.element));
    }
  }
  if (sun) {
    tally.add("Sun Sign", sign_with_element(*sun), 4, element_qualities(kSigns[sun->sign].element));
    const Season& season = kSeasons[sun->sign / 3];
    tally.add("Solar Season", std::string(season.text), 2, season.qualities);
  }
  if (moon) {
    tally.add("Moon Sign", sign_with_element(*moon), 4, element_qualities(kSigns[moon->sign].element));
  }
  if (sun && moon) {
    // A Moon a hair behind the Sun gives 360 here: the last quarter, not the first.
    const double e = remainder_degrees(moon->ecliptic_longitude - sun->ecliptic_longitude);
    const Season& quarter = e < 90.0    ? kLunarQuarters[0]
                            : e < 180.0 ? kLunarQuarters[1]
                            : e < 270.0 ? kLunarQuarters[2]
                                        : kLunarQuarters[3];
    tally.add("Lunar Phase", std::string(quarter.text), 2, quarter.qualities);
  }
  for (const Placement& p : placements) {
    if (p.house != 1 || excluded_from_first_house(p.name)) continue;
    const SignInfo& sign = kSigns[p.sign];
    const Qualities nature = planet_nature(p.name).value_or(Qualities{});
    tally.add("Planet in House 1", joined({p.name, " in ", sign.name}), 1,
              nature + element_qualities(sign.element));
  }
  for (const Aspect& a : aspects) {
    if (a.body1 != "Ascendant" && a.body2 != "Ascendant") continue;
    const std::string& other = a.body1 == "Ascendant" ? a.body2 : a.body1;
    const auto nature = planet_nature(other);
    if (!nature) continue;
    tally.add("Aspect to Ascendant", joined({other, " ", a.aspect_type, " ASC"}), 1, *nature);
  }

  const Qualities& q = tally.totals();
  const std::array<double, 4> raw{q.hot + q.dry, q.hot + q.wet, q.cold + q.wet, q.cold + q.dry};
  static constexpr std::array<std::string_view, 4> kNames{"Choleric", "Sanguine", "Phlegmatic",
                                                          "Melancholic"};

  Temperament t;
  t.scores = {pyfloat::round(raw[0], 1), pyfloat::round(raw[1], 1), pyfloat::round(raw[2], 1),
              pyfloat::round(raw[3], 1)};
  const double score_total = std::max(raw[0] + raw[1] + raw[2] + raw[3], 1.0);
  t.percentages = {share(raw[0], score_total), share(raw[1], score_total),
                   share(raw[2], score_total), share(raw[3], score_total)};
  t.qualities = {pyfloat::round(q.hot, 1), pyfloat::round(q.cold, 1), pyfloat::round(q.wet, 1),
                 pyfloat::round(q.dry, 1)};
  const double quality_total = std::max(q.hot + q.cold + q.wet + q.dry, 1.0);
  t.quality_percentages = {share(q.hot, quality_total), share(q.cold, quality_total),
                           share(q.wet, quality_total), share(q.dry, quality_total)};

  // Ties keep the earlier temperament in front.
  std::array<std::size_t, 4> order{0, 1, 2, 3};
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return raw[a] > raw[b]; });
  t.primary_temperament = std::string(kNames[order[0]]);
  if (raw[order[1]] != 0.0) t.secondary_temperament = std::string(kNames[order[1]]);
  t.breakdown = tally.take_breakdown();
  return t;
}

void write(RecordWriter& out, const Qualities& q) {
  ObjectWriter(out).field("hot", q.hot).field("cold", q.cold).field("wet", q.wet).field("dry", q.dry);
}

void write(RecordWriter& out, const TemperamentScores& s) {
  ObjectWriter(out)
      .field("choleric", s.choleric)
      .field("sanguine", s.sanguine)
      .field("phlegmatic", s.phlegmatic)
      .field("melancholic", s.melancholic);
}

void write(RecordWriter& out, const TemperamentFactor& f) {
  ObjectWriter(out)
      .field("factor", f.factor)
      .field("details", f.details)
      .field("hot", f.amounts.hot)
      .field("cold", f.amounts.cold)
      .field("wet", f.amounts.wet)
      .field("dry", f.amounts.dry);
}

void write(RecordWriter& out, const Temperament& t) {
  ObjectWriter(out)
      .field("primary_temperament", t.primary_temperament)
      .field("secondary_temperament", t.secondary_temperament)
      .field("scores", t.scores)
      .field("percentages", t.percentages)
      .field("qualities", t.qualities)
      .field("quality_percentages", t.quality_percentages)
      .field("breakdown", t.breakdown);
}

}  // namespace quorvane
