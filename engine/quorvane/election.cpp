#include "quorvane/election.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/degree_qualities.hpp"
#include "quorvane/dignities.hpp"
#include "quorvane/pyfloat.hpp"
#include "quorvane/zodiac.hpp"

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

// The distance between two longitudes, folded to 0..180.
double separation(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

// Within the Sun's beams but not in his heart: combust.
bool combust_distance(double d) { return 17.0 / 60.0 < d && d < 8.5; }

bool rules_or_exalted(std::string_view planet, uint8_t sign) {
  return kSignRulers[sign].domicile == planet || kSignRulers[sign].exaltation == planet;
}

const Placement* first_named(std::span<const Placement> placements, std::string_view name) {
  for (const Placement& p : placements) {
    if (p.name == name) return &p;
  }
  return nullptr;
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
  const double d = separation(chart_longitude, natal_longitude);
  for (const auto& [angle, name] : kAspects) {
    if (std::fabs(d - angle) <= 3.0) return name;
  }
  return std::nullopt;
}

ElectionFactor factor(std::string code, double weight) {
  ElectionFactor f;
  f.code = std::move(code);
  f.weight = weight;
  return f;
}

std::string sign_name(uint8_t sign) { return std::string(kSigns[sign].name); }

Json optional_json(const std::optional<std::string>& value) {
  return value ? Json(*value) : Json(nullptr);
}

}  // namespace

const PurposeRules& purpose_rules(Purpose purpose) {
  return kPurposeRules[static_cast<size_t>(purpose)];
}

std::string_view verdict_of(double score) {
  if (score < 45.0) return "unfavourable";
  if (score < 65.0) return "mixed";
  return "favourable";
}

void condition(const ConditionRole& role, const Placement& planet, const Placement* sun,
               bool skip_retrograde, std::vector<ElectionFactor>& factors) {
  const std::string prefix(role.prefix);
  const auto add = [&](const char* suffix, double weight) {
    ElectionFactor f = factor(prefix + suffix, weight);
    f.planet = planet.name;
    f.house = planet.house;
    f.sign = sign_name(planet.sign);
    factors.push_back(std::move(f));
  };
  if (rules_or_exalted(planet.name, planet.sign)) {
    add("DIGNIFIED", role.dignity);
  } else if (is_debilitated(planet.name, kSigns[planet.sign].name)) {
    add("DEBILITATED", -role.dignity);
  }
  if (is_angular(planet.house)) {
    add("ANGULAR", role.angular);
  } else if (is_dark(planet.house)) {
    add("IN_DARK_HOUSE", -role.dark_house);
  }
  if (!skip_retrograde && planet.is_retrograde) add("RETROGRADE", -role.affliction);
  if (sun && planet.name != "Sun" &&
      combust_distance(separation(planet.ecliptic_longitude, sun->ecliptic_longitude))) {
    add("COMBUST", -role.affliction);
  }
}

void degree_factors(std::string_view point, double longitude, std::vector<ElectionFactor>& factors) {
  const bool moon = point == "Moon";
  const DegreeQualities q = degree_qualities(longitude);
  const auto add = [&](const char* asc_code, const char* moon_code, double weight) {
    ElectionFactor f = factor(moon ? moon_code : asc_code, weight);
    if (moon) f.planet = "Moon";
    f.sign = std::string(q.sign);
    factors.push_back(std::move(f));
  };
  if (q.pitted) add("ASC_PITTED_DEGREE", "MOON_PITTED_DEGREE", -4);
  if (q.azimene) add("ASC_AZIMENE_DEGREE", "MOON_AZIMENE_DEGREE", -3);
  if (q.fortune) add("ASC_FORTUNE_DEGREE", "MOON_FORTUNE_DEGREE", moon ? 3 : 4);
  if (!moon) {
    if (q.light == kDark || q.light == kVoid) add("ASC_DARK_DEGREE", "", -2);
    if (q.light == kLight) add("ASC_LIGHT_DEGREE", "", 2);
  }
}

