// Zodiacal releasing (Vettius Valens, Anthology IV): time released from a
// lot's sign through the signs in order, each sign holding its minor years
// at level 1, as many 30-day months at level 2, 2.5-day spans at level 3 and
// 5/24-day spans at level 4 (each level a twelfth of the one above, in
// 360-day years).
//
// Loosing of the bond: when a sequence has run through all twelve signs and
// would come back to the sign it started from, it goes on from the sign
// opposite that one instead (Valens IV; Brennan, "Hellenistic Astrology",
// 2017, ch. 16). The rule is the same at every level, level 1 included (a
// cycle of 211 years, so only far spans meet it there).
//
// Peak periods: signs angular (1st, 4th, 7th or 10th sign) from the Lot of
// Fortune's sign, whichever lot is released.
//
// Spirit in Fortune's sign: Valens releases Spirit from the sign after
// Fortune's, and Fortune from its own (as described in the Delphic Oracle 4
// help, "Fortune and Spirit in same Sign", astrology-x-files.com).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "quorvane/base/error.hpp"
#include "quorvane/base/expected.hpp"
#include "quorvane/chart/chart.hpp"
#include "quorvane/predictive/composite.hpp"
#include "quorvane/records/record_writer.hpp"
#include "quorvane/time/instant.hpp"

namespace quorvane {

// The minor years of the sign rulers, by sign from Aries (Vettius Valens,
// Anthology IV; Saturn's 30 and 27 for Aquarius and Capricorn, the
// Moon's 25, the Sun's 19, Mercury's 20, Venus's 8, Mars's 15, Jupiter's 12).
inline constexpr std::array<int, 12> kReleasingYears{15, 8, 20, 25, 19, 20,
                                                     8, 15, 12, 27, 30, 12};

// The length of a level-1 year: the 360-day year of Valens (the default,
// as for the sub-periods) or the tropical year of 365.24219 days.
enum class ReleasingYear { Days360, Tropical };
Expected<ReleasingYear, EngineError> releasing_year_from_text(std::string_view text);
double releasing_year_days(ReleasingYear year);

// Where Spirit is released from when it shares Fortune's sign: the next
// sign (Valens, the default) or its own.
enum class SpiritWithFortune { NextSign, OwnSign };
Expected<SpiritWithFortune, EngineError> spirit_with_fortune_from_text(std::string_view text);

inline constexpr int kMaxReleasingLevel = 4;
inline constexpr double kLongestReleasingYears = 500.0;

struct ReleasingPeriod {
  uint8_t level = 1;  // 1-4
  uint8_t sign = 0;   // 0 = Aries
  UtcInstant start;
  UtcInstant end;
  bool loosing_of_the_bond = false;    // the sequence jumped to this sign
  std::optional<uint8_t> fortune_angle;  // 1, 4, 7 or 10: a peak period
};

// Periods of `levels` levels from a sign, for a span: those overlapping it,
// sorted by start, each parent before its first sub-period.
std::vector<ReleasingPeriod> release_from_sign(UtcInstant birth, int lot_sign, int fortune_sign,
                                               ReleasingYear year, int levels, UtcInstant start,
                                               UtcInstant end);

struct ZodiacalReleasing {
  BirthPlace birth;
  const LotDefinition* lot = nullptr;
  double lot_longitude = 0.0;
  double fortune_longitude = 0.0;
  int released_sign = 0;  // the sign the periods start from
  SpiritWithFortune spirit_with_fortune = SpiritWithFortune::NextSign;
  bool diurnal = false;
  ReleasingYear year = ReleasingYear::Days360;
  int levels = kMaxReleasingLevel;
  UtcInstant start;
  UtcInstant end;
  std::vector<ReleasingPeriod> periods;
};

// The lot ("spirit", "fortune" or any lot of the chart, by name in any
// case) as the chart's lots place it, released over start..end (a bound
// before the birth is raised to it). `options` gives the house system (the
// sect: the Sun in houses 7 to 12 is a day birth), zodiac and ayanamsa.
Expected<ZodiacalReleasing, EngineError> zodiacal_releasing(
    const KernelSet& kernels, const ChartRequest& options, const BirthPlace& birth,
    std::string_view lot, ReleasingYear year, int levels, UtcInstant start, UtcInstant end,
    SpiritWithFortune spirit_with_fortune = SpiritWithFortune::NextSign);

void write(RecordWriter& out, const ReleasingPeriod& period);
void write(RecordWriter& out, const ZodiacalReleasing& releasing);

}  // namespace quorvane
