// Ashtakavarga: each of the seven planets' bhinnashtakavarga (a point in
// each sign counted as benefic from each of the seven planets and the
// lagna) and their sum, the sarvashtakavarga. Source: Brihat Parashara
// Hora Shastra, chapter 66 (the benefic places); the totals are Sun 48,
// Moon 49, Mars 39, Mercury 54, Jupiter 56, Venus 52, Saturn 39, 337 in all.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "quorvane/records/record_writer.hpp"

namespace quorvane::jyotish {

// Houses 1-12 as bits 0-11.
constexpr uint16_t houses(std::initializer_list<int> list) {
  uint16_t mask = 0;
  for (int h : list) mask = static_cast<uint16_t>(mask | (1u << (h - 1)));
  return mask;
}

// The contributors, in this order: Sun, Moon, Mars, Mercury, Jupiter,
// Venus, Saturn, Lagna.
inline constexpr int kContributors = 8;

// Row: the planet whose ashtakavarga it is; column: the contributor; the
// houses counted from the contributor's sign where it gives a point.
inline constexpr std::array<std::array<uint16_t, kContributors>, 7> kBeneficPlaces{{
    {houses({1, 2, 4, 7, 8, 9, 10, 11}), houses({3, 6, 10, 11}),
     houses({1, 2, 4, 7, 8, 9, 10, 11}), houses({3, 5, 6, 9, 10, 11, 12}),
     houses({5, 6, 9, 11}), houses({6, 7, 12}), houses({1, 2, 4, 7, 8, 9, 10, 11}),
     houses({3, 4, 6, 10, 11, 12})},  // Sun
    {houses({3, 6, 7, 8, 10, 11}), houses({1, 3, 6, 7, 10, 11}),
     houses({2, 3, 5, 6, 9, 10, 11}), houses({1, 3, 4, 5, 7, 8, 10, 11}),
     houses({1, 4, 7, 8, 10, 11, 12}), houses({3, 4, 5, 7, 9, 10, 11}), houses({3, 5, 6, 11}),
     houses({3, 6, 10, 11})},  // Moon
    {houses({3, 5, 6, 10, 11}), houses({3, 6, 11}), houses({1, 2, 4, 7, 8, 10, 11}),
     houses({3, 5, 6, 11}), houses({6, 10, 11, 12}), houses({6, 8, 11, 12}),
     houses({1, 4, 7, 8, 9, 10, 11}), houses({1, 3, 6, 10, 11})},  // Mars
    {houses({5, 6, 9, 11, 12}), houses({2, 4, 6, 8, 10, 11}),
     houses({1, 2, 4, 7, 8, 9, 10, 11}), houses({1, 3, 5, 6, 9, 10, 11, 12}),
     houses({6, 8, 11, 12}), houses({1, 2, 3, 4, 5, 8, 9, 11}),
     houses({1, 2, 4, 7, 8, 9, 10, 11}), houses({1, 2, 4, 6, 8, 10, 11})},  // Mercury
    {houses({1, 2, 3, 4, 7, 8, 9, 10, 11}), houses({2, 5, 7, 9, 11}),
     houses({1, 2, 4, 7, 8, 10, 11}), houses({1, 2, 4, 5, 6, 9, 10, 11}),
     houses({1, 2, 3, 4, 7, 8, 10, 11}), houses({2, 5, 6, 9, 10, 11}), houses({3, 5, 6, 12}),
     houses({1, 2, 4, 5, 6, 7, 9, 10, 11})},  // Jupiter
    {houses({8, 11, 12}), houses({1, 2, 3, 4, 5, 8, 9, 11, 12}), houses({3, 5, 6, 9, 11, 12}),
     houses({3, 5, 6, 9, 11}), houses({5, 8, 9, 10, 11}), houses({1, 2, 3, 4, 5, 8, 9, 10, 11}),
     houses({3, 4, 5, 8, 9, 10, 11}), houses({1, 2, 3, 4, 5, 8, 9, 11})},  // Venus
    {houses({1, 2, 4, 7, 8, 10, 11}), houses({3, 6, 11}), houses({3, 5, 6, 10, 11, 12}),
     houses({6, 8, 9, 10, 11, 12}), houses({5, 6, 11, 12}), houses({6, 11, 12}),
     houses({3, 5, 6, 11}), houses({1, 3, 4, 6, 10, 11})},  // Saturn
}};

using SignPoints = std::array<int, 12>;  // Aries first

struct Bhinnashtakavarga {
  std::array<SignPoints, kContributors> by_contributor{};  // 0 or 1 per sign
  SignPoints points{};
  int total = 0;
};

struct Ashtakavarga {
  std::array<Bhinnashtakavarga, 7> planets;
  SignPoints sarva{};
  int sarva_total = 0;
};

// From the signs (0 = Aries) of the seven planets and the lagna, in the
// contributors' order.
Ashtakavarga ashtakavarga(const std::array<uint8_t, kContributors>& signs);

void write(RecordWriter& out, const Ashtakavarga& table);

}  // namespace quorvane::jyotish
