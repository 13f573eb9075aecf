// The eleven lots (Arabic parts): Ascendant plus one point minus another,
// the operands swapped in a night chart; later lots may use earlier ones.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvane/records/record_writer.hpp"
#include "quorvane/zodiac/aspects.hpp"

namespace quorvane {

struct LotDefinition {
  std::string_view name;
  std::string_view symbol;
  std::string_view base;
  std::string_view first;   // added by day, subtracted by night
  std::string_view second;  // subtracted by day, added by night
};

// Table order is the computation order: an operand naming a lot must come
// after that lot.
inline constexpr std::array<LotDefinition, 11> kLots{{
    {"Fortune", "\u2297", "Ascendant", "Moon", "Sun"},
    {"Spirit", "\U0001F715", "Ascendant", "Sun", "Moon"},
    {"Eros", "\U0001F3F9", "Ascendant", "Venus", "Spirit"},
    {"Necessity", "\u26D3", "Ascendant", "Fortune", "Mercury"},
    {"Courage", "\U0001F6E1", "Ascendant", "Fortune", "Mars"},
    {"Victory", "\U0001F3C6", "Ascendant", "Jupiter", "Fortune"},
    {"Nemesis", "\u2696", "Ascendant", "Fortune", "Saturn"},
    {"Marriage", "\U0001F48D", "Ascendant", "Venus", "Saturn"},
    {"Commerce", "\u2624", "Ascendant", "Mercury", "Sun"},
    {"Sickness", "\u2695", "Ascendant", "Mars", "Saturn"},
    {"Death", "\u2620", "Ascendant", "House 8", "Moon"},
}};

struct Lot {
  const LotDefinition* definition = nullptr;  // into kLots
  uint8_t sign = 0;
  int64_t degree = 0;
  int64_t minute = 0;
  double ecliptic_longitude = 0.0;
  uint8_t house = 1;
  std::string formula_used;
  bool is_diurnal = false;
  int64_t symbolic_degree = 1;
};

// Empty without a "Sun" or an "Ascendant" point. The chart is taken as
// diurnal when the Sun lies in houses 7 to 12 of the given cusps.
std::vector<Lot> arabic_parts(const std::vector<Point>& points, std::span<const double> cusps);

void write(RecordWriter& out, const Lot& lot);

}  // namespace quorvane
