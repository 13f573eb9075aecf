// The Chinese lunar years 1900 to 2100 from a fixed table: the lunar date
// of a day without any kernel.
#pragma once

#include <cstdint>
#include <optional>

namespace quorvane::chinese::lunar_table {

struct LunarDay {
  int32_t year = 0;
  uint8_t month = 0;  // 1-12
  uint8_t day = 0;    // 1-30
  bool leap = false;  // the leap month that repeats `month`
};

// The Chinese date of a Julian day number; nothing outside the table
// (before 1900-01-31 or after 2101-01-28).
std::optional<LunarDay> lunar_date_of(int64_t day);

}  // namespace quorvane::chinese::lunar_table
