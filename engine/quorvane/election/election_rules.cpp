#include "quorvane/election/election_rules.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "quorvane/traditional/degree_qualities.hpp"
#include "quorvane/traditional/dignities.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr PurposeRules kPurposeRules[] = {
    {std::nullopt, std::nullopt, {"Jupiter", "Venus"}},  // general
    {"Mercury", 7, {"Mercury", "Jupiter"}},              // contract
    {"Venus", 7, {"Venus", "Moon"}},                     // partnership
    {"Mercury", 9, {"Mercury", "Moon"}},                 // travel
    {"Sun", std::nullopt, {"Sun", "Jupiter"}},           // health
    {"Jupiter", 2, {"Jupiter", "Venus"}},                // finance
    {"Jupiter", 10, {"Jupiter", "Sun"}},                 // launch
    {"Sun", 10, {"Sun", "Jupiter"}},                     // career
};

bool is_benefic(std::string_view name) { return name == "Venus" || name == "Jupiter"; }
bool is_malefic(std::string_view name) { return name == "Mars" || name == "Saturn"; }
bool is_angular(unsigned house) { return house == 1 || house == 4 || house == 7 || house == 10; }
bool is_dark(unsigned house) { return house == 6 || house == 8 || house == 12; }
bool is_harmonious(std::string_view aspect) {
  return aspect == "Conjunction" || aspect == "Sextile" || aspect == "Trine";
}
bool is_hard(std::string_view aspect) {
  return aspect == "Conjunction" || aspect == "Square" || aspect == "Opposition";
}

// Within the Sun's beams but not in his heart: combust.
bool combust_distance(double d) { return 17.0 / 60.0 < d && d < 8.5; }

bool rules_or_exalted(std::string_view planet, uint8_t sign) {
  return kSignRulers[sign].domicile == planet || kSignRulers[sign].exaltation == planet;
}

