#include "quorvane/jyotish/vargas.hpp"

#include <algorithm>
#include <cmath>

#include "quorvane/jyotish/nakshatras.hpp"

namespace quorvane::jyotish {
namespace {

// The trimsamsa's five unequal parts, each ruled by a planet and given its
// sign: odd signs Mars 5°, Saturn 5°, Jupiter 8°, Mercury 7°, Venus 5°
// (Aries, Aquarius, Sagittarius, Gemini, Libra); even signs the reverse
// order of lengths with Venus, Mercury, Jupiter, Saturn, Mars (Taurus,
// Virgo, Pisces, Capricorn, Scorpio). BPHS 6.
struct TrimsamsaPart {
  double end;  // degrees in the sign
  uint8_t sign;
};
constexpr std::array<TrimsamsaPart, 5> kOddTrimsamsa{{{5, 0}, {10, 10}, {18, 8}, {25, 2}, {30, 6}}};
constexpr std::array<TrimsamsaPart, 5> kEvenTrimsamsa{{{5, 1}, {12, 5}, {20, 11}, {25, 9}, {30, 7}}};

uint8_t trimsamsa(int sign, double degree) {
  const auto& parts = sign % 2 == 0 ? kOddTrimsamsa : kEvenTrimsamsa;  // Aries (0) is odd
  for (const TrimsamsaPart& part : parts) {
    if (degree < part.end) return part.sign;
  }
  return parts.back().sign;
}

// Where the count of parts starts, in signs from Aries; `odd` is the
// first, third, ... sign (Aries, Gemini, ...); modality 0 movable, 1 fixed,
// 2 dual.
int first_part(int division, int sign) {
  const bool odd = sign % 2 == 0;
  const int modality = sign % 3;
  switch (division) {
    case 3: case 4: case 12: case 60: return sign;
    case 7: return odd ? sign : sign + 6;
    case 9: return sign * 9;  // Aries, Capricorn, Libra, Cancer by element
    case 10: return odd ? sign : sign + 8;
    case 16: case 45: return std::array{0, 4, 8}[static_cast<size_t>(modality)];
    case 20: return std::array{0, 8, 4}[static_cast<size_t>(modality)];
    case 24: return odd ? 4 : 3;
    case 27: return sign * 27;  // Aries, Cancer, Libra, Capricorn by element
    case 40: return odd ? 0 : 6;
    default: return sign;
  }
}

// Signs between consecutive parts.
int step(int division) {
  switch (division) {
    case 3: return 4;  // the trines
    case 4: return 3;  // the kendras
    default: return 1;
  }
}

}  // namespace

uint8_t varga_sign(int division, double longitude) {
  const double x = reduced_degrees(longitude);
  const int sign = std::min(11, static_cast<int>(std::floor(x / 30.0)));
  const double degree = std::max(0.0, x - 30.0 * sign);
  if (division == 30) return trimsamsa(sign, degree);
  if (division == 2) {
    // Parashara's hora: the Sun's (Leo) first in odd signs, the Moon's (Cancer) first in even ones.
    const bool first_half = degree < 15.0;
    const bool odd = sign % 2 == 0;
    return static_cast<uint8_t>(first_half == odd ? 4 : 3);
  }
  if (division <= 1) return static_cast<uint8_t>(sign);
  const int part = std::min(division - 1, static_cast<int>(std::floor(degree * division / 30.0)));
  return static_cast<uint8_t>((first_part(division, sign) + part * step(division)) % 12);
}

}  // namespace quorvane::jyotish