Expected<ElectionData, EngineError> assess(const std::vector<Placement>& placements,
                                           std::span<const double> cusps,
                                           const PlanetaryHours& hours, UtcInstant moment,
                                           const ElectionCriteria::Resolved& criteria) {
  const Placement* moon = first_named(placements, "Moon");
  if (!moon) return unexpected(EngineError::invalid_input("chart has no Moon"));
  const Placement* sun = first_named(placements, "Sun");
  const PurposeRules& rules = purpose_rules(criteria.purpose);

  ElectionData data;
  data.purpose = criteria.purpose;
  data.planetary_hours = hours;
  data.moon_status = moon_status(*moon, placements);
  const MoonStatus& status = data.moon_status;
  std::vector<ElectionFactor>& factors = data.factors;
  const auto moon_factor = [&](const char* code, double weight) -> ElectionFactor& {
    ElectionFactor f = factor(code, weight);
    f.planet = "Moon";
    factors.push_back(std::move(f));
    return factors.back();
  };

  // The Moon: her course, light, place and motion.
  const double moon_longitude = moon->ecliptic_longitude;
  if (status.void_of_course) moon_factor("MOON_VOC", -20);
  if (sun) {
    if (combust_distance(separation(moon_longitude, sun->ecliptic_longitude))) {
      moon_factor("MOON_COMBUST", -12);
    } else if (normalize_degrees(moon_longitude - sun->ecliptic_longitude) < 180.0) {
      moon_factor("MOON_WAXING", 5);
    }
  }
  const double moon_place = normalize_degrees(moon_longitude);
  if (195.0 <= moon_place && moon_place < 225.0) moon_factor("MOON_VIA_COMBUSTA", -8);
  degree_factors("Moon", moon_longitude, factors);
  if (rules_or_exalted("Moon", moon->sign)) {
    moon_factor("MOON_DIGNIFIED", 6).sign = sign_name(moon->sign);
  } else if (is_debilitated("Moon", kSigns[moon->sign].name)) {
    moon_factor("MOON_DEBILITATED", -6).sign = sign_name(moon->sign);
  }
  if (moon->speed > 13.5) {
    moon_factor("MOON_SWIFT", 2);
  } else if (moon->speed < 12.5) {
    moon_factor("MOON_SLOW", -2);
  }
  if (is_angular(moon->house)) {
    moon_factor("MOON_ANGULAR", 3).house = moon->house;
  } else if (is_dark(moon->house)) {
    moon_factor("MOON_IN_DARK_HOUSE", -5).house = moon->house;
  }
  if (!status.applying_aspects.empty()) {
    const ApplyingAspect& next = status.applying_aspects.front();
    const bool harmonious = is_harmonious(next.aspect);
    const auto applying = [&](const char* code, double weight) {
      ElectionFactor& f = moon_factor(code, weight);
      f.target = std::string(next.planet);
      f.aspect = std::string(next.aspect);
    };
    if (is_malefic(next.planet)) {
      applying("MOON_APPLYING_MALEFIC", next.aspect == "Sextile" || next.aspect == "Trine" ? -3 : -10);
    }
    if (is_benefic(next.planet)) applying("MOON_APPLYING_BENEFIC", harmonious ? 10 : 4);
    if (rules.significator && next.planet == *rules.significator) {
      applying("MOON_APPLYING_SIGNIFICATOR", harmonious ? 5 : -3);
    }
  }

  // The Ascendant, its degree and its lord.
  const Placement* ascendant_placement = first_named(placements, "Ascendant");
  std::optional<double> ascendant;
  if (ascendant_placement) {
    ascendant = ascendant_placement->ecliptic_longitude;
  } else if (!cusps.empty()) {
    ascendant = cusps[0];
  }
  std::optional<std::string_view> asc_ruler;
  if (!cusps.empty() && ascendant) {
    const double d = std::fmod(normalize_degrees(*ascendant), 30.0);
    const uint8_t sign = sign_index(*ascendant);
    if (d < 3.0 || d >= 27.0) {
      factors.push_back(factor(d < 3.0 ? "ASC_EARLY" : "ASC_LATE", -5));
      factors.back().sign = sign_name(sign);
    }
    degree_factors("Ascendant", *ascendant, factors);
    asc_ruler = domicile_ruler(sign);
    if (const Placement* ruler = first_named(placements, *asc_ruler)) {
      condition(kAscRulerRole, *ruler, sun, false, factors);
    }
  }

  // Benefics and malefics on the angles.
  for (const Placement& p : placements) {
    const bool benefic = is_benefic(p.name);
    if ((!benefic && !is_malefic(p.name)) || !is_angular(p.house)) continue;
    const bool first = p.house == 1;
    ElectionFactor f = benefic ? factor(first ? "BENEFIC_IN_1ST" : "BENEFIC_ANGULAR", first ? 8 : 4)
                               : factor(first ? "MALEFIC_IN_1ST" : "MALEFIC_ANGULAR", first ? -10 : -5);
    f.planet = p.name;
    f.house = p.house;
    factors.push_back(std::move(f));
  }

  const Placement* mercury = first_named(placements, "Mercury");
  if (mercury && mercury->is_retrograde) {
    const bool severe = criteria.avoid_mercury_retrograde || rules.significator == "Mercury";
    factors.push_back(factor("MERCURY_RETROGRADE", severe ? -10 : -2));
    factors.back().planet = "Mercury";
  }
  const Placement* venus = first_named(placements, "Venus");
  if (venus && venus->is_retrograde) {
    const bool severe = criteria.avoid_venus_retrograde || criteria.purpose == Purpose::Partnership;
    factors.push_back(factor("VENUS_RETROGRADE", severe ? -10 : -2));
    factors.back().planet = "Venus";
  }

  // The lord of the house of the matter and the purpose's own significator.
  std::optional<std::string_view> house_ruler;
  if (rules.house && *rules.house <= cusps.size()) {
    house_ruler = domicile_ruler(sign_index(cusps[*rules.house - 1]));
    const Placement* ruler = first_named(placements, *house_ruler);
    if (ruler && house_ruler != asc_ruler) condition(kHouseRulerRole, *ruler, sun, false, factors);
  }
  if (rules.significator && rules.significator != asc_ruler && rules.significator != house_ruler) {
    if (const Placement* significator = first_named(placements, *rules.significator)) {
      // Mercury's and Venus' retrogradation is weighed on its own above.
      const bool skip = *rules.significator == "Mercury" || *rules.significator == "Venus";
      condition(kSignificatorRole, *significator, sun, skip, factors);
    }
  }

  const std::string_view hour_ruler = hours.hour_ruler;
  if (hour_ruler == rules.favoured_hours[0] || hour_ruler == rules.favoured_hours[1]) {
    factors.push_back(factor("HOUR_RULER_FAVOURS_PURPOSE", 5));
    factors.back().planet = std::string(hour_ruler);
  } else if (is_malefic(hour_ruler)) {
    factors.push_back(factor("HOUR_RULER_MALEFIC", -3));
    factors.back().planet = std::string(hour_ruler);
  }

  // Contacts with the nativity.
  if (criteria.has_natal && criteria.natal) {
    const std::vector<NatalPoint>& natal = *criteria.natal;
    const NatalPoint* natal_ascendant = first_natal(natal, "Ascendant");
    if (natal_ascendant && ascendant) {
      // The whole-sign house of the natal chart that the elected Ascendant falls in.
      const int k = (sign_index(*ascendant) - sign_index(natal_ascendant->ecliptic_longitude) + 12) % 12 + 1;
      if (k == 1 || k == 5 || k == 9 || k == 10 || k == 11) {
        factors.push_back(factor("NATAL_ASC_WELL_PLACED", 5));
        factors.back().house = static_cast<uint8_t>(k);
      } else if (k == 6 || k == 8 || k == 12) {
        factors.push_back(factor("NATAL_ASC_BADLY_PLACED", -6));
        factors.back().house = static_cast<uint8_t>(k);
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
    for (const Placement& planet : placements) {
      const bool benefic = is_benefic(planet.name);
      if (!benefic && !is_malefic(planet.name)) continue;
      for (const NatalPoint* point : sensitive) {
        const auto aspect = natal_aspect(planet.ecliptic_longitude, point->ecliptic_longitude);
        if (!aspect) continue;
        ElectionFactor f;
        if (benefic && is_harmonious(*aspect)) {
          f = factor("NATAL_BENEFIC_CONTACT", 4);
        } else if (!benefic && is_hard(*aspect)) {
          f = factor("NATAL_MALEFIC_CONTACT", -6);
        } else {
          continue;
        }
        f.planet = planet.name;
        f.target = point->name;
        f.aspect = std::string(*aspect);
        factors.push_back(std::move(f));
      }
    }
    for (const NatalPoint& point : natal) {
      const bool benefic = is_benefic(point.name);
      if (!benefic && !is_malefic(point.name)) continue;
      const auto aspect = natal_aspect(moon_longitude, point.ecliptic_longitude);
      if (!aspect) continue;
      if (benefic && is_harmonious(*aspect)) {
        moon_factor("NATAL_MOON_TO_BENEFIC", 3);
      } else if (!benefic && is_hard(*aspect)) {
        moon_factor("NATAL_MOON_TO_MALEFIC", -4);
      } else {
        continue;
      }
      factors.back().target = point.name;
      factors.back().aspect = std::string(*aspect);
    }
  }

  double sum = 0.0;
  for (const ElectionFactor& f : factors) sum += f.weight;
  data.score = pyfloat::round(std::min(std::max(50.0 + sum, 0.0), 100.0), 1);
  data.verdict = verdict_of(data.score);

  if (!criteria.within_local_hours(moment)) data.excluded_by.push_back("outside_hours");
  if (criteria.daytime_only && !hours.is_day) data.excluded_by.push_back("night");
  if (criteria.avoid_void_moon && status.void_of_course) data.excluded_by.push_back("void_moon");
  if (criteria.avoid_mercury_retrograde && mercury && mercury->is_retrograde) {
    data.excluded_by.push_back("mercury_retrograde");
  }
  if (criteria.avoid_venus_retrograde && venus && venus->is_retrograde) {
    data.excluded_by.push_back("venus_retrograde");
  }
  return data;
}

Expected<ElectionChart, EngineError> calculate_election_chart(const KernelSet& kernels,
                                                              const ChartRequest& request,
                                                              const ElectionCriteria& criteria) {
  auto resolved = criteria.resolve();
  if (!resolved) return unexpected(resolved.error());
  auto chart = chart_without_hours(kernels, request);
  if (!chart) return unexpected(chart.error());
  const SolarDay day = solar_day(kernels, request.moment, request.latitude, request.longitude);
  const PlanetaryHours hours = hours_in(day, request.moment);
  chart->planetary_hours = hours;
  std::vector<double> cusps;
  cusps.reserve(chart->houses.size());
  for (const HouseCusp& c : chart->houses) cusps.push_back(c.ecliptic_longitude);
  auto data = assess(chart->planets, cusps, hours, request.moment, *resolved);
  if (!data) return unexpected(data.error());
  return ElectionChart{std::move(chart).value(), std::move(data).value()};
}

Json to_json(const ElectionFactor& f) {
  Json out = Json::object();
  out["code"] = f.code;
  out["weight"] = f.weight;
  out["planet"] = optional_json(f.planet);
  out["target"] = optional_json(f.target);
  out["aspect"] = optional_json(f.aspect);
  out["house"] = f.house ? Json(*f.house) : Json(nullptr);
  out["sign"] = optional_json(f.sign);
  return out;
}

Json to_json(const ElectionData& data) {
  Json out = Json::object();
  out["score"] = data.score;
  out["verdict"] = data.verdict;
  out["purpose"] = purpose_name(data.purpose);
  out["factors"] = json_list(data.factors);
  Json excluded = Json::array();
  for (std::string_view reason : data.excluded_by) excluded.push_back(reason);
  out["excluded_by"] = std::move(excluded);
  out["planetary_hours"] = to_json_tree(data.planetary_hours);
  out["moon_status"] = to_json(data.moon_status);
  return out;
}

Json to_json(const ElectionChart& chart) {
  Json out = to_json_tree(chart.chart);
  out["election_data"] = to_json(chart.election_data);
  return out;
}

}  // namespace quorvane