const NatalPoint* first_natal(const std::vector<NatalPoint>& points, std::string_view name) {
  for (const NatalPoint& p : points) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

// The aspect within 3 degrees of a natal contact, if any.
std::optional<std::string_view> natal_aspect(double chart_longitude, double natal_longitude) {
  static constexpr std::pair<double, std::string_view> kAspects[] = {
      {0, "Conjunction"}, {60, "Sextile"}, {90, "Square"}, {120, "Trine"}, {180, "Opposition"}};
  const double d = angular_separation(chart_longitude, natal_longitude);
  for (const auto& [angle, name] : kAspects) {
    if (std::fabs(d - angle) <= 3.0) return name;
  }
  return std::nullopt;
}

std::string sign_name(uint8_t sign) { return std::string(kSigns[sign].name); }

// A fired rule, appended; its other fields are the caller's to fill.
ElectionFactor& fire(Rule rule, std::vector<ElectionFactor>& factors) {
  const RuleWeight& row = weight_of(rule);
  ElectionFactor& f = factors.emplace_back();
  f.code = std::string(row.code);
  f.weight = row.weight;
  return f;
}

ElectionFactor& fire_for(Rule rule, std::string_view planet, std::vector<ElectionFactor>& factors) {
  ElectionFactor& f = fire(rule, factors);
  f.planet = std::string(planet);
  return f;
}

// The condition rules of one ruling planet.
void condition(const ConditionRules& role, const Placement& planet, const Placement* sun,
               bool skip_retrograde, std::vector<ElectionFactor>& factors) {
  const auto add = [&](Rule rule) {
    ElectionFactor& f = fire_for(rule, planet.name, factors);
    f.house = planet.house;
    f.sign = sign_name(planet.sign);
  };
  if (rules_or_exalted(planet.name, planet.sign)) {
    add(role.dignified);
  } else if (is_debilitated(planet.name, kSigns[planet.sign].name)) {
    add(role.debilitated);
  }
  if (is_angular(planet.house)) {
    add(role.angular);
  } else if (is_dark(planet.house)) {
    add(role.in_dark_house);
  }
  if (!skip_retrograde && planet.is_retrograde) add(role.retrograde);
  if (sun && planet.name != "Sun" &&
      combust_distance(angular_separation(planet.ecliptic_longitude, sun->ecliptic_longitude))) {
    add(role.combust);
  }
}

// Lilly's degree qualities of the Moon's or the Ascendant's degree.
struct DegreeRules {
  std::optional<std::string_view> planet;  // named on the factor
  Rule pitted, azimene, fortune;
  std::optional<Rule> dark, light;  // the Ascendant's only
};
constexpr DegreeRules kMoonDegrees{"Moon", Rule::MoonPittedDegree, Rule::MoonAzimeneDegree,
                                   Rule::MoonFortuneDegree, std::nullopt, std::nullopt};
constexpr DegreeRules kAscendantDegrees{std::nullopt,          Rule::AscPittedDegree,
                                        Rule::AscAzimeneDegree, Rule::AscFortuneDegree,
                                        Rule::AscDarkDegree,    Rule::AscLightDegree};

void degree_rules(const DegreeRules& rules, double longitude, std::vector<ElectionFactor>& factors) {
  const DegreeQualities q = degree_qualities(longitude);
  const auto add = [&](Rule rule) {
    ElectionFactor& f = fire(rule, factors);
    if (rules.planet) f.planet = std::string(*rules.planet);
    f.sign = std::string(q.sign);
  };
  if (q.pitted) add(rules.pitted);
  if (q.azimene) add(rules.azimene);
  if (q.fortune) add(rules.fortune);
  if (rules.dark && (q.light == kDark || q.light == kVoid)) add(*rules.dark);
  if (rules.light && q.light == kLight) add(*rules.light);
}

void moon_application(const ElectedMoment& m, std::vector<ElectionFactor>& factors) {
  if (m.moon_status.applying_aspects.empty()) return;
  const ApplyingAspect& next = m.moon_status.applying_aspects.front();
  const bool harmonious = is_harmonious(next.aspect);
  const auto applying = [&](Rule rule) {
    ElectionFactor& f = fire_for(rule, "Moon", factors);
    f.target = std::string(next.planet);
    f.aspect = std::string(next.aspect);
  };
  if (is_malefic(next.planet)) {
    const bool soft = next.aspect == "Sextile" || next.aspect == "Trine";
    applying(soft ? Rule::MoonApplyingMaleficSoftly : Rule::MoonApplyingMaleficHard);
  }
  if (is_benefic(next.planet)) {
    applying(harmonious ? Rule::MoonApplyingBeneficHarmonious : Rule::MoonApplyingBeneficHard);
  }
  if (m.purpose.significator && next.planet == *m.purpose.significator) {
    applying(harmonious ? Rule::MoonApplyingSignificatorHarmonious
                        : Rule::MoonApplyingSignificatorHard);
  }
}

}  // namespace

const PurposeRules& purpose_rules(Purpose purpose) {
  return kPurposeRules[static_cast<size_t>(purpose)];
}

void moon_rules(const ElectedMoment& m, std::vector<ElectionFactor>& factors) {
  const Placement& moon = m.moon;
  const auto moon_factor = [&](Rule rule) -> ElectionFactor& {
    return fire_for(rule, "Moon", factors);
  };
  if (m.moon_status.void_of_course) moon_factor(Rule::MoonVoid);
  if (m.sun) {
    if (combust_distance(angular_separation(moon.ecliptic_longitude, m.sun->ecliptic_longitude))) {
      moon_factor(Rule::MoonCombust);
    } else if (normalize_degrees(moon.ecliptic_longitude - m.sun->ecliptic_longitude) < 180.0) {
      moon_factor(Rule::MoonWaxing);
    }
  }
  const double place = normalize_degrees(moon.ecliptic_longitude);
  if (195.0 <= place && place < 225.0) moon_factor(Rule::MoonViaCombusta);
  degree_rules(kMoonDegrees, moon.ecliptic_longitude, factors);
  if (rules_or_exalted("Moon", moon.sign)) {
    moon_factor(Rule::MoonDignified).sign = sign_name(moon.sign);
  } else if (is_debilitated("Moon", kSigns[moon.sign].name)) {
    moon_factor(Rule::MoonDebilitated).sign = sign_name(moon.sign);
  }
  if (moon.speed > 13.5) {
    moon_factor(Rule::MoonSwift);
  } else if (moon.speed < 12.5) {
    moon_factor(Rule::MoonSlow);
  }
  if (is_angular(moon.house)) {
    moon_factor(Rule::MoonAngular).house = moon.house;
  } else if (is_dark(moon.house)) {
    moon_factor(Rule::MoonInDarkHouse).house = moon.house;
  }
  moon_application(m, factors);
}

