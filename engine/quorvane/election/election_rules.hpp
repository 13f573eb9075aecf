// The rules an elected moment is weighed by: one table of codes and signed
// weights, and one function per group of rules (the Moon, the Ascendant,
// the angles, the retrograde planets, the matter's rulers, the hour, the
// nativity), each appending the factors it fires in rule order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "quorvane/election/election.hpp"

namespace quorvane {

enum class Rule : uint8_t {
  MoonVoid, MoonCombust, MoonWaxing, MoonViaCombusta,
  MoonPittedDegree, MoonAzimeneDegree, MoonFortuneDegree,
  MoonDignified, MoonDebilitated, MoonSwift, MoonSlow, MoonAngular, MoonInDarkHouse,
  MoonApplyingMaleficSoftly, MoonApplyingMaleficHard,
  MoonApplyingBeneficHarmonious, MoonApplyingBeneficHard,
  MoonApplyingSignificatorHarmonious, MoonApplyingSignificatorHard,
  AscEarly, AscLate,
  AscPittedDegree, AscAzimeneDegree, AscFortuneDegree, AscDarkDegree, AscLightDegree,
  AscRulerDignified, AscRulerDebilitated, AscRulerAngular, AscRulerInDarkHouse,
  AscRulerRetrograde, AscRulerCombust,
  HouseRulerDignified, HouseRulerDebilitated, HouseRulerAngular, HouseRulerInDarkHouse,
  HouseRulerRetrograde, HouseRulerCombust,
  SignificatorDignified, SignificatorDebilitated, SignificatorAngular, SignificatorInDarkHouse,
  SignificatorRetrograde, SignificatorCombust,
  BeneficInFirst, BeneficAngular, MaleficInFirst, MaleficAngular,
  MercuryRetrogradeSevere, MercuryRetrogradeMild, VenusRetrogradeSevere, VenusRetrogradeMild,
  HourRulerFavoursPurpose, HourRulerMalefic,
  NatalAscWellPlaced, NatalAscBadlyPlaced, NatalBeneficContact, NatalMaleficContact,
  NatalMoonToBenefic, NatalMoonToMalefic,
  Count
};

struct RuleWeight {
  Rule rule;
  std::string_view code;
  double weight;
};

// In the order of Rule; a rule with two weights has a row for each.
inline constexpr RuleWeight kRuleWeights[] = {
    {Rule::MoonVoid, "MOON_VOC", -20},
    {Rule::MoonCombust, "MOON_COMBUST", -12},
    {Rule::MoonWaxing, "MOON_WAXING", 5},
    {Rule::MoonViaCombusta, "MOON_VIA_COMBUSTA", -8},
    {Rule::MoonPittedDegree, "MOON_PITTED_DEGREE", -4},
    {Rule::MoonAzimeneDegree, "MOON_AZIMENE_DEGREE", -3},
    {Rule::MoonFortuneDegree, "MOON_FORTUNE_DEGREE", 3},
    {Rule::MoonDignified, "MOON_DIGNIFIED", 6},
    {Rule::MoonDebilitated, "MOON_DEBILITATED", -6},
    {Rule::MoonSwift, "MOON_SWIFT", 2},
    {Rule::MoonSlow, "MOON_SLOW", -2},
    {Rule::MoonAngular, "MOON_ANGULAR", 3},
    {Rule::MoonInDarkHouse, "MOON_IN_DARK_HOUSE", -5},
    {Rule::MoonApplyingMaleficSoftly, "MOON_APPLYING_MALEFIC", -3},  // by sextile or trine
    {Rule::MoonApplyingMaleficHard, "MOON_APPLYING_MALEFIC", -10},
    {Rule::MoonApplyingBeneficHarmonious, "MOON_APPLYING_BENEFIC", 10},
    {Rule::MoonApplyingBeneficHard, "MOON_APPLYING_BENEFIC", 4},
    {Rule::MoonApplyingSignificatorHarmonious, "MOON_APPLYING_SIGNIFICATOR", 5},
    {Rule::MoonApplyingSignificatorHard, "MOON_APPLYING_SIGNIFICATOR", -3},
    {Rule::AscEarly, "ASC_EARLY", -5},
    {Rule::AscLate, "ASC_LATE", -5},
    {Rule::AscPittedDegree, "ASC_PITTED_DEGREE", -4},
    {Rule::AscAzimeneDegree, "ASC_AZIMENE_DEGREE", -3},
    {Rule::AscFortuneDegree, "ASC_FORTUNE_DEGREE", 4},
    {Rule::AscDarkDegree, "ASC_DARK_DEGREE", -2},
    {Rule::AscLightDegree, "ASC_LIGHT_DEGREE", 2},
    {Rule::AscRulerDignified, "ASC_RULER_DIGNIFIED", 6},
    {Rule::AscRulerDebilitated, "ASC_RULER_DEBILITATED", -6},
    {Rule::AscRulerAngular, "ASC_RULER_ANGULAR", 4},
    {Rule::AscRulerInDarkHouse, "ASC_RULER_IN_DARK_HOUSE", -5},
    {Rule::AscRulerRetrograde, "ASC_RULER_RETROGRADE", -6},
    {Rule::AscRulerCombust, "ASC_RULER_COMBUST", -6},
    {Rule::HouseRulerDignified, "HOUSE_RULER_DIGNIFIED", 5},
    {Rule::HouseRulerDebilitated, "HOUSE_RULER_DEBILITATED", -5},
    {Rule::HouseRulerAngular, "HOUSE_RULER_ANGULAR", 3},
    {Rule::HouseRulerInDarkHouse, "HOUSE_RULER_IN_DARK_HOUSE", -4},
    {Rule::HouseRulerRetrograde, "HOUSE_RULER_RETROGRADE", -5},
    {Rule::HouseRulerCombust, "HOUSE_RULER_COMBUST", -5},
    {Rule::SignificatorDignified, "SIGNIFICATOR_DIGNIFIED", 4},
    {Rule::SignificatorDebilitated, "SIGNIFICATOR_DEBILITATED", -4},
    {Rule::SignificatorAngular, "SIGNIFICATOR_ANGULAR", 2},
    {Rule::SignificatorInDarkHouse, "SIGNIFICATOR_IN_DARK_HOUSE", -3},
    {Rule::SignificatorRetrograde, "SIGNIFICATOR_RETROGRADE", -4},
    {Rule::SignificatorCombust, "SIGNIFICATOR_COMBUST", -4},
    {Rule::BeneficInFirst, "BENEFIC_IN_1ST", 8},
    {Rule::BeneficAngular, "BENEFIC_ANGULAR", 4},
    {Rule::MaleficInFirst, "MALEFIC_IN_1ST", -10},
    {Rule::MaleficAngular, "MALEFIC_ANGULAR", -5},
    {Rule::MercuryRetrogradeSevere, "MERCURY_RETROGRADE", -10},  // avoided, or the significator
    {Rule::MercuryRetrogradeMild, "MERCURY_RETROGRADE", -2},
    {Rule::VenusRetrogradeSevere, "VENUS_RETROGRADE", -10},  // avoided, or a partnership
    {Rule::VenusRetrogradeMild, "VENUS_RETROGRADE", -2},
    {Rule::HourRulerFavoursPurpose, "HOUR_RULER_FAVOURS_PURPOSE", 5},
    {Rule::HourRulerMalefic, "HOUR_RULER_MALEFIC", -3},
    {Rule::NatalAscWellPlaced, "NATAL_ASC_WELL_PLACED", 5},
    {Rule::NatalAscBadlyPlaced, "NATAL_ASC_BADLY_PLACED", -6},
    {Rule::NatalBeneficContact, "NATAL_BENEFIC_CONTACT", 4},
    {Rule::NatalMaleficContact, "NATAL_MALEFIC_CONTACT", -6},
    {Rule::NatalMoonToBenefic, "NATAL_MOON_TO_BENEFIC", 3},
    {Rule::NatalMoonToMalefic, "NATAL_MOON_TO_MALEFIC", -4},
};

constexpr bool rows_in_rule_order() {
  if (std::size(kRuleWeights) != static_cast<size_t>(Rule::Count)) return false;
  for (size_t i = 0; i < std::size(kRuleWeights); ++i) {
    if (static_cast<size_t>(kRuleWeights[i].rule) != i) return false;
  }
  return true;
}
static_assert(rows_in_rule_order(), "one row per rule, in the order of Rule");

constexpr const RuleWeight& weight_of(Rule rule) { return kRuleWeights[static_cast<size_t>(rule)]; }

// The six condition rules of one ruling planet's role.
struct ConditionRules {
  Rule dignified, debilitated, angular, in_dark_house, retrograde, combust;
};
inline constexpr ConditionRules kAscRulerRules{
    Rule::AscRulerDignified,   Rule::AscRulerDebilitated, Rule::AscRulerAngular,
    Rule::AscRulerInDarkHouse, Rule::AscRulerRetrograde,  Rule::AscRulerCombust};
inline constexpr ConditionRules kHouseRulerRules{
    Rule::HouseRulerDignified,   Rule::HouseRulerDebilitated, Rule::HouseRulerAngular,
    Rule::HouseRulerInDarkHouse, Rule::HouseRulerRetrograde,  Rule::HouseRulerCombust};
inline constexpr ConditionRules kSignificatorRules{
    Rule::SignificatorDignified,   Rule::SignificatorDebilitated, Rule::SignificatorAngular,
    Rule::SignificatorInDarkHouse, Rule::SignificatorRetrograde,  Rule::SignificatorCombust};

// What a purpose asks for: its natural significator, the house of the
// matter and the two planetary hours that favour it.
struct PurposeRules {
  std::optional<std::string_view> significator;
  std::optional<uint8_t> house;
  std::array<std::string_view, 2> favoured_hours;
};
const PurposeRules& purpose_rules(Purpose purpose);

// The moment being weighed, as the rule groups read it.
struct ElectedMoment {
  std::span<const Placement> placements;
  std::span<const double> cusps;  // house order
  const Placement& moon;
  const Placement* sun = nullptr;
  const MoonStatus& moon_status;
  const PlanetaryHours& hours;
  const ElectionCriteria::Resolved& criteria;
  const PurposeRules& purpose;
};

// The Moon: her course, light, place, degree, dignity, motion, house and
// her next application.
void moon_rules(const ElectedMoment& m, std::vector<ElectionFactor>& factors);

// The Ascendant (the Ascendant point, else the first cusp), none without cusps.
std::optional<double> ascendant_of(const ElectedMoment& m);

// The Ascendant's degree and the condition of its lord; gives that lord,
// none without cusps.
std::optional<std::string_view> ascendant_rules(const ElectedMoment& m,
                                                std::optional<double> ascendant,
                                                std::vector<ElectionFactor>& factors);

// Benefics and malefics in the angles.
void angle_rules(const ElectedMoment& m, std::vector<ElectionFactor>& factors);

// Mercury and Venus retrograde.
void retrograde_rules(const ElectedMoment& m, std::vector<ElectionFactor>& factors);

// The lord of the house of the matter and the purpose's own significator,
// each unless already weighed as the lord of the Ascendant.
void matter_rules(const ElectedMoment& m, std::optional<std::string_view> asc_ruler,
                  std::vector<ElectionFactor>& factors);

// The ruler of the planetary hour.
void hour_rules(const ElectedMoment& m, std::vector<ElectionFactor>& factors);

// Contacts with the nativity, when the criteria give one.
void natal_rules(const ElectedMoment& m, std::optional<double> ascendant,
                 std::vector<ElectionFactor>& factors);

}  // namespace quorvane
