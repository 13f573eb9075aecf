// The sixteen divisional charts (shodasavarga) of Brihat Parashara Hora
// Shastra, chapter 6: the sign a sidereal longitude falls in under each
// division of its sign.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvane::jyotish {

struct Varga {
  std::string_view name;  // "D1" .. "D60"
  int division = 1;       // parts of each sign (D30's five are unequal)
};

inline constexpr std::array<Varga, 16> kVargas{{
    {"D1", 1},   {"D2", 2},   {"D3", 3},   {"D4", 4},   {"D7", 7},   {"D9", 9},
    {"D10", 10}, {"D12", 12}, {"D16", 16}, {"D20", 20}, {"D24", 24}, {"D27", 27},
    {"D30", 30},  {"D40", 40}, {"D45", 45}, {"D60", 60},
}};

// The sign (0 = Aries) of a sidereal longitude in the divisional chart
// `division` (one of kVargas'). Any other division gives the sign itself.
uint8_t varga_sign(int division, double longitude);

}  // namespace quorvane::jyotish