std::optional<double> ascendant_of(const ElectedMoment& m) {
  if (const Placement* ascendant = first_named(m.placements, "Ascendant")) {
    return ascendant->ecliptic_longitude;
  }
  if (!m.cusps.empty()) return m.cusps[0];
  return std::nullopt;
}

std::optional<std::string_view> ascendant_rules(const ElectedMoment& m,
                                                std::optional<double> ascendant,
                                                std::vector<ElectionFactor>& factors) {
  if (m.cusps.empty() || !ascendant) return std::nullopt;
  const double d = std::fmod(normalize_degrees(*ascendant), 30.0);
  const uint8_t sign = sign_index(*ascendant);
  if (d < 3.0 || d >= 27.0) fire(d < 3.0 ? Rule::AscEarly : Rule::AscLate, factors).sign = sign_name(sign);
  degree_rules(kAscendantDegrees, *ascendant, factors);
  const std::string_view ruler = domicile_ruler(sign);
  if (const Placement* planet = first_named(m.placements, ruler)) {
    condition(kAscRulerRules, *planet, m.sun, false, factors);
  }
  return ruler;
}

void angle_rules(const ElectedMoment& m, std::vector<ElectionFactor>& factors) {
  for (const Placement& p : m.placements) {
    const bool benefic = is_benefic(p.name);
    if ((!benefic && !is_malefic(p.name)) || !is_angular(p.house)) continue;
    const bool first = p.house == 1;
    const Rule rule = benefic ? (first ? Rule::BeneficInFirst : Rule::BeneficAngular)
                              : (first ? Rule::MaleficInFirst : Rule::MaleficAngular);
    fire_for(rule, p.name, factors).house = p.house;
  }
}

void retrograde_rules(const ElectedMoment& m, std::vector<ElectionFactor>& factors) {
  const Placement* mercury = first_named(m.placements, "Mercury");
  if (mercury && mercury->is_retrograde) {
    const bool severe = m.criteria.avoid_mercury_retrograde || m.purpose.significator == "Mercury";
    fire_for(severe ? Rule::MercuryRetrogradeSevere : Rule::MercuryRetrogradeMild, "Mercury", factors);
  }
  const Placement* venus = first_named(m.placements, "Venus");
  if (venus && venus->is_retrograde) {
    const bool severe =
        m.criteria.avoid_venus_retrograde || m.criteria.purpose == Purpose::Partnership;
    fire_for(severe ? Rule::VenusRetrogradeSevere : Rule::VenusRetrogradeMild, "Venus", factors);
  }
}

void matter_rules(const ElectedMoment& m, std::optional<std::string_view> asc_ruler,
                  std::vector<ElectionFactor>& factors) {
  std::optional<std::string_view> house_ruler;
  if (m.purpose.house && *m.purpose.house <= m.cusps.size()) {
    house_ruler = domicile_ruler(sign_index(m.cusps[*m.purpose.house - 1]));
    const Placement* ruler = first_named(m.placements, *house_ruler);
    if (ruler && house_ruler != asc_ruler) condition(kHouseRulerRules, *ruler, m.sun, false, factors);
  }
  const std::optional<std::string_view>& significator = m.purpose.significator;
  if (significator && significator != asc_ruler && significator != house_ruler) {
    if (const Placement* planet = first_named(m.placements, *significator)) {
      // Mercury's and Venus' retrogradation is weighed on its own.
      const bool skip = *significator == "Mercury" || *significator == "Venus";
      condition(kSignificatorRules, *planet, m.sun, skip, factors);
    }
  }
}

