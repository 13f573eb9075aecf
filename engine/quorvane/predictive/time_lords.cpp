#include "quorvane/predictive/time_lords.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "quorvane/traditional/dignities.hpp"
#include "quorvane/traditional/planetary_hours.hpp"
#include "quorvane/zodiac/zodiac.hpp"

namespace quorvane {
namespace {

constexpr double kMicrosPerDay = static_cast<double>(UtcInstant::kMicrosPerDay);

static_assert([] {
  int diurnal = 0, nocturnal = 0;
  for (const auto& step : kDiurnalFirdaria) diurnal += step.years;
  for (const auto& step : kNocturnalFirdaria) nocturnal += step.years;
  return diurnal == 75 && nocturnal == 75;
}());

int64_t saturate(__int128 micros) {
  constexpr __int128 lo = std::numeric_limits<int64_t>::min();
  constexpr __int128 hi = std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(std::clamp(micros, lo, hi));
}

// Fractional years from `birth` to `moment` (never before the birth).
double age_in_years(UtcInstant birth, UtcInstant moment) {
  const auto micros = static_cast<__int128>(moment.micros()) - birth.micros();
  return static_cast<double>(micros) / 1e6 / 86400.0 / kTropicalYearDays;
}

uint32_t whole_years(double age) {
  const double whole = std::floor(age);
  if (!(whole > 0.0)) return 0;
  if (whole >= 4294967295.0) return 4294967295u;
  return static_cast<uint32_t>(whole);
}

int chaldean_index(std::string_view planet) {
  for (int i = 0; i < 7; ++i) {
    if (kChaldeanOrder[i] == planet) return i;
  }
  return -1;
}

// The sign index of the Ascendant; a non-finite longitude counts as Aries.
int ascendant_sign(double longitude) {
  if (!std::isfinite(longitude)) return 0;
  // A hair below zero gives 360, so the point is at the end of Pisces.
  return std::min(static_cast<int>(std::floor(remainder_degrees(longitude) / 30.0)), 11);
}

}  // namespace

UtcInstant years_after(UtcInstant birth, double years) {
  const double days = years * kTropicalYearDays;
  // Beyond this the instant saturates anyway; keeps the casts defined.
  constexpr double kLimit = 1.1e8 * 1000.0;
  if (std::isnan(days)) return birth;
  if (days >= kLimit) return UtcInstant(std::numeric_limits<int64_t>::max());
  if (days <= -kLimit) return UtcInstant(std::numeric_limits<int64_t>::min());
  const double whole = std::trunc(days);
  const double rest = std::nearbyint((days - whole) * kMicrosPerDay);  // ties to even
  const __int128 offset = static_cast<__int128>(static_cast<int64_t>(whole)) *
                              UtcInstant::kMicrosPerDay +
                          static_cast<int64_t>(rest);
  return UtcInstant(saturate(birth.micros() + offset));
}

TimeLords time_lords(UtcInstant birth, double sun_longitude, double ascendant_longitude,
                     UtcInstant start, UtcInstant end) {
  const UtcInstant lo = std::max(std::min(start, end), birth);
  const UtcInstant hi = std::max(std::max(start, end), birth);

  TimeLords out;
  // The Sun from the Descendant through the Midheaven to the Ascendant.
  // A Sun a hair before the Ascendant gives 360: above the horizon.
  out.diurnal = remainder_degrees(sun_longitude - ascendant_longitude) >= 180.0;
  const int asc_sign = ascendant_sign(ascendant_longitude);
  const double age_lo = age_in_years(birth, lo);
  const double age_hi = age_in_years(birth, hi);

  const uint32_t first = whole_years(age_lo);
  const uint32_t last = whole_years(age_hi);
  out.profections.reserve(static_cast<size_t>(last - first) + 1);
  for (uint64_t n = first; n <= last; ++n) {
    const auto sign = static_cast<size_t>((static_cast<uint64_t>(asc_sign) + n) % 12);
    Profection p;
    p.age = static_cast<uint32_t>(n);
    p.start = years_after(birth, static_cast<double>(n));
    p.end = years_after(birth, static_cast<double>(n + 1));
    p.sign = kSigns[sign].name;
    p.lord = domicile_ruler(static_cast<int>(sign));
    p.house = static_cast<uint8_t>(n % 12 + 1);
    out.profections.push_back(p);
  }

  const auto& sequence = out.diurnal ? kDiurnalFirdaria : kNocturnalFirdaria;
  double t = std::floor(age_lo / 75.0) * 75.0;
  for (size_t step = 0; !(age_hi < t); ++step) {
    const FirdariaStep& period = sequence[step % 9];
    const double t_end = t + period.years;
    if (age_lo < t_end) {
      Firdaria f;
      f.lord = period.lord;
      f.start = years_after(birth, t);
      f.end = years_after(birth, t_end);
      const int k = chaldean_index(period.lord);
      if (k >= 0) {
        const double years = period.years;
        f.sub_periods.reserve(7);
        for (int i = 0; i < 7; ++i) {
          f.sub_periods.push_back({kChaldeanOrder[(k + i) % 7],
                                   years_after(birth, t + i * years / 7.0),
                                   years_after(birth, t + (i + 1) * years / 7.0)});
        }
      }
      out.firdaria.push_back(std::move(f));
    }
    t = t_end;
  }
  return out;
}

void write(RecordWriter& out, const Profection& p) {
  ObjectWriter(out)
      .field("age", p.age)
      .field("start", p.start.isoformat())
      .field("end", p.end.isoformat())
      .field("sign", p.sign)
      .field("lord", p.lord)
      .field("house", p.house);
}

void write(RecordWriter& out, const Period& p) {
  ObjectWriter(out)
      .field("lord", p.lord)
      .field("start", p.start.isoformat())
      .field("end", p.end.isoformat());
}

void write(RecordWriter& out, const Firdaria& f) {
  ObjectWriter(out)
      .field("lord", f.lord)
      .field("start", f.start.isoformat())
      .field("end", f.end.isoformat())
      .field("sub_periods", f.sub_periods);
}

void write(RecordWriter& out, const TimeLords& lords) {
  ObjectWriter(out)
      .field("diurnal", lords.diurnal)
      .field("profections", lords.profections)
      .field("firdaria", lords.firdaria);
}

}  // namespace quorvane
