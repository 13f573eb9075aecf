#include "quorvane/chinese/lunar_table.hpp"

#include <algorithm>
#include <iterator>

#include "generated/lunar_table_data.hpp"

namespace quorvane::chinese::lunar_table {

std::optional<LunarDay> lunar_date_of(int64_t day) {
  using generated::LunarYearEntry;
  const LunarYearEntry* begin = generated::lunar_years;
  const LunarYearEntry* end = begin + generated::kLunarYears;
  const LunarYearEntry* after = std::upper_bound(
      begin, end, day, [](int64_t d, const LunarYearEntry& e) { return d < e.first_day; });
  const auto count = static_cast<int32_t>(after - begin);
  if (count == 0) return std::nullopt;
  const LunarYearEntry& entry = *(after - 1);

  const int leap = entry.leap_month;
  const int months = leap != 0 ? 13 : 12;
  int64_t start = entry.first_day;
  for (int position = 1; position <= months; ++position) {
    const int64_t length = (entry.month_bits >> (position - 1)) & 1 ? 30 : 29;
    if (day < start + length) {
      LunarDay result;
      result.year = generated::kLunarFirstYear - 1 + count;
      // Months after the leap month are one position behind their number.
      if (leap == 0 || position <= leap) {
        result.month = static_cast<uint8_t>(position);
      } else {
        result.month = static_cast<uint8_t>(position - 1);
        result.leap = position == leap + 1;
      }
      result.day = static_cast<uint8_t>(day - start + 1);
      return result;
    }
    start += length;
  }
  return std::nullopt;
}

}  // namespace quorvane::chinese::lunar_table
