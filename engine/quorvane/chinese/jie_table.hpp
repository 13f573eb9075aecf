// The twelve jie of every Gregorian year 1900 to 2100, from a fixed table,
// so that charts cast from a calendar dict need no kernel.
#pragma once

#include <cstdint>
#include <optional>

#include "quorvane/time/instant.hpp"

namespace quorvane::chinese::jie_table {

struct Jie {
  uint8_t index = 0;  // 0 "xiaohan", 1 "lichun", ..., 11 "daxue"
  int32_t year = 0;   // Gregorian year of the table row
  UtcInstant instant;
};

// The latest tabulated jie at or before `moment`; nothing outside the table.
std::optional<Jie> jie_before(UtcInstant moment);

// The instant of jie `index` (0 to 11) of `year`; nothing outside the table.
std::optional<UtcInstant> jie_at(int32_t year, int index);

}  // namespace quorvane::chinese::jie_table
