#include "quorvane/zodiac/zodiac.hpp"

#include <cmath>
#include <cstdio>
#include <limits>

#include "quorvane/base/pyfloat.hpp"
#include "quorvane/base/text.hpp"
#include "quorvane/time/time_scales.hpp"

namespace quorvane {

namespace {

// Integer part with the non-finite cases pinned, so NaN formats as 0.
int64_t integer_part(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (x <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

}  // namespace

double remainder_degrees(double degrees) {
  // Inside one turn fmod is exact and returns its argument: spare the call.
  if (degrees > -360.0 && degrees < 360.0) return degrees < 0.0 ? degrees + 360.0 : degrees;
  const double r = std::fmod(degrees, 360.0);
  return r < 0.0 ? r + 360.0 : r;
}

double normalize_degrees(double degrees) {
  const double r = remainder_degrees(degrees);
  // -0 becomes +0, and a sum that rounded up to 360 becomes 0.
  if (r == 0.0 || r >= 360.0) return 0.0;
  return r;
}

std::string normalize_option_text(std::string_view text) {
  text = trim_unicode_space(text);
  std::string folded;
  folded.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t invalid = 0;
    const size_t width = utf8_sequence(text, i, &invalid);
    const std::string_view character = text.substr(i, width ? width : invalid);
    if (width == 1 && character[0] >= 'A' && character[0] <= 'Z')
      folded.push_back(static_cast<char>(character[0] - 'A' + 'a'));
    else if (character == "\u212A")  // KELVIN SIGN
      folded.push_back('k');
    else
      folded.append(character);  // malformed bytes pass through unchanged
    i += character.size();
  }
  return folded;
}

ZodiacType zodiac_type_from_text(std::string_view text) {
  return normalize_option_text(text) == "sidereal" ? ZodiacType::Sidereal : ZodiacType::Tropical;
}

std::string_view zodiac_word(ZodiacType type) {
  return type == ZodiacType::Sidereal ? "sidereal" : "tropical";
}

const Ayanamsa& ayanamsa(std::string_view code) {
  const std::string key = normalize_option_text(code);
  const Ayanamsa* fallback = &kAyanamsas[0];
  for (const Ayanamsa& entry : kAyanamsas) {
    if (entry.code == key) return entry;
    if (entry.code == kDefaultAyanamsa) fallback = &entry;
  }
  return *fallback;
}

double ayanamsa_degrees(const Ayanamsa& entry, double jd) {
  const double t = (jd - kJ2000) / 36525.0;
  // IAU 2006 general precession in longitude, arcseconds.
  const double p = ((((-3.83e-8 * t - 2.3857e-5) * t + 7.964e-5) * t + 1.1054348) * t + 5028.796195) * t;
  return normalize_degrees((p + entry.rate * t) / 3600.0 + entry.value_j2000);
}

std::string format_dms(double degrees) {
  const double v = normalize_degrees(normalize_degrees(degrees) + 360.0);
  int64_t d = integer_part(v);
  const double minutes = (v - static_cast<double>(d)) * 60.0;
  int64_t m = integer_part(minutes);
  int64_t s = integer_part(std::rint((minutes - static_cast<double>(m)) * 60.0));
  if (s == 60) {
    s = 0;
    m += 1;
  }
  if (m == 60) {
    m = 0;
    d += 1;
  }
  d %= 360;
  char text[64];
  std::snprintf(text, sizeof text, "%lld\u00B0 %02lld' %02lld\"", static_cast<long long>(d),
                static_cast<long long>(m), static_cast<long long>(s));
  return text;
}

AyanamsaInfo ayanamsa_info(std::string_view code, double jd) {
  const Ayanamsa& entry = ayanamsa(code);
  const double v = ayanamsa_degrees(entry, jd);
  return AyanamsaInfo{format_dms(v), entry.code, entry.name, pyfloat::round(v, 6),
                      pyfloat::round(kPrecessionArcsecPerYear, 4)};
}

uint8_t sign_index(double longitude) {
  const double x = normalize_degrees(longitude);
  const double r = std::fmod(x, 30.0);
  double q = (x - r) / 30.0;
  if (r < 0.0) q -= 1.0;
  q = std::ceil(q - 0.5);  // nearest, an exact half rounding down
  return q >= 0.0 && q <= 11.0 ? static_cast<uint8_t>(q) : 0;  // NaN gives Aries
}

LongitudeSplit split_longitude(double longitude) {
  const double x = normalize_degrees(longitude);
  uint8_t sign = sign_index(x);
  const double p = std::isfinite(x) ? x - 30.0 * sign : 0.0;
  int64_t degree = integer_part(p);
  int64_t minute = integer_part(std::rint((p - static_cast<double>(degree)) * 60.0));
  if (minute == 60) {
    minute = 0;
    if (degree == 29) {
      degree = 0;
      sign = static_cast<uint8_t>((sign + 1) % 12);
    } else {
      degree += 1;
    }
  }
  int64_t symbolic = 0;
  if (degree == 0 && minute == 0)
    symbolic = 1;
  else if (minute == 0)
    symbolic = degree > 1 ? degree : 1;
  else
    symbolic = degree + 1;
  if (symbolic > 30) symbolic = 30;
  return LongitudeSplit{sign, degree, minute, symbolic};
}

uint8_t determine_house(std::span<const double> cusps, double longitude) {
  if (cusps.size() != 12) return 1;
  for (size_t h = 0; h < 12; ++h) {
    const double a = cusps[h];
    const double b = cusps[(h + 1) % 12];
    const bool inside = a > b ? (longitude >= a || longitude < b) : (a <= longitude && longitude < b);
    if (inside) return static_cast<uint8_t>(h + 1);
  }
  return 1;
}

}  // namespace quorvane
