#include "quorvane/predictive/zodiacal_releasing.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "quorvane/predictive/time_lords.hpp"
#include "quorvane/traditional/dignities.hpp"
#include "quorvane/zodiac/body_view.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr int64_t kMicrosPerDay = UtcInstant::kMicrosPerDay;

// Each level a twelfth of the one above: a year of 360 days, then months of
// 30 days, spans of 2.5 days and of 5/24 day (all whole microseconds).
constexpr std::array<int64_t, kMaxReleasingLevel> kSubUnits{
    360 * kMicrosPerDay, 30 * kMicrosPerDay, 5 * kMicrosPerDay / 2, 5 * kMicrosPerDay / 24};
static_assert(kSubUnits[1] * 12 == kSubUnits[0] && kSubUnits[2] * 12 == kSubUnits[1] &&
              kSubUnits[3] * 12 == kSubUnits[2]);

std::optional<uint8_t> fortune_angle(int sign, int fortune_sign) {
  const int counted = (sign - fortune_sign + 12) % 12;
  if (counted % 3 != 0) return std::nullopt;
  return static_cast<uint8_t>(counted + 1);
}

int sign_of(double longitude) {
  return std::min(static_cast<int>(std::floor(normalize_degrees(longitude) / 30.0)), 11);
}

// Offsets from birth in microseconds; periods are [start, end).
struct Releaser {
  UtcInstant birth;
  int fortune_sign = 0;
  int levels = kMaxReleasingLevel;
  int64_t first_unit = kSubUnits[0];
  int64_t lo = 0;  // the span asked for
  int64_t hi = 0;
  std::vector<ReleasingPeriod>* out = nullptr;

  int64_t unit(int level) const { return level == 1 ? first_unit : kSubUnits[level - 1]; }

  // The sequence of one level from `sign`, over from..to (to: the parent's
  // end, or none at level 1), with the sub-periods of each period met.
  void release(int level, int sign, int64_t from, std::optional<int64_t> to) const {
    int origin = sign;
    int walked = 0;
    bool loosed = false;
    for (int64_t t = from; to ? t < *to : t <= hi;) {
      if (walked == 12) {  // all twelve run: the bond is loosed to the opposite sign
        sign = (origin + 6) % 12;
        origin = sign;
        walked = 0;
        loosed = true;
      }
      const int64_t next = t + kReleasingYears[static_cast<size_t>(sign)] * unit(level);
      const int64_t end = to ? std::min(next, *to) : next;
      if (end > lo && t <= hi) {
        out->push_back({static_cast<uint8_t>(level), static_cast<uint8_t>(sign),
                        UtcInstant(birth.micros() + t), UtcInstant(birth.micros() + end), loosed,
                        fortune_angle(sign, fortune_sign)});
        if (level < levels) release(level + 1, sign, t, end);
      }
      t = next;
      sign = (sign + 1) % 12;
      ++walked;
      loosed = false;
    }
  }
};

// ASCII case ignored: lot names are plain English words.
bool same_name(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

const Lot* lot_named(const std::vector<Lot>& lots, std::string_view name) {
  for (const Lot& lot : lots) {
    if (same_name(lot.definition->name, name)) return &lot;
  }
  return nullptr;
}

}  // namespace

Expected<ReleasingYear, EngineError> releasing_year_from_text(std::string_view text) {
  if (text == "360") return ReleasingYear::Days360;
  if (text == "tropical") return ReleasingYear::Tropical;
  return unexpected(
      EngineError::invalid_input("year must be 360 or tropical, got " + std::string(text)));
}

Expected<SpiritWithFortune, EngineError> spirit_with_fortune_from_text(std::string_view text) {
  if (text == "next_sign") return SpiritWithFortune::NextSign;
  if (text == "own_sign") return SpiritWithFortune::OwnSign;
  return unexpected(EngineError::invalid_input(
      "spirit_with_fortune must be next_sign or own_sign, got " + std::string(text)));
}

double releasing_year_days(ReleasingYear year) {
  return year == ReleasingYear::Days360 ? 360.0 : kTropicalYearDays;
}

std::vector<ReleasingPeriod> release_from_sign(UtcInstant birth, int lot_sign, int fortune_sign,
                                               ReleasingYear year, int levels, UtcInstant start,
                                               UtcInstant end) {
  Releaser releaser;
  releaser.birth = birth;
  releaser.fortune_sign = fortune_sign;
  releaser.levels = std::clamp(levels, 1, kMaxReleasingLevel);
  releaser.first_unit = static_cast<int64_t>(
      std::llround(releasing_year_days(year) * static_cast<double>(kMicrosPerDay)));
  releaser.lo = std::max<int64_t>(std::min(start, end).micros() - birth.micros(), 0);
  releaser.hi = std::max<int64_t>(std::max(start, end).micros() - birth.micros(), 0);
  std::vector<ReleasingPeriod> periods;
  releaser.out = &periods;
  releaser.release(1, lot_sign, 0, std::nullopt);
  return periods;
}