void hour_rules(const ElectedMoment& m, std::vector<ElectionFactor>& factors) {
  const std::string_view ruler = m.hours.hour_ruler;
  if (ruler == m.purpose.favoured_hours[0] || ruler == m.purpose.favoured_hours[1]) {
    fire_for(Rule::HourRulerFavoursPurpose, ruler, factors);
  } else if (is_malefic(ruler)) {
    fire_for(Rule::HourRulerMalefic, ruler, factors);
  }
}

void natal_rules(const ElectedMoment& m, std::optional<double> ascendant,
                 std::vector<ElectionFactor>& factors) {
  if (!m.criteria.has_natal || !m.criteria.natal) return;
  const std::vector<NatalPoint>& natal = *m.criteria.natal;
  const NatalPoint* natal_ascendant = first_natal(natal, "Ascendant");
  if (natal_ascendant && ascendant) {
    // The whole-sign house of the natal chart that the elected Ascendant falls in.
    const int k =
        (sign_index(*ascendant) - sign_index(natal_ascendant->ecliptic_longitude) + 12) % 12 + 1;
    if (k == 1 || k == 5 || k == 9 || k == 10 || k == 11) {
      fire(Rule::NatalAscWellPlaced, factors).house = static_cast<uint8_t>(k);
    } else if (k == 6 || k == 8 || k == 12) {
      fire(Rule::NatalAscBadlyPlaced, factors).house = static_cast<uint8_t>(k);
    }
  }
  std::vector<const NatalPoint*> sensitive;
  for (std::string_view name : {"Sun", "Moon", "Ascendant", "Midheaven"}) {
    if (const NatalPoint* p = first_natal(natal, name)) sensitive.push_back(p);
  }
  if (natal_ascendant) {
    const std::string_view lord = domicile_ruler(sign_index(natal_ascendant->ecliptic_longitude));
    const NatalPoint* p = first_natal(natal, lord);
    if (p && std::find(sensitive.begin(), sensitive.end(), p) == sensitive.end()) {
      sensitive.push_back(p);
    }
  }
  for (const Placement& planet : m.placements) {
    const bool benefic = is_benefic(planet.name);
    if (!benefic && !is_malefic(planet.name)) continue;
    for (const NatalPoint* point : sensitive) {
      const auto aspect = natal_aspect(planet.ecliptic_longitude, point->ecliptic_longitude);
      if (!aspect) continue;
      std::optional<Rule> rule;
      if (benefic && is_harmonious(*aspect)) rule = Rule::NatalBeneficContact;
      if (!benefic && is_hard(*aspect)) rule = Rule::NatalMaleficContact;
      if (!rule) continue;
      ElectionFactor& f = fire_for(*rule, planet.name, factors);
      f.target = point->name;
      f.aspect = std::string(*aspect);
    }
  }
  for (const NatalPoint& point : natal) {
    const bool benefic = is_benefic(point.name);
    if (!benefic && !is_malefic(point.name)) continue;
    const auto aspect = natal_aspect(m.moon.ecliptic_longitude, point.ecliptic_longitude);
    if (!aspect) continue;
    std::optional<Rule> rule;
    if (benefic && is_harmonious(*aspect)) rule = Rule::NatalMoonToBenefic;
    if (!benefic && is_hard(*aspect)) rule = Rule::NatalMoonToMalefic;
    if (!rule) continue;
    ElectionFactor& f = fire_for(*rule, "Moon", factors);
    f.target = point.name;
    f.aspect = std::string(*aspect);
  }
}

}  // namespace quorvane