Expected<ZodiacalReleasing, EngineError> zodiacal_releasing(
    const KernelSet& kernels, const ChartRequest& options, const BirthPlace& birth,
    std::string_view lot, ReleasingYear year, int levels, UtcInstant start, UtcInstant end,
    SpiritWithFortune spirit_with_fortune) {
  if (levels < 1 || levels > kMaxReleasingLevel) {
    return unexpected(EngineError::invalid_input("levels must be 1 to 4"));
  }
  const __int128 reach = static_cast<__int128>(std::max(start, end).micros()) - birth.moment.micros();
  if (reach > static_cast<__int128>(kLongestReleasingYears * 365.25 * kMicrosPerDay)) {
    return unexpected(EngineError::invalid_input("releasing reaches at most 500 years after birth"));
  }
  ChartRequest request = options;
  request.moment = birth.moment;
  request.latitude = birth.latitude;
  request.longitude = birth.longitude;
  request.chinese_calendar = false;
  auto natal = sky(kernels, request);
  if (!natal) return unexpected(std::move(natal).error());
  std::vector<Point> points;
  for (const Placement& p : natal->placements) points.push_back({p.name, p.ecliptic_longitude, p.speed});
  const std::vector<Lot> lots = arabic_parts(points, natal->cusps);
  const Lot* released = lot_named(lots, lot);
  const Lot* fortune = lot_named(lots, "Fortune");
  if (!fortune) return unexpected(EngineError::invalid_input("releasing needs the Sun and Moon"));
  if (!released) {
    return unexpected(EngineError::invalid_input("no lot is called \"" + std::string(lot) + "\""));
  }

  ZodiacalReleasing result;
  result.birth = birth;
  result.lot = released->definition;
  result.lot_longitude = released->ecliptic_longitude;
  result.fortune_longitude = fortune->ecliptic_longitude;
  result.spirit_with_fortune = spirit_with_fortune;
  const int fortune_sign = sign_of(result.fortune_longitude);
  result.released_sign = sign_of(result.lot_longitude);
  if (released->definition->name == std::string_view("Spirit") &&
      spirit_with_fortune == SpiritWithFortune::NextSign && result.released_sign == fortune_sign) {
    result.released_sign = (fortune_sign + 1) % 12;
  }
  result.diurnal = released->is_diurnal;
  result.year = year;
  result.levels = levels;
  result.start = std::max(std::min(start, end), birth.moment);
  result.end = std::max(std::max(start, end), birth.moment);
  result.periods = release_from_sign(birth.moment, result.released_sign, fortune_sign, year, levels,
                                     start, end);
  return result;
}

void write(RecordWriter& out, const ReleasingPeriod& p) {
  ObjectWriter(out)
      .field("level", p.level)
      .field("sign", kSigns[p.sign].name)
      .field("ruler", domicile_ruler(p.sign))
      .field("start", p.start.isoformat())
      .field("end", p.end.isoformat())
      .field("loosing_of_the_bond", p.loosing_of_the_bond)
      .field("peak", p.fortune_angle.has_value())
      .field("fortune_angle", p.fortune_angle);
}

void write(RecordWriter& out, const ZodiacalReleasing& r) {
  ObjectWriter(out)
      .field("birth", r.birth)
      .field("lot", r.lot->name)
      .field("lot_longitude", r.lot_longitude)
      .field("lot_sign", kSigns[static_cast<size_t>(sign_of(r.lot_longitude))].name)
      .field("fortune_longitude", r.fortune_longitude)
      .field("fortune_sign", kSigns[static_cast<size_t>(sign_of(r.fortune_longitude))].name)
      .field("released_sign", kSigns[static_cast<size_t>(r.released_sign)].name)
      .field("spirit_with_fortune",
             r.spirit_with_fortune == SpiritWithFortune::NextSign ? "next_sign" : "own_sign")
      .field("diurnal", r.diurnal)
      .field("year", r.year == ReleasingYear::Days360 ? "360" : "tropical")
      .field("year_days", releasing_year_days(r.year))
      .field("levels", r.levels)
      .field("start", r.start.isoformat())
      .field("end", r.end.isoformat())
      .field("periods", r.periods);
}

}  // namespace quorvane
